// A file that includes a header of a floor above its own, in angle brackets.

#include <app/window.h>

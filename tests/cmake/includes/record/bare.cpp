// A file that includes a header of its own folder by its bare name.
#include "bare.h"

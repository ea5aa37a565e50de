// System headers in the file of its system: allowed.
#include <fcntl.h>
#include <sys/file.h>

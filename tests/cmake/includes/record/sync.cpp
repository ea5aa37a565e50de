// System headers in a file that does not say its system.
#include <QFile>
#include <unistd.h>

#include <sys/stat.h>

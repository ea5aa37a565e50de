// Includes of its own floor, the floors below and outside libraries: all allowed.
#include "core/state.h"
#include "record/bare.h"

#include <core/state.h>
#include <QString>

#include <vector>
int values[2]; // [ ] ; do not upset the numbering

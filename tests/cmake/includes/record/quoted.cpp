// A file that includes a header of a floor above its own.
#include <vector>

#include "chart/chart.h"

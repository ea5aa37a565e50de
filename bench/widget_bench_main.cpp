// The main() of the benchmarks that need widgets.
#include "bench/widget_bench.h"

int main(int argc, char** argv) {
    return runWidgetBenchmarks(argc, argv);
}

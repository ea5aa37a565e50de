// The main() of the benchmark programs that need an application object.
#include "bench/bench_app.h"

int main(int argc, char** argv) {
    return runBenchmarks(argc, argv);
}

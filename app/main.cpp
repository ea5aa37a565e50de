#include "app/cli_modes.h"

int main(int argc, char* argv[]) {
    return cli::run(argc, argv);
}

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    return tessapak::cli::runCommandLine(argc, argv);
}

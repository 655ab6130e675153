#include <unistd.h>

#include "cli/console.h"

namespace tessapak::cli {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void prepareStandardStreams() {}

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace tessapak::cli

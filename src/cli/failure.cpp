#include "cli/failure.h"

#include <filesystem>
#include <new>

#include "archive/archive_error.h"
#include "archive/display_text.h"

namespace tessapak::cli {

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    // Whatever else reached the text raw (a system message, a name in a
    // detail) must not act on the terminal.
    return archive::displayLine(text);
}

std::string describeFailure(const std::exception& error) {
    // The engine's ArchiveError and our CommandError already read
    // "<path>: <detail>"; the library's own types need rewording, their codes
    // through the host's own texts (GCC's are wrong for Windows codes).
    if (const auto* fsError = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
        if (!fsError->path1().empty()) {
            return oneLine(archive::displayPath(fsError->path1()) + ": " +
                           archive::errorText(fsError->code()));
        }
        return oneLine(archive::errorText(fsError->code()));
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return "out of memory";
    }
    return oneLine(error.what());
}

}  // namespace tessapak::cli

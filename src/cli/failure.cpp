#include "cli/failure.h"

#include <filesystem>
#include <new>

#include "archive/names.h"

namespace tessapak::cli {

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

std::string describeFailure(const std::exception& error) {
    // The engine's ArchiveError and our CommandError already read
    // "<path>: <detail>"; the library's own types need rewording.
    if (const auto* fsError = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
        if (!fsError->path1().empty()) {
            return oneLine(archive::utf8Of(fsError->path1()) + ": " + fsError->code().message());
        }
        return oneLine(fsError->code().message());
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return "out of memory";
    }
    return oneLine(error.what());
}

}  // namespace tessapak::cli

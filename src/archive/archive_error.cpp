#include "archive/archive_error.h"

#include <utility>

#include "archive/display_text.h"
#include "archive/host/host_fs.h"

namespace tessapak::archive {

namespace {

std::string describe(const std::filesystem::path& path, const std::string& detail) {
    if (path.empty()) {
        return detail;
    }
    return displayPath(path) + ": " + detail;
}

}  // namespace

ArchiveError::ArchiveError(ErrorKind kind, ErrorCause cause, std::filesystem::path path,
                           std::string detail, std::error_code code)
    : std::runtime_error(describe(path, detail)),
      kind_(kind),
      cause_(cause),
      path_(std::move(path)),
      detail_(std::move(detail)),
      code_(code) {}

std::string errorText(const std::error_code& error) {
    return host::errorText(error);
}

void failWith(ErrorKind kind, ErrorCause cause, const std::filesystem::path& path,
              const std::string& detail, const std::error_code& error) {
    if (error) {
        throw ArchiveError(kind, cause, path, detail + ": " + host::errorText(error), error);
    }
    throw ArchiveError(kind, cause, path, detail);
}

}  // namespace tessapak::archive

#include "archive/host/watch_filter.h"

#include <system_error>

#include "archive/output_names.h"

namespace fs = std::filesystem;

namespace tessapak::archive::host {

WatchFilter::WatchFilter(const std::vector<fs::path>& ignored) {
    for (const fs::path& path : ignored) {
        std::error_code error;
        const Status folder =
            statusOf(path.parent_path().empty() ? "." : path.parent_path(), Links::Follow, error);
        // A folder that does not exist yet holds nothing to leave out.
        if (error || folder.kind != Kind::Folder) {
            continue;
        }
        const auto [prefix, suffix] = temporaryNamePattern(path);
        rules_.push_back({folder.id, path.filename().native(), prefix, suffix});
    }
}

bool WatchFilter::ignores(const fs::path& folder, const NativeString& name) const {
    for (const Rule& rule : rules_) {
        if (name != rule.name &&
            !matchesTemporaryPattern(name, rule.temporaryPrefix, rule.temporarySuffix)) {
            continue;
        }
        std::error_code error;
        const Status status = statusOf(folder, Links::Follow, error);
        if (!error && status.kind == Kind::Folder && status.id == rule.folder) {
            return true;
        }
    }
    return false;
}

}  // namespace tessapak::archive::host

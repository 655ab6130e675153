#include "support/temp_folder.h"

#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace tessapak::testing {

TempFolder::TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("tessapak-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = std::move(candidate);
        }
    }
    if (path_.empty()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    std::error_code step;
    for (auto it = fs::recursive_directory_iterator(path_, step); !step && it != fs::end(it);
         it.increment(step)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

fs::path TempFolder::subfolder(const std::string& name) const {
    fs::path folder = path_ / name;
    fs::create_directory(folder);
    return folder;
}

}  // namespace tessapak::testing

#include "archive/host/folder_chain.h"

namespace tessapak::archive {

namespace {

namespace fs = std::filesystem;

// Levels this far above the current one give their descriptor back; going
// up again reopens them from the nearest open level.
constexpr std::size_t kOpenLevels = 16;

}  // namespace

host::Folder FolderChain::openStep(const host::Folder& parent, const host::NativeString& name,
                                   std::error_code& error) const {
    if (mode_ == Mode::Create) {
        error = parent.makeFolder(name);
        if (error && !host::isAlreadyThere(error)) {
            return {};
        }
        // A link put in place of the folder must not lead anywhere.
        return parent.openFolder(name, host::Links::DoNotFollow, error);
    }
    return parent.openFolder(name, host::Links::Follow, error);
}

void FolderChain::closeFar(std::size_t current) {
    if (current >= kOpenLevels) {
        open_[current - kOpenLevels].reset();
    }
}

const host::Folder& FolderChain::moveTo(const fs::path& relative, std::error_code& error,
                                        fs::path& failedAt) {
    error.clear();
    std::size_t depth = 0;
    auto part = relative.begin();
    while (part != relative.end() && depth < names_.size() && part->native() == names_[depth]) {
        ++part;
        ++depth;
    }
    names_.resize(depth);
    open_.resize(depth);
    for (; part != relative.end(); ++part) {
        names_.push_back(part->native());
        open_.emplace_back();
    }

    // Reopen from the nearest open level down.
    std::size_t from = names_.size();
    while (from > 0 && !open_[from - 1]) {
        --from;
    }
    for (std::size_t k = from; k < names_.size(); ++k) {
        const host::Folder& parent = k == 0 ? root_ : open_[k - 1];
        open_[k] = openStep(parent, names_[k], error);
        if (error) {
            failedAt.clear();
            for (std::size_t i = 0; i <= k; ++i) {
                failedAt /= names_[i];
            }
            names_.resize(k);
            open_.resize(k);
            return root_;
        }
        closeFar(k);
    }
    return names_.empty() ? root_ : open_.back();
}

}  // namespace tessapak::archive

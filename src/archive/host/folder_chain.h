#pragma once

// Folders below a root, reached one component at a time relative to the one
// above, so that neither the host's path length limit nor its descriptor
// limit bounds how deep a tree can be. Internal to the archive library.

#include <cstddef>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/host/host_fs.h"

namespace tessapak::archive {

class FolderChain {
  public:
    enum class Mode {
        Open,    // folders that exist, links followed (the tree being packed)
        Create,  // folders made where missing, never through a link (a new tree)
    };

    FolderChain(host::Folder root, Mode mode) : root_(std::move(root)), mode_(mode) {}

    // The folder at relative, a path of components below the root (empty for
    // the root itself). On failure sets error and failedAt to the part of
    // relative that could not be opened or created, and returns the root.
    const host::Folder& moveTo(const std::filesystem::path& relative, std::error_code& error,
                               std::filesystem::path& failedAt);

  private:
    host::Folder openStep(const host::Folder& parent, const host::NativeString& name,
                          std::error_code& error) const;
    void closeFar(std::size_t current);

    host::Folder root_;
    Mode mode_;
    std::vector<host::NativeString> names_;  // components of the current folder
    std::vector<host::Folder> open_;         // open_[i] is names_[0..i]; far ones closed
};

}  // namespace tessapak::archive

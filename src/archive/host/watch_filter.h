#pragma once

// Which notified changes a folder watch leaves out. Internal to the archive
// library; shared by the hosts' watch implementations.

#include <filesystem>
#include <vector>

#include "archive/host/host_fs.h"

namespace tessapak::archive::host {

// Each ignored file and the temporary files a pack writes beside it, in the
// folder that holds it. That folder is recognised by identity, so that any
// spelling of its path, or a link to it, matches.
class WatchFilter {
  public:
    explicit WatchFilter(const std::vector<std::filesystem::path>& ignored);

    // Whether a change of name inside folder is one to leave out. Looks at the
    // disk only for a name that is left out in some folder.
    bool ignores(const std::filesystem::path& folder, const NativeString& name) const;

  private:
    struct Rule {
        FileId folder;
        NativeString name;
        NativeString temporaryPrefix;
        NativeString temporarySuffix;
    };
    std::vector<Rule> rules_;
};

}  // namespace tessapak::archive::host

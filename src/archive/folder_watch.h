#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

namespace tessapak::archive {

// Tells when anything below a folder changes: a file or folder created,
// written, removed, renamed or given other attributes, in the folder or in any
// subfolder, ones made after the watch began included. Changes are learnt
// from the host's notifications (inotify on Linux, ReadDirectoryChangesW on
// Windows), never by looking at the files again. When the host drops
// notifications (its queue overflowed), that counts as a change.
class FolderWatch {
  public:
    enum class Result {
        Changed,   // something changed since the previous wait returned
        TimedOut,  // nothing changed within the time given
        Stopped,   // stop() was called
    };

    // Starts watching folder. Changes to ignored files, and to the temporary
    // files a pack writes for them (output_names.h), are not reported, so that
    // an archive written inside the folder does not report itself. Throws
    // ArchiveError (FileSystem / CannotOpen) when the folder cannot be watched.
    FolderWatch(const std::filesystem::path& folder,
                const std::vector<std::filesystem::path>& ignored = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Waits for the next change, for at most timeout. Changes that happened
    // since the previous call returned count, so none is lost between calls;
    // a burst of them returns once. Throws ArchiveError when a folder made
    // after the watch began cannot be watched (the host's limit on watches,
    // say): from then on changes could go unseen.
    Result waitForChange(std::chrono::milliseconds timeout);
    // The same without a time limit.
    Result waitForChange();

    // Makes a wait in progress, and every later one, return Stopped. May be
    // called from any thread.
    void stop();

  private:
    class Host;  // one implementation per host
    std::unique_ptr<Host> host_;
};

}  // namespace tessapak::archive

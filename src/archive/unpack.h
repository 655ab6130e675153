#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "archive/format/rdb_format.h"
#include "archive/output_names.h"
#include "archive/progress.h"

namespace tessapak::archive {

// Told the folder an unpack creates, as soon as it exists.
using FolderCallback = std::function<void(const std::filesystem::path&)>;

// One unpack run in its stages, so that a window can report between them:
//   ArchiveReader reader(path);   // opens read-only, tests the magic
//   reader.readDirectory();       // reads and validates the whole directory
//   reader.extractTo(outputFolder, progress);  // creates the target, writes the files
// Every stage throws ArchiveError; nothing is created before extractTo.
class ArchiveReader {
  public:
    explicit ArchiveReader(const std::filesystem::path& archive);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Reads the header and every entry, and checks all of it against the
    // file's real length and the name rules, before anything is written.
    void readDirectory();

    const RdbHeader& header() const;
    const std::vector<RdbEntry>& entries() const;

    // Creates the target folder inside outputFolder (named as chooseTargetFolder
    // says) and writes each entry below it, on a few worker threads, one folder
    // per worker; progress is reported on the calling thread. The first
    // failure stops the run, leaving what was written. Returns the target
    // folder; created, when given, is told it as soon as the folder exists.
    std::filesystem::path extractTo(const std::filesystem::path& outputFolder,
                                    const ProgressCallback& progress = {},
                                    const FolderCallback& created = {});

    // Reads every entry's data once without writing anything (for verify).
    void checkData();

    const std::filesystem::path& path() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Convenience for the command-line tool: all three stages.
std::filesystem::path unpackArchive(const std::filesystem::path& archive,
                                    const std::filesystem::path& outputFolder,
                                    const ProgressCallback& progress = {},
                                    const FolderCallback& created = {});

}  // namespace tessapak::archive

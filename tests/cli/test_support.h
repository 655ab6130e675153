#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "support/archive_writer.h"
#include "support/temp_folder.h"

namespace tessapak::cli::test {

using ::tessapak::testing::exampleArchive;
using ::tessapak::testing::RawArchive;
using ::tessapak::testing::RawEntry;
using ::tessapak::testing::TempFolder;

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

// Every entry below folder, by relative path ("/" between folders), with a
// file's bytes or "<dir>" for a folder: what a run left on disk.
std::map<std::string, std::string> snapshot(const std::filesystem::path& folder);

}  // namespace tessapak::cli::test

#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessapak::cli::test {

// A fresh folder under the system's temporary folder, removed afterwards.
// work() is where the tool runs; the runner keeps its captures beside it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& work() const { return work_; }

  private:
    std::filesystem::path root_;
    std::filesystem::path work_;
};

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

// Every entry below folder, by relative path ("/" between folders), with a
// file's bytes or "<dir>" for a folder: what a run left on disk.
std::map<std::string, std::string> snapshot(const std::filesystem::path& folder);

// Archives built byte by byte from the format, independent of the engine.
struct RawEntry {
    std::u16string name;  // "\" between folders, as stored
    std::string data;
};

struct RawArchive {
    std::string magic = "531E98204F8542F0";
    std::vector<RawEntry> entries;
    // When set, replace the computed header words.
    std::optional<std::int32_t> entryCount;
    std::optional<std::int32_t> dirSize;

    std::string bytes() const;
};

// a.txt ("abc") and img\b.png ("hi"): the 105-byte example archive.
RawArchive exampleArchive();

}  // namespace tessapak::cli::test

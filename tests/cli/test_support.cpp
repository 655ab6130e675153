#include "test_support.h"

#include "cli_runner.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tessapak::cli::test {

namespace {

void putLe32(std::string& out, std::int64_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
}

void putLe16(std::string& out, char16_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

}  // namespace

bool CliResult::oneErrorLine() const {
    return !err.empty() && err.back() == '\n' && err.find('\n') == err.size() - 1;
}

TempFolder::TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        fs::path candidate =
            fs::temp_directory_path() / ("tessapak-cli-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            root_ = std::move(candidate);
        }
    }
    if (root_.empty()) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    work_ = root_ / "work";
    fs::create_directory(work_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = entry.path().lexically_relative(folder).generic_string();
        entries[relative] = entry.is_directory() ? "<dir>" : readFile(entry.path());
    }
    return entries;
}

std::string RawArchive::bytes() const {
    std::string directory;
    std::string data;
    for (const auto& entry : entries) {
        for (char16_t unit : entry.name) {
            putLe16(directory, unit);
        }
        putLe16(directory, 0);
        putLe32(directory, static_cast<std::int64_t>(data.size()));
        putLe32(directory, 0);
        putLe32(directory, static_cast<std::int64_t>(entry.data.size()));
        putLe32(directory, 0);
        data += entry.data;
    }
    std::string out = magic;
    putLe32(out, entryCount.value_or(static_cast<std::int32_t>(entries.size())));
    putLe32(out, 36);
    putLe32(out, 0);
    putLe32(out, dirSize.value_or(static_cast<std::int32_t>(directory.size())));
    putLe32(out, 0);
    return out + directory + data;
}

RawArchive exampleArchive() {
    RawArchive archive;
    archive.entries = {{u"a.txt", "abc"}, {u"img\\b.png", "hi"}};
    return archive;
}

}  // namespace tessapak::cli::test

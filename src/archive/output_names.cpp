#include "archive/output_names.h"

#include <functional>
#include <random>
#include <string_view>

#include "archive/host/host_fs.h"

namespace tessapak::archive {

namespace fs = std::filesystem;
using host::NativeString;

fs::path archivePathFor(const fs::path& output) {
    const NativeString& text = output.native();
    constexpr std::string_view suffix = ".rdb";
    bool hasSuffix = text.size() >= suffix.size();
    for (std::size_t i = 0; hasSuffix && i < suffix.size(); ++i) {
        const auto unit = text[text.size() - suffix.size() + i];
        hasSuffix = (unit >= 'A' && unit <= 'Z' ? unit - 'A' + 'a' : unit) == suffix[i];
    }
    fs::path result = output;
    if (!hasSuffix) {
        result += suffix;
    }
    return result;
}

std::pair<NativeString, NativeString> temporaryNamePattern(const fs::path& output) {
    // File names are limited to host::kNameLimit units; a long output name is shortened,
    // with a hash of the whole name so that it stays its own.
    const fs::path suffix(".tessapak-part");
    const NativeString base = output.filename().native();
    fs::path prefix(".");
    if (2 + base.size() + host::kRandomPartLength + suffix.native().size() <= host::kNameLimit) {
        prefix += base;
    } else {
        prefix += base.substr(0, 180);
        // Two appends: GCC 12 at -O3 warns falsely (-Wrestrict) on "-" + string.
        prefix += "-";
        prefix += std::to_string(std::hash<NativeString>{}(base));
    }
    prefix += ".";
    return {prefix.native(), suffix.native()};
}

fs::path temporaryPathFor(const fs::path& output) {
    const auto [prefix, suffix] = temporaryNamePattern(output);
    fs::path name(prefix);
    name += host::temporaryRandomPart();
    name += suffix;
    return output.parent_path() / name;
}

std::vector<fs::path> excludedPathsFor(const fs::path& output) {
    return {output};
}

fs::path baseNameFor(const fs::path& archive) {
    const NativeString name = archive.filename().native();
    const std::size_t dot = name.rfind('.');
    if (dot == NativeString::npos || dot == 0) {
        return name;
    }
    const fs::path base = name.substr(0, dot);
    if (base == "." || base == "..") {
        return name;  // "..rdb" must not name the output folder or its parent
    }
    return base;
}

fs::path chooseTargetFolder(const fs::path& outputFolder, const fs::path& baseName) {
    auto taken = [](const fs::path& path) {
        std::error_code error;
        return host::statusOf(path, host::Links::DoNotFollow, error).kind != host::Kind::Missing;
    };
    fs::path candidate = outputFolder / baseName;
    for (std::int64_t suffix = 1; taken(candidate); ++suffix) {
        candidate = outputFolder / targetFolderName(baseName, suffix);
    }
    return candidate;
}

fs::path targetFolderName(const fs::path& baseName, std::int64_t attempt) {
    fs::path name = baseName;
    if (attempt > 0) {
        name += " (" + std::to_string(attempt) + ")";
    }
    return name;
}

}  // namespace tessapak::archive

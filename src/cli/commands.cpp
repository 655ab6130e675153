#include "cli/commands.h"

#include <cstdint>
#include <system_error>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/pack.h"
#include "archive/unpack.h"
#include "cli/failure.h"
#include "cli/progress_line.h"

namespace fs = std::filesystem;

namespace tessapak::cli {

namespace {

std::string describePath(const fs::path& path, const std::string& detail) {
    return archive::displayPath(path) + ": " + detail;
}

// Either separator on Windows, where "/" is one too.
bool isSeparator(fs::path::value_type c) {
    return c == '/' || c == fs::path::preferred_separator;
}

// The path with any trailing separators removed, keeping a lone one and the
// one after a Windows drive ("C:\" is not "C:").
fs::path withoutTrailingSeparators(const fs::path& path) {
    fs::path::string_type text = path.native();
    while (text.size() > 1 && isSeparator(text.back()) && text[text.size() - 2] != ':') {
        text.pop_back();
    }
    return text;
}

// An unpack's folder as the command reports it: absolute, so that it means
// the same wherever a script uses it, and escaped like every shown name but
// never cut.
std::string shownResult(const fs::path& folder) {
    std::error_code error;
    const fs::path absolute = fs::absolute(folder, error);
    return archive::displayPath((error ? folder : absolute).lexically_normal(),
                                archive::kNoDisplayLimit);
}

bool namesNoEntry(const fs::path& path) {
    const auto name = path.filename();
    return name.empty() || name == "." || name == "..";
}

void requireFolder(const fs::path& folder) {
    std::error_code error;
    const auto status = fs::status(folder, error);
    if (status.type() == fs::file_type::not_found) {
        throw CommandError(folder, "no such folder");
    }
    if (error) {
        throw CommandError(folder, archive::errorText(error));
    }
    if (status.type() != fs::file_type::directory) {
        throw CommandError(folder, "not a folder");
    }
}

std::string plural(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

CommandError::CommandError(const fs::path& path, const std::string& detail)
    : std::runtime_error(describePath(path, detail)) {}

fs::path packOutputFor(const fs::path& folder, const std::optional<fs::path>& archiveArg) {
    if (archiveArg) {
        const fs::path::string_type& text = archiveArg->native();
        if (text.empty() || isSeparator(text.back()) || namesNoEntry(*archiveArg)) {
            throw CommandError(*archiveArg, "names a folder; give the archive's file name");
        }
        return archive::archivePathFor(*archiveArg);
    }
    // "skins/blue/" and "." must give "skins/blue.rdb" and "../here.rdb", never
    // a hidden ".rdb" inside the folder.
    fs::path base = withoutTrailingSeparators(folder);
    if (namesNoEntry(base)) {
        base = withoutTrailingSeparators(fs::absolute(base).lexically_normal());
        if (namesNoEntry(base)) {
            throw CommandError(folder, "cannot name an archive after this folder; give ARCHIVE");
        }
    }
    base += ".rdb";
    return base;
}

fs::path checkedPackOutput(const fs::path& folder, const std::optional<fs::path>& archiveArg) {
    requireFolder(folder);
    fs::path output = packOutputFor(folder, archiveArg);
    std::error_code error;
    if (fs::is_directory(output, error)) {
        throw CommandError(output, "is a folder, not an archive file");
    }
    return output;
}

void runPack(const fs::path& folder, const std::optional<fs::path>& archiveArg,
             const CommandOptions& options, std::ostream& out) {
    const fs::path output = checkedPackOutput(folder, archiveArg);
    std::error_code error;

    ProgressLine progress("packing", options.showProgress);
    const std::int64_t count = archive::packFolder(
        folder, output,
        [&progress](std::int64_t n, std::int64_t total) { progress.update(n, total); });
    progress.clear();

    if (!options.quiet) {
        const auto size = fs::file_size(output, error);
        out << "packed " << plural(count, "file", "files") << " into "
            << archive::displayPath(output);
        if (!error) {
            out << " (" << plural(static_cast<std::int64_t>(size), "byte", "bytes") << ")";
        }
        out << '\n';
    }
}

void runUnpack(const fs::path& archivePath, const std::optional<fs::path>& outputFolder,
               const CommandOptions& options, std::ostream& out) {
    fs::path into = outputFolder ? *outputFolder : archivePath.parent_path();
    if (into.empty()) {
        into = ".";
    }
    ProgressLine progress("unpacking", options.showProgress);
    std::string made;  // the new folder, once it exists
    fs::path target;
    try {
        target = archive::unpackArchive(
            archivePath, into,
            [&progress](std::int64_t n, std::int64_t total) { progress.update(n, total); },
            [&made, &options](const fs::path& folder) {
                made = shownResult(folder);
                // On a line of its own, after any progress line.
                archive::setInterruptNote(std::string(options.showProgress ? "\n" : "") +
                                          kProgramName +
                                          ": unpack interrupted, leaving the incomplete "
                                          "folder " +
                                          made + "\n");
            });
    } catch (const std::exception& error) {
        archive::setInterruptNote({});
        progress.clear();
        if (made.empty()) {
            throw;
        }
        throw std::runtime_error(describeFailure(error) +
                                 "; the unpack stopped, leaving the incomplete folder " + made);
    }
    archive::setInterruptNote({});
    progress.clear();
    out << shownResult(target) << '\n';
}

void runList(const fs::path& archivePath, std::ostream& out) {
    archive::ArchiveReader reader(archivePath);
    reader.readDirectory();
    std::string text;
    for (const auto& entry : reader.entries()) {
        text += std::to_string(entry.DataSize);
        text += '\t';
        // Whole names, escaped: one line per entry whatever a name holds.
        text += archive::displayName(entry.Name, archive::kNoDisplayLimit);
        text += '\n';
    }
    out << text;
}

void runVerify(const fs::path& archivePath, const CommandOptions& options, std::ostream& out) {
    archive::ArchiveReader reader(archivePath);
    reader.readDirectory();
    reader.checkData();
    if (!options.quiet) {
        std::int64_t dataBytes = 0;
        for (const auto& entry : reader.entries()) {
            dataBytes += entry.DataSize;
        }
        out << archive::displayPath(archivePath) << ": ok, "
            << plural(static_cast<std::int64_t>(reader.entries().size()), "entry", "entries")
            << ", " << plural(dataBytes, "byte", "bytes") << " of data\n";
    }
}

}  // namespace tessapak::cli

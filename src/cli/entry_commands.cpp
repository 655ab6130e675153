#include "cli/entry_commands.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

#include "archive/archive_error.h"
#include "archive/display_text.h"
#include "archive/entry_reader.h"
#include "archive/extract_selection.h"
#include "archive/unpack.h"
#include "archive/utf.h"
#include "cli/progress_line.h"

namespace fs = std::filesystem;

namespace tessapak::cli {

namespace {

void appendEscaped(std::string& out, char32_t c) {
    static const char* const kHex = "0123456789abcdef";
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    // Controls, and lone surrogates, which UTF-8 cannot carry.
    if (c < 0x20 || c == 0x7f || (c >= 0xd800 && c <= 0xdfff)) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += kHex[(c >> shift) & 0xf];
        }
        return;
    }
    archive::appendUtf8(out, c);
}

std::string shownArgument(const std::string& name) {
    archive::DisplayBuilder shown;
    shown.addUtf8(name);
    return std::move(shown).take();
}

std::string plural(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::optional<std::u16string> storedFormOf(const std::string& name) {
    std::optional<std::u16string> stored = archive::utf8ToUtf16(name);
    if (stored) {
        for (char16_t& c : *stored) {
            if (c == u'/') {
                c = u'\\';
            }
        }
    }
    return stored;
}

std::string jsonStoredName(const std::u16string& storedName) {
    std::string out = "\"";
    for (std::size_t i = 0; i < storedName.size(); ++i) {
        char32_t c = storedName[i];
        if (c >= 0xd800 && c <= 0xdbff && i + 1 < storedName.size() &&
            storedName[i + 1] >= 0xdc00 && storedName[i + 1] <= 0xdfff) {
            c = 0x10000 + ((c - 0xd800) << 10) + (storedName[i + 1] - 0xdc00);
            ++i;
        } else if (c == u'\\') {
            c = u'/';
        }
        appendEscaped(out, c);
    }
    return out + "\"";
}

std::string jsonText(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = archive::decodeUtf8(utf8, i, c);
        if (length == 0) {
            appendEscaped(out, 0xfffd);
            ++i;
        } else {
            appendEscaped(out, c);
            i += length;
        }
    }
    return out + "\"";
}

void runListJson(const fs::path& archivePath, std::ostream& out) {
    archive::ArchiveReader reader(archivePath);
    reader.readDirectory();
    std::int64_t bytes = 0;
    for (const auto& entry : reader.entries()) {
        bytes += entry.DataSize;
    }
    std::string text = "{\"archive\": " + jsonText(archive::utf8Of(archivePath)) +
                       ", \"files\": " + std::to_string(reader.entries().size()) +
                       ", \"bytes\": " + std::to_string(bytes) + ", \"entries\": [";
    bool first = true;
    for (const auto& entry : reader.entries()) {
        text += first ? "\n  " : ",\n  ";
        first = false;
        text += "{\"name\": " + jsonStoredName(entry.Name) +
                ", \"size\": " + std::to_string(entry.DataSize) + "}";
    }
    text += first ? "]}\n" : "\n]}\n";
    out << text;
}

void runExtract(const fs::path& archivePath, const fs::path& folder,
                const std::vector<std::string>& names, bool overwrite,
                const CommandOptions& options, std::ostream& out) {
    archive::ArchiveReader reader(archivePath);
    reader.readDirectory();
    std::vector<std::u16string> stored;
    for (const std::string& name : names) {
        const auto form = storedFormOf(name);
        if (!form) {
            throw CommandError(archivePath, "no entry or folder named " + shownArgument(name));
        }
        stored.push_back(*form);
    }
    std::vector<std::u16string> unmatched;
    const std::vector<std::size_t> picked =
        archive::selectEntries(reader.entries(), stored, unmatched);
    if (!unmatched.empty()) {
        throw CommandError(archivePath,
                           "no entry or folder named " + archive::displayName(unmatched.front()));
    }
    // Refused before the folder is made, so that a doomed run leaves nothing.
    std::error_code error;
    if (fs::symlink_status(folder, error).type() == fs::file_type::not_found) {
        fs::create_directories(folder);
    }

    ProgressLine progress("extracting", options.showProgress);
    archive::SelectionOptions run;
    run.overwrite = overwrite;
    run.progress = [&progress](std::int64_t n, std::int64_t total) { progress.update(n, total); };
    archive::SelectionOutcome outcome;
    try {
        archive::extractSelection(reader, picked, folder, run, outcome);
    } catch (const archive::ArchiveError& failure) {
        progress.clear();
        if (outcome.written.empty()) {
            throw;
        }
        throw std::runtime_error(
            std::string(failure.what()) + " (" +
            plural(static_cast<std::int64_t>(outcome.written.size()), "file", "files") +
            " had been extracted before)");
    }
    progress.clear();
    if (!options.quiet) {
        out << "extracted "
            << plural(static_cast<std::int64_t>(outcome.written.size()), "file", "files") << " ("
            << plural(outcome.bytes, "byte", "bytes") << ") into " << archive::displayPath(folder)
            << '\n';
    }
}

void runCat(const fs::path& archivePath, const std::string& name, std::ostream& out) {
    archive::ArchiveReader reader(archivePath);
    reader.readDirectory();
    const auto stored = storedFormOf(name);
    std::optional<std::size_t> found;
    if (stored) {
        const auto& entries = reader.entries();
        // The last of several entries of one name is the one an unpack leaves.
        for (std::size_t i = entries.size(); i-- > 0;) {
            if (entries[i].Name == *stored) {
                found = i;
                break;
            }
        }
    }
    if (!found) {
        throw CommandError(archivePath, "no entry named " + shownArgument(name));
    }
    const archive::EntryReader entry(reader);
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const auto buffer = std::make_unique<char[]>(kPiece);
    for (std::int64_t done = 0;;) {
        const std::size_t got = entry.readPart(*found, done, buffer.get(), kPiece);
        if (got == 0) {
            break;
        }
        out.write(buffer.get(), static_cast<std::streamsize>(got));
        done += static_cast<std::int64_t>(got);
    }
}

}  // namespace tessapak::cli

#include "cli/edit_commands.h"

#include <cstdint>

#include "archive/compare.h"
#include "archive/display_text.h"
#include "archive/update.h"
#include "archive/utf.h"
#include "cli/entry_commands.h"
#include "cli/exit_status.h"
#include "cli/progress_line.h"

namespace fs = std::filesystem;

namespace tessapak::cli {

namespace {

// Lines as list writes names: whole, escaped, one line each whatever they hold.
void printLines(const archive::EntryDifference& difference, std::ostream& out) {
    std::string text;
    const auto add = [&text](const char* mark, const std::vector<std::u16string>& names) {
        for (const auto& name : names) {
            text += mark;
            text += archive::displayName(name, archive::kNoDisplayLimit);
            text += '\n';
        }
    };
    add("+ ", difference.added);
    add("- ", difference.removed);
    add("M ", difference.changed);
    out << text;
}

void printJson(const archive::EntryDifference& difference, std::ostream& out) {
    std::string text = "{";
    const auto add = [&text](const char* key, const std::vector<std::u16string>& names) {
        text += std::string(text.size() > 1 ? ", " : "") + "\"" + key + "\": [";
        for (std::size_t i = 0; i < names.size(); ++i) {
            text += (i > 0 ? ", " : "") + jsonStoredName(names[i]);
        }
        text += "]";
    };
    add("added", difference.added);
    add("removed", difference.removed);
    add("changed", difference.changed);
    out << text << "}\n";
}

// A stored name from the command line, "/" or "\\" between folders.
std::u16string storedName(const fs::path& archivePath, const std::string& name) {
    auto stored = storedFormOf(name);
    if (!stored) {
        archive::DisplayBuilder shown;
        shown.addUtf8(name);
        throw CommandError(archivePath,
                           "the entry name " + std::move(shown).take() + " is not UTF-8");
    }
    return std::move(*stored);
}

std::string count(std::int64_t n, const char* what) {
    return std::to_string(n) + " " + what;
}

void runChanges(const fs::path& archivePath, const std::vector<archive::EntryUpdate>& changes,
                const CommandOptions& options, std::ostream& out) {
    ProgressLine progress("updating", options.showProgress);
    const archive::UpdateSummary summary = archive::updateArchive(
        archivePath, changes,
        [&progress](std::int64_t n, std::int64_t total) { progress.update(n, total); });
    progress.clear();
    if (!options.quiet) {
        out << archive::displayPath(archivePath) << ": " << count(summary.replaced, "replaced")
            << ", " << count(summary.added, "added") << ", " << count(summary.removed, "removed")
            << ", " << count(summary.kept, "kept") << '\n';
    }
}

// "NAME=FILE", split at the first "=": names may not hold one, file paths may.
const CLI::Validator kAssignment(
    [](std::string& value) {
        const std::size_t cut = value.find('=');
        return cut == std::string::npos || cut == 0 || cut + 1 == value.size()
                   ? "\"" + value + "\" is not NAME=FILE"
                   : std::string();
    },
    "NAME=FILE", "assignment");

}  // namespace

void EditCommands::addTo(CLI::App& app) {
    diff = app.add_subcommand("diff",
                              "Compare A with B, each an archive or a folder: \"+ name\" only in "
                              "B, \"- name\" only in A, \"M name\" changed");
    diff->add_option("A", first, "Archive or folder, the earlier version")->required();
    diff->add_option("B", second, "Archive or folder, the later version")->required();
    diff->add_flag("--json", json,
                   "Print {\"added\": [...], \"removed\": [...], \"changed\": [...]}");

    update = app.add_subcommand(
        "update", "Replace or add entries of ARCHIVE, keeping every other entry as it is");
    update->add_option("ARCHIVE", first, "Archive to change")->required();
    update
        ->add_option("NAME=FILE", items,
                     "Entry NAME (\"/\" between folders) takes the bytes of FILE; a new name is "
                     "added where a pack would put it")
        ->required()
        ->check(kAssignment);

    remove = app.add_subcommand("remove", "Remove entries of ARCHIVE, and folders of entries");
    remove->add_option("ARCHIVE", first, "Archive to change")->required();
    remove->add_option("NAME", items, "Entry or folder, \"/\" between folders")->required();
}

std::optional<int> EditCommands::run(const CommandOptions& options, std::ostream& out) const {
    if (diff->parsed()) {
        const archive::EntryDifference difference =
            archive::compareEntries(archive::pathFromUtf8(first), archive::pathFromUtf8(second));
        if (json) {
            printJson(difference, out);
        } else {
            printLines(difference, out);
        }
        return difference.same() ? kExitSuccess : kExitFailure;
    }
    const fs::path archivePath = archive::pathFromUtf8(first);
    std::vector<archive::EntryUpdate> changes;
    if (update->parsed()) {
        for (const std::string& item : items) {
            const std::size_t cut = item.find('=');
            changes.push_back({storedName(archivePath, item.substr(0, cut)),
                               archive::pathFromUtf8(item.substr(cut + 1))});
        }
    } else if (remove->parsed()) {
        for (const std::string& item : items) {
            changes.push_back({storedName(archivePath, item), std::nullopt});
        }
    } else {
        return std::nullopt;
    }
    runChanges(archivePath, changes, options, out);
    return kExitSuccess;
}

int EditCommands::failureStatus(int usual) const {
    return diff->parsed() ? kExitUsage : usual;
}

}  // namespace tessapak::cli

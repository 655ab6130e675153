#include "cli/watch_command.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <exception>
#include <optional>
#include <string>
#include <system_error>

#include "archive/compare.h"
#include "archive/display_text.h"
#include "archive/folder_watch.h"
#include "archive/output_names.h"
#include "archive/pack.h"
#include "cli/failure.h"
#include "cli/progress_line.h"

namespace fs = std::filesystem;

namespace tessapak::cli {

namespace {

// How long the folder must stay still before a pack: an editor's save or a
// copy of several pictures comes as a burst of changes, packed once.
constexpr std::chrono::milliseconds kSettleTime{300};

std::string localClockTime() {
    const std::time_t now = std::time(nullptr);
    char text[16] = "--:--:--";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(text, sizeof text, "%H:%M:%S", local);
    }
    return text;
}

std::string files(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

// How the archive at output differs from the folder, or nothing when there
// is no readable archive to compare with (none yet, or one that is damaged,
// which the pack then replaces) or the folder cannot be read (which the pack
// then reports).
std::optional<archive::EntryDifference> differenceFrom(const fs::path& output,
                                                       const fs::path& folder) {
    std::error_code error;
    if (!fs::exists(output, error)) {
        return std::nullopt;
    }
    try {
        return archive::compareEntries(output, folder);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

class Repacker {
  public:
    Repacker(fs::path folder, fs::path output, const CommandOptions& options, std::ostream& out,
             std::ostream& err)
        : folder_(std::move(folder)),
          output_(std::move(output)),
          shownOutput_(archive::displayPath(output_)),
          options_(options),
          out_(out),
          err_(err) {}

    // Brings the archive up to date with the folder, writing it only when
    // they differ, and says what it did.
    void run() {
        const std::string time = localClockTime();
        const std::optional<archive::EntryDifference> difference = differenceFrom(output_, folder_);
        if (difference && difference->same()) {
            say(time + " " + shownOutput_ + " is up to date (" + files(difference->unchanged) +
                ")");
            return;
        }
        std::int64_t count = 0;
        try {
            ProgressLine progress("packing", options_.showProgress);
            count = archive::packFolder(
                folder_, output_,
                [&progress](std::int64_t n, std::int64_t total) { progress.update(n, total); });
        } catch (const std::exception& error) {
            // The pack wrote into a temporary file, now gone; the archive is
            // as the last good pack left it.
            err_ << kProgramName << ": " << time << " " << describeFailure(error) << "; "
                 << shownOutput_ << " left as it was, trying again on the next change\n"
                 << std::flush;
            return;
        }
        std::string line = time + " packed " + files(count) + " into " + shownOutput_;
        if (difference) {
            line += ": " + std::to_string(difference->added.size()) + " added, " +
                    std::to_string(difference->removed.size()) + " removed, " +
                    std::to_string(difference->changed.size()) + " changed";
        }
        say(line);
    }

    void say(const std::string& line) {
        if (!options_.quiet) {
            // At once: the run usually ends by a signal, which flushes nothing.
            out_ << line << '\n' << std::flush;
        }
    }

  private:
    fs::path folder_;
    fs::path output_;
    std::string shownOutput_;
    const CommandOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace

void runPackWatch(const fs::path& folder, const std::optional<fs::path>& archiveArg,
                  const CommandOptions& options, std::ostream& out, std::ostream& err) {
    const fs::path output = checkedPackOutput(folder, archiveArg);
    // Watching first, so that a change made while the first pack runs is
    // seen; the archive's own writes are not changes.
    archive::FolderWatch watch(folder, archive::excludedPathsFor(output));
    Repacker repacker(folder, output, options, out, err);
    repacker.run();
    repacker.say(localClockTime() + " watching " + archive::displayPath(folder) +
                 " for changes (Ctrl-C stops)");
    for (;;) {
        archive::FolderWatch::Result result = watch.waitForChange();
        while (result == archive::FolderWatch::Result::Changed) {
            result = watch.waitForChange(kSettleTime);
        }
        if (result == archive::FolderWatch::Result::Stopped) {
            return;
        }
        repacker.run();
    }
}

}  // namespace tessapak::cli

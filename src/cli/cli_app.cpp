#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "archive/pack.h"
#include "archive/utf.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/edit_commands.h"
#include "cli/entry_commands.h"
#include "cli/failure.h"
#include "cli/progress_line.h"
#include "cli/watch_command.h"

namespace fs = std::filesystem;

namespace tessapak::cli {

namespace {

struct Arguments {
    bool quiet = false;
    std::string first;   // FOLDER or ARCHIVE
    std::string second;  // ARCHIVE or DIR, optional
    bool json = false;
    bool overwrite = false;
    bool watch = false;
    std::vector<std::string> names;
};

std::optional<fs::path> optionalPath(const CLI::App* command, const std::string& name,
                                     const std::string& value) {
    if (command->get_option(name)->count() == 0) {
        return std::nullopt;
    }
    return archive::pathFromUtf8(value);
}

// An empty argument names no file; reject it as a usage error rather than let
// it reach the file system as the current folder or nothing at all.
const CLI::Validator kNonEmpty(
    [](std::string& value) {
        return value.empty() ? std::string("must not be empty") : std::string();
    },
    "", "non-empty");

// The first argument that is not an option, when it names no command: CLI11
// would only say that a command is required.
std::optional<std::string> unknownCommand(const std::vector<std::string>& arguments,
                                          const CLI::App& app) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.starts_with('-')) {
            continue;
        }
        for (const CLI::App* command : app.get_subcommands({})) {
            if (command->check_name(argument)) {
                return std::nullopt;
            }
        }
        return argument;
    }
    return std::nullopt;
}

void printFailure(const std::string& description) {
    std::cerr << kProgramName << ": " << description << '\n' << std::flush;
}

}  // namespace

namespace {

// The commands, their arguments and their help texts.
struct CommandLine {
    CLI::App app{"Packs a folder tree into one RDB archive (.rdb) and unpacks it again.",
                 kProgramName};
    Arguments args;
    CLI::App* pack = nullptr;
    CLI::App* unpack = nullptr;
    CLI::App* list = nullptr;
    CLI::App* extract = nullptr;
    CLI::App* cat = nullptr;
    CLI::App* verify = nullptr;
    EditCommands edit;

    CommandLine() {
        app.set_version_flag("--version", std::string(kProgramName) + " " + TESSAPAK_VERSION,
                             "Print the version and exit");
        app.set_help_flag("-h,--help", "Print this help and exit");
        app.add_flag("-q,--quiet", args.quiet, "Print no progress and no summary");
        app.require_subcommand(1);
        // -q may also follow the command: "tessapak-cli pack -q skin".
        app.fallthrough();
        // "/q" is a path on every host, never an option.
        app.allow_windows_style_options(false);
        app.footer(
            "Exit status: 0 on success, 1 when the operation failed, 2 for a usage error;\n"
            "diff exits 0 when A and B are the same, 1 when they differ, 2 on trouble.\n"
            "Progress is shown on standard error when it is a terminal.\n");

        pack = app.add_subcommand(
            "pack", "Pack FOLDER into an RDB archive; with --watch, again after every change");
        pack->add_option("FOLDER", args.first, "Folder to pack")->required()->check(kNonEmpty);
        pack->add_option("ARCHIVE", args.second,
                         "Archive to write (default: FOLDER followed by .rdb); "
                         ".rdb is appended unless the name ends in .rdb in any case")
            ->check(kNonEmpty);
        pack->add_flag("-w,--watch", args.watch,
                       "After packing, pack again whenever something below FOLDER changes "
                       "(once it has been still for 0.3 s), printing a line each time, until "
                       "Ctrl-C; a pack that fails leaves the archive as it was");

        unpack = app.add_subcommand(
            "unpack",
            "Unpack ARCHIVE into a new folder named after it, and print that folder's path");
        unpack->add_option("ARCHIVE", args.first, "Archive to unpack")
            ->required()
            ->check(kNonEmpty);
        unpack
            ->add_option("DIR", args.second,
                         "Folder in which the new folder is made (default: the archive's folder)")
            ->check(kNonEmpty);

        list = app.add_subcommand("list", "Print each entry's size in bytes, a tab and its name");
        list->add_option("ARCHIVE", args.first, "Archive to list")->required()->check(kNonEmpty);
        list->add_flag("--json", args.json, "Print one JSON document instead of lines");

        extract = app.add_subcommand(
            "extract",
            "Write entries of ARCHIVE (all without NAME) below DIR, keeping their paths");
        extract->add_option("ARCHIVE", args.first, "Archive to read")->required()->check(kNonEmpty);
        extract->add_option("-o,--output", args.second, "Folder to write into (made if missing)")
            ->required()
            ->check(kNonEmpty);
        extract->add_option("NAME", args.names,
                            "Entry to write, \"/\" between folders; a folder takes all below it");
        extract->add_flag("--overwrite", args.overwrite, "Replace files that are in the way");

        cat = app.add_subcommand("cat", "Write the bytes of one entry to standard output");
        cat->add_option("ARCHIVE", args.first, "Archive to read")->required()->check(kNonEmpty);
        cat->add_option("NAME", args.second, "Entry, \"/\" between folders")->required();

        verify = app.add_subcommand(
            "verify", "Check the whole archive's structure and data, writing nothing");
        verify->add_option("ARCHIVE", args.first, "Archive to check")->required()->check(kNonEmpty);

        edit.addTo(app);
    }
};

// Parses the arguments; returns the exit status when the run ends here
// (help, version, or a usage error).
std::optional<int> parseArguments(CommandLine& line, const std::vector<std::string>& utf8) {
    std::vector<const char*> argv;
    for (const std::string& argument : utf8) {
        argv.push_back(argument.c_str());
    }
    try {
        line.app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            line.app.exit(error, std::cout, std::cerr);  // --help and --version
            return std::cout.flush() ? kExitSuccess : kExitFailure;
        }
        const std::optional<std::string> unknown = unknownCommand(utf8, line.app);
        const std::string what =
            unknown ? "unknown command \"" + *unknown + "\"" : std::string(error.what());
        printFailure(oneLine(what) + " (see " + kProgramName + " --help)");
        return kExitUsage;
    }

    return std::nullopt;
}

// Runs the command that was parsed; returns the exit status.
int runCommand(const CommandLine& line) {
    CommandOptions options;
    options.quiet = line.args.quiet;
    options.showProgress = !line.args.quiet && stderrIsTerminal();

    // An interrupted pack leaves no hidden temporary file behind.
    archive::removeTemporaryFilesOnInterrupt();
    int result = kExitSuccess;
    try {
        if (line.pack->parsed() && line.args.watch) {
            runPackWatch(archive::pathFromUtf8(line.args.first),
                         optionalPath(line.pack, "ARCHIVE", line.args.second), options, std::cout,
                         std::cerr);
        } else if (line.pack->parsed()) {
            runPack(archive::pathFromUtf8(line.args.first),
                    optionalPath(line.pack, "ARCHIVE", line.args.second), options, std::cout);
        } else if (line.unpack->parsed()) {
            runUnpack(archive::pathFromUtf8(line.args.first),
                      optionalPath(line.unpack, "DIR", line.args.second), options, std::cout);
        } else if (line.list->parsed()) {
            if (line.args.json) {
                runListJson(archive::pathFromUtf8(line.args.first), std::cout);
            } else {
                runList(archive::pathFromUtf8(line.args.first), std::cout);
            }
        } else if (line.extract->parsed()) {
            runExtract(archive::pathFromUtf8(line.args.first),
                       archive::pathFromUtf8(line.args.second), line.args.names,
                       line.args.overwrite, options, std::cout);
        } else if (line.cat->parsed()) {
            runCat(archive::pathFromUtf8(line.args.first), line.args.second, std::cout);
        } else if (line.verify->parsed()) {
            runVerify(archive::pathFromUtf8(line.args.first), options, std::cout);
        } else if (const auto status = line.edit.run(options, std::cout)) {
            result = *status;
        }
    } catch (const std::exception& error) {
        std::cout.flush();
        printFailure(describeFailure(error));
        return line.edit.failureStatus(kExitFailure);
    } catch (...) {
        printFailure("unexpected failure");
        return line.edit.failureStatus(kExitFailure);
    }

    // A full disk or a closed pipe behind standard output is a failure too.
    if (!std::cout.flush()) {
        printFailure("standard output: write failed");
        return line.edit.failureStatus(kExitFailure);
    }
    return result;
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    prepareStandardStreams();
    const std::vector<std::string> utf8 = utf8Arguments(argc, argv);
    CommandLine line;
    if (const std::optional<int> status = parseArguments(line, utf8)) {
        return *status;
    }
    return runCommand(line);
}

}  // namespace tessapak::cli

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
#include "cli/failure.h"
#include "cli/progress_line.h"

namespace fs = std::filesystem;

namespace tessapak::cli {

namespace {

struct Arguments {
    bool quiet = false;
    std::string first;   // FOLDER or ARCHIVE
    std::string second;  // ARCHIVE or DIR, optional
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

int runCommandLine(int argc, char** argv) {
    prepareStandardStreams();
    const std::vector<std::string> utf8 = utf8Arguments(argc, argv);
    std::vector<const char*> utf8Argv;
    for (const std::string& argument : utf8) {
        utf8Argv.push_back(argument.c_str());
    }
    Arguments args;
    CLI::App app{"Packs a folder tree into one RDB archive (.rdb) and unpacks it again.",
                 kProgramName};
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
        "Exit status: 0 on success, 1 when the operation failed, 2 for a usage error.\n"
        "Progress is shown on standard error when it is a terminal.\n");

    auto* pack = app.add_subcommand("pack", "Pack FOLDER into an RDB archive");
    pack->add_option("FOLDER", args.first, "Folder to pack")->required()->check(kNonEmpty);
    pack->add_option("ARCHIVE", args.second,
                     "Archive to write (default: FOLDER followed by .rdb); "
                     ".rdb is appended unless the name ends in .rdb in any case")
        ->check(kNonEmpty);

    auto* unpack = app.add_subcommand(
        "unpack", "Unpack ARCHIVE into a new folder named after it, and print that folder's path");
    unpack->add_option("ARCHIVE", args.first, "Archive to unpack")->required()->check(kNonEmpty);
    unpack
        ->add_option("DIR", args.second,
                     "Folder in which the new folder is made (default: the archive's folder)")
        ->check(kNonEmpty);

    auto* list = app.add_subcommand("list", "Print each entry's size in bytes, a tab and its name");
    list->add_option("ARCHIVE", args.first, "Archive to list")->required()->check(kNonEmpty);

    auto* verify = app.add_subcommand(
        "verify", "Check the whole archive's structure and data, writing nothing");
    verify->add_option("ARCHIVE", args.first, "Archive to check")->required()->check(kNonEmpty);

    try {
        app.parse(static_cast<int>(utf8Argv.size()), utf8Argv.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(error, std::cout, std::cerr);  // --help and --version
            return std::cout.flush() ? kExitSuccess : kExitFailure;
        }
        const std::optional<std::string> unknown = unknownCommand(utf8, app);
        const std::string what =
            unknown ? "unknown command \"" + *unknown + "\"" : std::string(error.what());
        printFailure(oneLine(what) + " (see " + kProgramName + " --help)");
        return kExitUsage;
    }

    CommandOptions options;
    options.quiet = args.quiet;
    options.showProgress = !args.quiet && stderrIsTerminal();

    // An interrupted pack leaves no hidden temporary file behind.
    archive::removeTemporaryFilesOnInterrupt();
    try {
        if (pack->parsed()) {
            runPack(archive::pathFromUtf8(args.first), optionalPath(pack, "ARCHIVE", args.second),
                    options, std::cout);
        } else if (unpack->parsed()) {
            runUnpack(archive::pathFromUtf8(args.first), optionalPath(unpack, "DIR", args.second),
                      options, std::cout);
        } else if (list->parsed()) {
            runList(archive::pathFromUtf8(args.first), std::cout);
        } else if (verify->parsed()) {
            runVerify(archive::pathFromUtf8(args.first), options, std::cout);
        }
    } catch (const std::exception& error) {
        std::cout.flush();
        printFailure(describeFailure(error));
        return kExitFailure;
    } catch (...) {
        printFailure("unexpected failure");
        return kExitFailure;
    }

    // A full disk or a closed pipe behind standard output is a failure too.
    if (!std::cout.flush()) {
        printFailure("standard output: write failed");
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace tessapak::cli

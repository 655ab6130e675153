// The command line itself: help, version, and the usage errors that must
// exit with 2 before anything is touched.
#include <gtest/gtest.h>

#include <regex>

#include "cli_runner.h"
#include "test_support.h"

namespace tessapak::cli::test {
namespace {

TEST(CliUsage, HelpListsEveryCommandOnStandardOutputAndSucceeds) {
    TempFolder temp;
    const std::filesystem::path work = temp.subfolder("work");
    for (const char* flag : {"--help", "-h"}) {
        const auto result = runCli({flag}, work);
        EXPECT_EQ(result.status, 0) << flag;
        EXPECT_EQ(result.err, "") << flag;
        for (const char* command : {"pack", "unpack", "list", "verify", "--quiet", "--version"}) {
            EXPECT_NE(result.out.find(command), std::string::npos) << flag << " lacks " << command;
        }
    }
}

TEST(CliUsage, CommandHelpNamesItsOwnArguments) {
    TempFolder temp;
    const std::filesystem::path work = temp.subfolder("work");
    const auto pack = runCli({"pack", "--help"}, work);
    EXPECT_EQ(pack.status, 0);
    EXPECT_NE(pack.out.find("FOLDER"), std::string::npos);
    EXPECT_NE(pack.out.find("ARCHIVE"), std::string::npos);

    const auto unpack = runCli({"unpack", "--help"}, work);
    EXPECT_EQ(unpack.status, 0);
    EXPECT_NE(unpack.out.find("DIR"), std::string::npos);
    EXPECT_TRUE(snapshot(work).empty());
}

TEST(CliUsage, VersionPrintsTheProgramNameAndItsVersion) {
    TempFolder temp;
    const std::filesystem::path work = temp.subfolder("work");
    const auto result = runCli({"--version"}, work);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(std::regex_match(result.out, std::regex("tessapak-cli [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << result.out;
    EXPECT_EQ(result.err, "");
}

TEST(CliUsage, BadCommandLinesExitWithTwoAndOneLineOfExplanation) {
    TempFolder temp;
    const std::filesystem::path work = temp.subfolder("work");
    writeFile(work / "skin" / "a.txt", "abc");
    const std::vector<std::vector<std::string>> badLines = {
        {},
        {"frobnicate"},
        {"pack"},
        {"unpack"},
        {"list"},
        {"verify"},
        {"pack", "skin", "out", "extra"},
        {"unpack", "a.rdb", "dir", "extra"},
        {"list", "a.rdb", "b.rdb"},
        {"verify", "a.rdb", "b.rdb"},
        {"--no-such-option", "pack", "skin"},
        {"pack", "--no-such-option", "skin"},
        {"-q"},
        {"pack", ""},
        {"pack", "skin", ""},
        {"unpack", ""},
        {"unpack", "a.rdb", ""},
        {"list", ""},
        {"verify", ""},
    };
    const auto before = snapshot(work);
    for (const auto& line : badLines) {
        std::string shown;
        for (const auto& arg : line) {
            shown += arg + " ";
        }
        const auto result = runCli(line, work);
        EXPECT_EQ(result.status, 2) << shown;
        EXPECT_TRUE(result.oneErrorLine()) << shown << "-> " << result.err;
        EXPECT_EQ(result.err.rfind("tessapak-cli: ", 0), 0u) << result.err;
        EXPECT_EQ(result.out, "") << shown;
    }
    EXPECT_EQ(snapshot(work), before) << "a usage error must not touch the disk";
    // A mistyped command is named, so that the user sees which word was wrong.
    EXPECT_NE(runCli({"-q", "frobnicate", "skin"}, work).err.find("\"frobnicate\""),
              std::string::npos);
}

TEST(CliUsage, QuietFlagIsAcceptedBeforeAndAfterTheCommand) {
    TempFolder temp;
    const std::filesystem::path work = temp.subfolder("work");
    writeFile(work / "skin" / "a.txt", "abc");
    EXPECT_EQ(runCli({"-q", "pack", "skin", "one"}, work).status, 0);
    EXPECT_EQ(runCli({"pack", "--quiet", "skin", "two"}, work).status, 0);
    EXPECT_EQ(runCli({"pack", "skin", "three", "-q"}, work).status, 0);
    for (const char* name : {"one.rdb", "two.rdb", "three.rdb"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(work / name)) << name;
    }
}

}  // namespace
}  // namespace tessapak::cli::test

#include "cli/RunCli.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "base/FileSystem.h"
#include "base/Utf.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::TTempDir;
using test::WriteBytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class RunCliTest : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        return RunCli(arguments, out, err);
    }
    std::string Path(const std::string& name) const { return (folder / name).string(); }

    TTempDir folder;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(RunCliTest, NoArgumentsShowUsageOnStderr) {
    EXPECT_EQ(Run({}), kExitBadCommand);
    EXPECT_EQ(out.str(), "");
    EXPECT_THAT(err.str(), StartsWith("使い方: quillmark-cli"));
}

TEST_F(RunCliTest, HelpAndVersionGoToStdout) {
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_THAT(out.str(), HasSubstr("/quote:"));
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(Run({"--version"}), kExitSuccess);
    EXPECT_EQ(out.str(), "quillmark-cli " QUILLMARK_VERSION "\n");
}

TEST_F(RunCliTest, ConvertsSilently) {
    WriteBytes(folder / "in.csv", "a,b\n");
    EXPECT_EQ(Run({"/source:" + Path("in.csv"), "/target:" + Path("out.csv"), "/quote:1", "/encoding:1"}),
              kExitSuccess);
    EXPECT_EQ(out.str() + err.str(), "");
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "a,\"b\"\r\n");
}

struct FailureCase {
    const char* name;
    std::vector<std::string> arguments;  // "@" stands for the test's folder
    int exitCode;
    std::string err;
    int error;  // the system's error number whose text ends `err`, or 0
};

// The system's error numbers for a missing folder and a folder in the way.
#if defined(_WIN32)
constexpr int kNoFolder = 3;     // ERROR_PATH_NOT_FOUND
constexpr int kFolderInWay = 5;  // ERROR_ACCESS_DENIED
#else
constexpr int kNoFolder = ENOENT;
constexpr int kFolderInWay = EISDIR;
#endif

class RunCliFailure : public RunCliTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RunCliFailure, ReportsOnStderr) {
    WriteBytes(folder / "in.csv", "a,b\n");
    std::filesystem::create_directory(folder / "dir");
    std::vector<std::string> arguments;
    for (std::string argument : GetParam().arguments) {
        if (auto at = argument.find('@'); at != std::string::npos)
            argument.replace(at, 1, folder.Path().string());
        arguments.push_back(argument);
    }
    EXPECT_EQ(Run(arguments), GetParam().exitCode);
    // The path as the message shows it: expanded, with the system's separators.
    std::string expected = GetParam().err;
    if (auto at = expected.find('@'); at != std::string::npos) {
        const auto end = expected.find('"', at);
        const std::string path = folder.Path().string() + expected.substr(at + 1, end - at - 1);
        expected.replace(at, end - at, Utf16ToUtf8(ExpandFileName(NativeToUnicode(path))));
    }
    if (GetParam().error != 0) expected += Utf16ToUtf8(SystemErrorText(GetParam().error)) + "\n";
    EXPECT_EQ(err.str(), expected);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(folder.Listing(), "dir in.csv");
}

INSTANTIATE_TEST_SUITE_P(Failures, RunCliFailure,
                         ::testing::Values(FailureCase{"MissingSource",
                                                       {"/source:@/gone.csv", "/target:@/out.csv"},
                                                       1,
                                                       "変換元CSVファイルが見つかりません。\n",
                                                       0},
                                           FailureCase{"NoSourceAtAll",
                                                       {"/target:@/out.csv", "/auto"},
                                                       1,
                                                       "変換元CSVファイルが見つかりません。\n",
                                                       0},
                                           FailureCase{"SourceIsAFolder",
                                                       {"/source:@/dir", "/target:@/out.csv"},
                                                       1,
                                                       "変換元CSVファイルが見つかりません。\n",
                                                       0},
                                           FailureCase{"TargetFolderMissing",
                                                       {"/source:@/in.csv", "/target:@/no/out.csv"},
                                                       1,
                                                       "ファイル \"@/no/out.csv\" を作成できません。",
                                                       kNoFolder},
                                           FailureCase{"TargetIsAFolder",
                                                       {"/source:@/in.csv", "/target:@/dir"},
                                                       1,
                                                       "ファイル \"@/dir\" を作成できません。",
                                                       kFolderInWay},
                                           FailureCase{"InvalidPathCharacter",
                                                       {"/source:@/in.csv", "/target:@/out.csv", "a|b"},
                                                       2,
                                                       "ファイル名に無効な文字が含まれています\n",
                                                       0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmark

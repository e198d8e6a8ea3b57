// Real failures, as root can meet them too: a failing disk (a preloaded
// write that runs out of space, a full tmpfs), a read-only mount, a source
// that shrinks while it is read, folders in the way. After every failure the
// old files are exactly as they were and no temporary file is left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/RunProgram.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::RunProgram;
using test::TTempDir;
using test::WriteBytes;
using ::testing::StartsWith;

const std::filesystem::path kCli = QUILLMARK_CLI_PATH;
const std::filesystem::path kHelper = QUILLMARK_FAULT_HELPER_PATH;
const std::string kShim = QUILLMARK_FAULT_SHIM_PATH;

// A preloaded library next to AddressSanitizer's runtime must not stop the run.
std::vector<std::string> Preloaded(std::vector<std::string> environment) {
    environment.push_back("LD_PRELOAD=" + kShim);
    environment.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
    environment.push_back("LC_MESSAGES=C");
    return environment;
}

std::string Source(int rows) {
    std::string text = "id,name,note\r\n";
    for (int i = 0; i < rows; ++i)
        text += std::to_string(i) + ",name" + std::to_string(i) + ",\"a, b\"\r\n";
    return text;
}

bool CanUnshare() {
    static const bool can = [] {
        TTempDir folder;
        return RunProgram("/usr/bin/unshare", {"-m", "/bin/true"}, folder.Path()).ExitCode == 0;
    }();
    return can;
}

// Runs `command` (a shell command line) in a private mount namespace, where
// it may mount what it likes without touching the machine's mounts.
test::TProgramResult RunInNamespace(const TTempDir& folder, const std::string& command) {
    return RunProgram("/usr/bin/unshare", {"-m", "/bin/sh", "-c", command}, folder.Path(),
                      {"LC_ALL=C", "LC_MESSAGES=C"});
}

TEST(FaultInjection, DiskFullHalfWayKeepsTheOldTarget) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", Source(5000));
    WriteBytes(folder / "out.csv", "precious");
    const auto result = RunProgram(kCli, {"/source:in.csv", "/target:out.csv", "/quote:1"}, folder.Path(),
                                   Preloaded({"QUILLMARK_FAIL_WRITE_AFTER=20000"}));
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "ファイル \"" + (folder / "out.csv").string() +
                              "\" に書き込めません。No space left on device\n");
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

TEST(FaultInjection, DiskFullWhenSourceIsTargetKeepsTheSource) {
    TTempDir folder;
    const std::string source = Source(5000);
    WriteBytes(folder / "in.csv", source);
    const auto result = RunProgram(kCli, {"/source:in.csv", "/target:in.csv", "/quote:0"}, folder.Path(),
                                   Preloaded({"QUILLMARK_FAIL_WRITE_AFTER=1000"}));
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(ReadBytes(folder / "in.csv"), source);
    EXPECT_EQ(folder.Listing(), "in.csv");
}

TEST(FaultInjection, SourceAsTargetIsConverted) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\n");
    const auto result =
        RunProgram(kCli, {"/source:in.csv", "/target:in.csv", "/quote:0"}, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadBytes(folder / "in.csv"), "\"a\",b\r\n");
    EXPECT_EQ(folder.Listing(), "in.csv");
}

// The file that takes an old one's place is on disk before the rename, and
// the rename after it; a new file is not waited for.
TEST(FaultInjection, OnlyAReplacedTargetIsSyncedToDisk) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", Source(100));
    const std::string log = (folder / "sync.log").string();
    for (const char* expected : {"", "file\nfolder\n"}) {
        std::filesystem::remove(log);
        const auto result = RunProgram(kCli, {"/source:in.csv", "/target:out.csv"}, folder.Path(),
                                       Preloaded({"QUILLMARK_SYNC_LOG=" + log}));
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(std::filesystem::exists(log) ? ReadBytes(log) : "", expected);
    }
}

// The source is cut while it is read: in a conversion's one pass, in the
// read of the widest row that a row wider than those before it calls for,
// and in the column list (large files are read in two halves at once: a
// cut before the middle comes before everything the second half reads,
// whichever half reads faster).
TEST(FaultInjection, ShrinkingSourceIsAReadFailure) {
    struct TCase {
        std::string Source;
        std::vector<std::string> Arguments;
        long long CutAt;
    };
    // The first pass ends at the wider row, early on.
    const std::string wider = "0,a,b\r\n1,2,3,4\r\n" + Source(300000);
    const std::vector<TCase> cases = {
        {Source(200000), {"/source:in.csv", "/target:out.csv"}, 1500000},
        {wider, {"/source:in.csv", "/target:out.csv"}, 4000000},
        {Source(300000), {"--list-columns", "/source:in.csv"}, 1000000},
        {Source(300000), {"--list-columns", "/source:in.csv"}, 3000000},
    };
    for (const TCase& test : cases) {
        TTempDir folder;
        WriteBytes(folder / "in.csv", test.Source);
        WriteBytes(folder / "out.csv", "precious");
        const auto result = RunProgram(kCli, test.Arguments, folder.Path(),
                                       Preloaded({"QUILLMARK_SHRINK=" + (folder / "in.csv").string() + ":" +
                                                  std::to_string(test.CutAt)}));
        EXPECT_EQ(result.ExitCode, 1) << test.CutAt;
        EXPECT_EQ(result.Err, "CSVファイルの読み込みに失敗しました。\n") << test.CutAt;
        EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
        EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    }
}

// A source written to in place while it is read (same size, a byte already
// read) gives no target that mixes two versions of it.
TEST(FaultInjection, SourceRewrittenWhileReadKeepsTheTarget) {
    for (const long long at : {1000000LL, 3000000LL, 6000000LL}) {
        TTempDir folder;
        WriteBytes(folder / "in.csv", Source(300000));
        WriteBytes(folder / "out.csv", "precious");
        const auto result = RunProgram(
            kCli, {"/source:in.csv", "/target:out.csv", "/quote:0"}, folder.Path(),
            Preloaded({"QUILLMARK_REWRITE=" + (folder / "in.csv").string() + ":" + std::to_string(at)}));
        EXPECT_EQ(result.ExitCode, 1) << at;
        EXPECT_EQ(result.Err, "CSVファイルの読み込みに失敗しました。\n") << at;
        EXPECT_TRUE(ReadBytes(folder / "out.csv") == "precious") << at;
        EXPECT_EQ(ReadBytes(folder / "in.csv").front(), '#') << at;
        EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    }
}

TEST(FaultInjection, MissingAndUnreadableSources) {
    TTempDir folder;
    WriteBytes(folder / "out.csv", "precious");
    auto result = RunProgram(kCli, {"/source:gone.csv", "/target:out.csv"}, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "変換元CSVファイルが見つかりません。\n");
    const test::TUnixSocket socket(folder / "in.csv");
    result = RunProgram(kCli, {"/source:in.csv", "/target:out.csv"}, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "CSVファイルの読み込みに失敗しました。\n");
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

TEST(FaultInjection, TargetFolderMissingOrTargetAFolder) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a\n");
    auto result = RunProgram(kCli, {"/source:in.csv", "/target:no/out.csv"}, folder.Path(),
                             {"LC_ALL=C", "LC_MESSAGES=C"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "ファイル \"" + (folder / "no/out.csv").string() +
                              "\" を作成できません。No such file or directory\n");
    std::filesystem::create_directory(folder / "dir.csv");
    result =
        RunProgram(kCli, {"/source:in.csv", "/target:dir.csv"}, folder.Path(), {"LC_ALL=C", "LC_MESSAGES=C"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_THAT(result.Err,
                StartsWith("ファイル \"" + (folder / "dir.csv").string() + "\" を作成できません。"));
    EXPECT_EQ(folder.Listing(), "dir.csv in.csv");
}

TEST(FaultInjection, ReadOnlyMountKeepsTheTarget) {
    if (!CanUnshare()) GTEST_SKIP() << "no private mount namespaces here";
    TTempDir folder;
    std::filesystem::create_directory(folder / "ro");
    WriteBytes(folder / "in.csv", "a\n");
    WriteBytes(folder / "ro/out.csv", "precious");
    const auto result = RunInNamespace(folder, "mount --bind ro ro && mount -o remount,bind,ro ro && exec " +
                                                   kCli.string() + " /source:in.csv /target:ro/out.csv");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "ファイル \"" + (folder / "ro/out.csv").string() +
                              "\" を作成できません。Read-only file system\n");
    EXPECT_EQ(ReadBytes(folder / "ro/out.csv"), "precious");
}

TEST(FaultInjection, FullTmpfsKeepsTheTargetAndLeavesNoTemporaryFile) {
    if (!CanUnshare()) GTEST_SKIP() << "no private mount namespaces here";
    TTempDir folder;
    std::filesystem::create_directory(folder / "small");
    WriteBytes(folder / "in.csv", Source(20000));
    const auto result = RunInNamespace(
        folder,
        "mount -t tmpfs -o size=64k tmpfs small && printf precious > small/out.csv && " + kCli.string() +
            " /source:in.csv /target:small/out.csv; status=$?; ls -A small; cat small/out.csv; exit $status");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "ファイル \"" + (folder / "small/out.csv").string() +
                              "\" に書き込めません。No space left on device\n");
    EXPECT_EQ(result.Out, "out.csv\nprecious");
}

struct HelperCase {
    const char* name;
    const char* kind;  // settings or batch
    const char* file;
};

class SettingsAndBatchFaults : public ::testing::TestWithParam<HelperCase> {};

TEST_P(SettingsAndBatchFaults, FailedWritesKeepTheOldFile) {
    TTempDir folder;
    WriteBytes(folder / GetParam().file, "old content");
    // Disk full.
    auto result = RunProgram(kHelper, {GetParam().kind, GetParam().file}, folder.Path(),
                             Preloaded({"QUILLMARK_FAIL_WRITE_AFTER=10"}));
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "ファイル \"" + (folder / GetParam().file).string() +
                              "\" に書き込めません。No space left on device\n");
    EXPECT_EQ(ReadBytes(folder / GetParam().file), "old content");
    EXPECT_EQ(folder.Listing(), GetParam().file);
    // A folder that cannot be written to.
    if (CanUnshare()) {
        result =
            RunInNamespace(folder, "mount --bind . . && mount -o remount,bind,ro . && cd \"$PWD\" && exec " +
                                       kHelper.string() + " " + GetParam().kind + " " + GetParam().file);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_THAT(result.Err, StartsWith("ファイル \"" + (folder / GetParam().file).string() +
                                           "\" を作成できません。"));
        EXPECT_EQ(ReadBytes(folder / GetParam().file), "old content");
    }
    // And when nothing fails, the file is replaced.
    result = RunProgram(kHelper, {GetParam().kind, GetParam().file}, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(ReadBytes(folder / GetParam().file), "old content");
    EXPECT_EQ(folder.Listing(), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsAndBatchFaults,
                         ::testing::Values(HelperCase{"SettingsFile", "settings", "s.qmk"},
                                           HelperCase{"BatchFile", "batch", "run.bat"},
                                           HelperCase{"ShellScript", "batch", "run.sh"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmark

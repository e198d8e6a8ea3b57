// Replacing a regular file: what the old file had (owner, group, mode, ACL,
// extended attributes) the new one keeps, nothing is readable by others
// while it is written, and an interrupt at any moment leaves the old file
// and no temporary file. Settings and batch files written under several
// locales keep every path. Real processes throughout.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "base/Utf.h"
#include "settings/SettingsFile.h"
#include "support/ChildProcess.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::TChildOptions;
using test::TChildProcess;
using test::TTempDir;
using test::WriteBytes;
using ::testing::HasSubstr;

const std::filesystem::path kCli = QUILLMARK_CLI_PATH;
const std::filesystem::path kHelper = QUILLMARK_FAULT_HELPER_PATH;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

#if defined(QUILLMARK_SANITIZED)
constexpr std::size_t kScale = 10;
#else
constexpr std::size_t kScale = 1;
#endif

struct stat StatOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + path.string());
    return info;
}

// Runs a shell command on files of the test's folder; its output.
std::string Shell(const std::string& command, int* status = nullptr) {
    std::string output;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, got);
        const int result = ::pclose(pipe);
        if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    }
    return output;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

int Convert(const TTempDir& folder, const TChildOptions& options = {}) {
    TChildProcess child(kCli, {"/source:in.csv", "/target:out.csv", "/quote:0"}, folder.Path(), options);
    const int status = child.Wait();
    EXPECT_EQ(status, 0) << child.Err();
    return status;
}

// ------------------------------------------------------ owner, group, mode

struct TModeCase {
    const char* Name;
    mode_t Before;
    mode_t After;
};

class KeptMode : public ::testing::TestWithParam<TModeCase> {};

// A file of nobody keeps its owner, group and mode when root replaces it;
// set-user-ID and set-group-ID bits are never carried over.
TEST_P(KeptMode, OwnerGroupAndModeOfAnotherUsersFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to nobody";
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\r\n");
    WriteBytes(folder / "out.csv", "old");
    ASSERT_EQ(::chown((folder / "out.csv").c_str(), kNobody, kNogroup), 0);
    ASSERT_EQ(::chmod((folder / "out.csv").c_str(), GetParam().Before), 0);
    Convert(folder);
    const struct stat after = StatOf(folder / "out.csv");
    EXPECT_EQ(after.st_uid, kNobody);
    EXPECT_EQ(after.st_gid, kNogroup);
    EXPECT_EQ(after.st_mode & 07777, GetParam().After);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\"a\",b\r\n");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

INSTANTIATE_TEST_SUITE_P(Modes, KeptMode,
                         ::testing::Values(TModeCase{"Private", 0600, 0600},
                                           TModeCase{"GroupRead", 0640, 0640},
                                           TModeCase{"SetUserId", 04777, 0777},
                                           TModeCase{"SetGroupId", 02775, 0775},
                                           TModeCase{"Sticky", 01644, 01644}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(NewFileMode, FollowsTheUmask) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\r\n");
    Convert(folder, With(&TChildOptions::Umask, 027));
    EXPECT_EQ(StatOf(folder / "out.csv").st_mode & 07777, 0640u);
}

// An access control list entry and an extended attribute survive, and the
// list's mask does not land in the group bits.
TEST(KeptAttributes, AclAndExtendedAttributes) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\r\n");
    WriteBytes(folder / "out.csv", "old");
    ::chmod((folder / "out.csv").c_str(), 0640);
    int status = 0;
    Shell("setfacl -m u:daemon:rw- " + Quoted(folder / "out.csv"), &status);
    const bool acl = status == 0;
    Shell("setfattr -n user.origin -v ledger " + Quoted(folder / "out.csv"), &status);
    const bool xattr = status == 0;
    if (!acl && !xattr) GTEST_SKIP() << "the file system takes neither ACLs nor extended attributes";
    const std::string aclBefore = Shell("getfacl -cp " + Quoted(folder / "out.csv"));
    Convert(folder);
    if (acl) {
        EXPECT_EQ(Shell("getfacl -cp " + Quoted(folder / "out.csv")), aclBefore);
        EXPECT_THAT(aclBefore, HasSubstr("user:daemon:rw-"));
        EXPECT_THAT(aclBefore, HasSubstr("group::r--"));
    }
    if (xattr) {
        EXPECT_EQ(Shell("getfattr --only-values -n user.origin " + Quoted(folder / "out.csv")), "ledger");
    }
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\"a\",b\r\n");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

// Run as nobody over nobody's own file with an ACL: mode and list stay.
TEST(KeptAttributes, NonRootUserKeepsModeAndAcl) {
    if (!test::CanRunAsNobody()) GTEST_SKIP() << "needs root and setpriv to run as nobody";
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\r\n");
    WriteBytes(folder / "out.csv", "old");
    ::chown(folder.Path().c_str(), kNobody, kNogroup);
    ::chown((folder / "out.csv").c_str(), kNobody, kNogroup);
    ::chmod((folder / "out.csv").c_str(), 0604);
    int status = 0;
    Shell("setfacl -m u:daemon:r-- " + Quoted(folder / "out.csv"), &status);
    const std::string aclBefore = Shell("getfacl -cp " + Quoted(folder / "out.csv"));
    Convert(folder, With(&TChildOptions::AsNobody, true));
    const struct stat after = StatOf(folder / "out.csv");
    EXPECT_EQ(after.st_uid, kNobody);
    EXPECT_EQ(after.st_gid, kNogroup);
    if (status == 0)
        EXPECT_EQ(Shell("getfacl -cp " + Quoted(folder / "out.csv")), aclBefore);
    else
        EXPECT_EQ(after.st_mode & 07777, 0604u);
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

// ------------------------------------------------- private from the first byte

std::string BigSource(std::size_t rows) {
    std::string text;
    text.reserve(rows * 60);
    for (std::size_t i = 0; i < rows; ++i)
        text += std::to_string(i) + ",東京都港区芝公園,\"note, with a comma\",abcdefghijklmnop,0.5\r\n";
    return text;
}

// While root replaces a 0600 file, nobody keeps trying to open every other
// entry of the folder: none ever opens.
TEST(PrivateTemporary, NobodyCannotReadTheNewContentWhileItIsWritten) {
    if (!test::CanRunAsNobody()) GTEST_SKIP() << "needs root to watch as nobody";
    TTempDir folder;
    WriteBytes(folder / "in.csv", BigSource(400'000 / kScale));
    WriteBytes(folder / "out.csv", "secret");
    ::chmod((folder / "out.csv").c_str(), 0600);
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const std::string directory = folder.Path().string();
    const pid_t watcher = ::fork();
    if (watcher == 0) {
        ::close(report[0]);
        if (::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
        char opened = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end && opened == 0) {
            for (const auto& entry : std::filesystem::directory_iterator(directory)) {
                if (entry.path().filename() == "in.csv" || entry.path().filename() == "stop") continue;
                const int fd = ::open(entry.path().c_str(), O_RDONLY);
                if (fd >= 0) opened = 1;
            }
            if (::access((directory + "/stop").c_str(), F_OK) == 0) break;
        }
        if (::write(report[1], &opened, 1) != 1) ::_exit(3);
        ::_exit(0);
    }
    ::close(report[1]);
    for (int run = 0; run < 3; ++run)
        Convert(folder);
    WriteBytes(folder / "stop", "");
    char opened = 1;
    EXPECT_EQ(::read(report[0], &opened, 1), 1);
    ::close(report[0]);
    int status = 0;
    ::waitpid(watcher, &status, 0);
    EXPECT_EQ(opened, 0) << "nobody opened a file beside the private target";
    EXPECT_EQ(StatOf(folder / "out.csv").st_mode & 07777, 0600u);
}

// ----------------------------------------------------------------- signals

struct TSignalCase {
    const char* Name;
    int Signal;
};

class Interrupted : public ::testing::TestWithParam<TSignalCase> {};

// The signal comes at a random moment of a conversion of some tens of MB
// (before the program has started, while it reads, writes, or commits):
// either the run finished and the target is the new one, or it stopped and
// the target is byte for byte the old one, with 128 + the signal as status.
// No temporary file is ever left.
TEST_P(Interrupted, AtRandomMomentsLeaveTheOldFileOrTheNewOne) {
    constexpr int kRuns = 50;
    TTempDir folder;
    // A wider row near the end makes some runs start over in a second file.
    WriteBytes(folder / "in.csv", BigSource(300'000 / kScale) + "x,y,z,w,v,u\r\n");
    const std::string old = "the old target\r\n";
    WriteBytes(folder / "out.csv", old);
    // How long a whole run takes, the shorter of two (the machine is shared).
    double seconds = 1e9;
    for (int run = 0; run < 2; ++run) {
        const auto started = std::chrono::steady_clock::now();
        Convert(folder);
        seconds = std::min(seconds,
                           std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
    const std::string converted = ReadBytes(folder / "out.csv");

    std::mt19937 random(static_cast<unsigned>(GetParam().Signal) * 7919u);
    std::uniform_real_distribution<double> moment(0, seconds * 1.1);
    int stopped = 0;
    for (int run = 0; run < kRuns; ++run) {
        WriteBytes(folder / "out.csv", old);
        TChildProcess child(kCli, {"/source:in.csv", "/target:out.csv", "/quote:0"}, folder.Path());
        std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
        child.Signal(GetParam().Signal);
        const int status = child.Wait();
        if (status == 0) {
            EXPECT_TRUE(ReadBytes(folder / "out.csv") == converted) << "run " << run;
        } else {
            ++stopped;
            EXPECT_EQ(status, 128 + GetParam().Signal) << "run " << run << ": " << child.Err();
            EXPECT_EQ(ReadBytes(folder / "out.csv"), old) << "run " << run;
        }
        ASSERT_EQ(folder.Listing(), "in.csv out.csv") << "run " << run;
    }
    // The moments are spread over the whole run: many runs are stopped.
    EXPECT_GT(stopped, kRuns / 5);
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted,
                         ::testing::Values(TSignalCase{"Interrupt", SIGINT},
                                           TSignalCase{"Terminate", SIGTERM}, TSignalCase{"HangUp", SIGHUP}),
                         [](const auto& info) { return std::string(info.param.Name); });

// Even SIGKILL, which no program can catch, leaves no temporary file: it
// has no name until the commit.
TEST(Killed, LeavesNoTemporaryFile) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", BigSource(300'000 / kScale));
    WriteBytes(folder / "out.csv", "old");
    std::mt19937 random(9);
    std::uniform_int_distribution<int> moment(0, 150);
    for (int run = 0; run < 10; ++run) {
        TChildProcess child(kCli, {"/source:in.csv", "/target:out.csv", "/quote:0"}, folder.Path());
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        child.Signal(SIGKILL);
        child.Wait();
        EXPECT_EQ(folder.Listing(), "in.csv out.csv") << "run " << run;
    }
}

// Settings and batch files, written by the same code as the window's
// actions: interrupted at random moments, the old file stays or the new
// one is complete.
TEST(Interrupted, SettingsAndBatchWrites) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> moment(0, 4000);
    for (const char* kind : {"settings", "batch"}) {
        TTempDir folder;
        const std::string name = std::string(kind) == "settings" ? "s.qmk" : "run.bat";
        for (int run = 0; run < 20; ++run) {
            const int signal = std::array{SIGINT, SIGTERM, SIGHUP}[static_cast<std::size_t>(run % 3)];
            WriteBytes(folder / name, "old");
            TChildProcess child(kHelper, {kind, name}, folder.Path());
            std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
            child.Signal(signal);
            const int status = child.Wait();
            const std::string bytes = ReadBytes(folder / name);
            if (status == 0)
                EXPECT_NE(bytes, "old") << kind << " run " << run;
            else
                EXPECT_EQ(bytes, "old") << kind << " run " << run << " status " << status;
            ASSERT_EQ(folder.Listing(), name) << kind << " run " << run;
        }
    }
}

// ----------------------------------------------------------- settings files

struct TSettingsCase {
    const char* Name;
    const char* Locale;
    std::string Existing;  // the file before, or empty for a new one
    const char* Source;    // UTF-8
    std::string Starts;    // the bytes the written file begins with
    bool Utf8 = false;     // written in UTF-8: read back here, whatever this process's code page
};

class SettingsEncodings : public ::testing::TestWithParam<TSettingsCase> {};

// Written under a locale, read back (the reader of a UTF-8 file with or
// without mark does not depend on the locale): the path is the same.
TEST_P(SettingsEncodings, PathsSurviveWritingAndReading) {
    TTempDir folder;
    if (!GetParam().Existing.empty()) WriteBytes(folder / "s.qmk", GetParam().Existing);
    TChildProcess child(
        kHelper, {"settings", "s.qmk"}, folder.Path(),
        With(&TChildOptions::Environment,
             std::vector<std::string>{std::string("LC_ALL=") + GetParam().Locale,
                                      std::string("QUILLMARK_TEST_SOURCE=") + GetParam().Source}));
    ASSERT_EQ(child.Wait(), 0) << child.Err();
    const std::string bytes = ReadBytes(folder / "s.qmk");
    EXPECT_TRUE(bytes.starts_with(GetParam().Starts)) << test::Escape(bytes);
    if (GetParam().Utf8) {
        EXPECT_EQ(ReadSettingsFile(folder.File("s.qmk")).SourceFileName, Utf8ToUtf16(GetParam().Source));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locales, SettingsEncodings,
    ::testing::Values(
        // New files: the ANSI code page where it holds the path exactly.
        TSettingsCase{"JapaneseInJapan", "ja_JP.UTF-8", "", "C:\\データ\\入力.csv",
                      "[FILE]\r\nSOURCE=C:\\\x83\x66\x81\x5B\x83\x5E\\\x93\xFC\x97\xCD.csv\r\n"},
        TSettingsCase{"AccentInTheWest", "en_US.UTF-8", "", "C:\\café.csv",
                      "[FILE]\r\nSOURCE=C:\\caf\xE9.csv\r\n"},
        // Otherwise UTF-8 with mark.
        TSettingsCase{"JapaneseInTheWest", "en_US.UTF-8", "", "C:\\データ\\入力.csv",
                      "\xEF\xBB\xBF[FILE]\r\nSOURCE=C:\\データ\\入力.csv\r\n", true},
        TSettingsCase{"EmojiInJapan", "ja_JP.UTF-8", "", "C:\\😀.csv",
                      "\xEF\xBB\xBF[FILE]\r\nSOURCE=C:\\😀.csv\r\n", true},
        TSettingsCase{"BestFitOnlyInTheWest", "en_US.UTF-8", "", "C:\\Ω.csv",
                      "\xEF\xBB\xBF[FILE]\r\nSOURCE=C:\\Ω.csv\r\n", true},
        // An existing ANSI file the path fits stays ANSI; one it does not
        // fit becomes UTF-8 with mark.
        TSettingsCase{"ExistingAnsiStaysAnsi", "ja_JP.UTF-8", "[FILE]\r\nSOURCE=\x93\xFC.csv\r\n", "新.csv",
                      "[FILE]\r\nSOURCE=\x90\x56.csv\r\n"},
        TSettingsCase{"ExistingAnsiTooNarrow", "en_US.UTF-8", "[FILE]\r\nSOURCE=old.csv\r\n", "新.csv",
                      "\xEF\xBB\xBF[FILE]\r\nSOURCE=新.csv\r\n", true},
        // A file saved as UTF-8 without mark by an editor stays so, and the
        // keys this program does not set come through unchanged.
        TSettingsCase{"EditorUtf8", "ja_JP.UTF-8",
                      "[FILE]\r\nSOURCE=東京.csv\r\n[ADDRESS]\r\nPLACE=東京都港区①～②\r\n", "大阪.csv",
                      "[FILE]\r\nSOURCE=大阪.csv\r\nTARGET=C:\\out.csv\r\nENCODING=1\r\n\r\n[ADDRESS]\r\n"
                      "PLACE=東京都港区①～②\r\n",
                      true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SettingsEncodings, EditorUtf8IsReadAsUtf8) {
    TTempDir folder;
    WriteBytes(folder / "s.qmk", "[FILE]\nSOURCE=C:\\東京\\入力.csv\nTARGET=出力.csv\n");
    const TConvertInfo info = ReadSettingsFile(folder.File("s.qmk"));
    EXPECT_EQ(info.SourceFileName, u"C:\\東京\\入力.csv");
    EXPECT_EQ(info.TargetFileName, u"出力.csv");
}

// -------------------------------------------------------------- batch files

struct TBatchCase {
    const char* Name;
    const char* Source;  // UTF-8
    const char* Line;    // what the batch line holds for it
};

class BatchLines : public ::testing::TestWithParam<TBatchCase> {};

TEST_P(BatchLines, PercentSignsAreDoubled) {
    TTempDir folder;
    TChildProcess child(
        kHelper, {"batch", "run.bat"}, folder.Path(),
        With(&TChildOptions::Environment,
             std::vector<std::string>{std::string("QUILLMARK_TEST_SOURCE=") + GetParam().Source}));
    ASSERT_EQ(child.Wait(), 0) << child.Err();
    EXPECT_THAT(ReadBytes(folder / "run.bat"), HasSubstr(GetParam().Line));
}

INSTANTIATE_TEST_SUITE_P(Paths, BatchLines,
                         ::testing::Values(TBatchCase{"Percent", "C:\\reports\\Q1 50%.csv",
                                                      "\"/source:C:\\reports\\Q1 50%%.csv\""},
                                           TBatchCase{"Variable", "%USERNAME%_in.csv",
                                                      "\"/source:%%USERNAME%%_in.csv\""},
                                           TBatchCase{"Argument", "%1%0.csv", "\"/source:%%1%%0.csv\""}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TRefusedCase {
    const char* Name;
    const char* Locale;
    const char* Variable;  // QUILLMARK_TEST_SOURCE=... or QUILLMARK_TEST_TARGET=...
    const char* Shown;     // the path in the message
};

class RefusedBatchPaths : public ::testing::TestWithParam<TRefusedCase> {};

// A best fit or "?" would name another file, a line break would end the
// command early: nothing is written, the message names the path. A shell
// script takes them all.
TEST_P(RefusedBatchPaths, WriteNoBatchFileButAScript) {
    TTempDir folder;
    WriteBytes(folder / "old.bat", "old");
    const TChildOptions options{
        .Environment = {std::string("LC_ALL=") + GetParam().Locale, GetParam().Variable}};
    for (const char* name : {"new.bat", "old.bat"}) {
        TChildProcess child(kHelper, {"batch", name}, folder.Path(), options);
        EXPECT_EQ(child.Wait(), 1) << name;
        EXPECT_EQ(child.Err(), std::string("パス \"") + GetParam().Shown +
                                   "\" にはバッチファイルに書けない文字が含まれています。\n");
    }
    EXPECT_EQ(ReadBytes(folder / "old.bat"), "old");
    EXPECT_EQ(folder.Listing(), "old.bat");
    TChildProcess script(kHelper, {"batch", "run.sh"}, folder.Path(), options);
    EXPECT_EQ(script.Wait(), 0) << script.Err();
}

INSTANTIATE_TEST_SUITE_P(Paths, RefusedBatchPaths,
                         ::testing::Values(TRefusedCase{"AccentInJapan", "ja_JP.UTF-8",
                                                        "QUILLMARK_TEST_SOURCE=C:\\café.csv", "C:\\café.csv"},
                                           TRefusedCase{"JapaneseInTheWest", "en_US.UTF-8",
                                                        "QUILLMARK_TEST_TARGET=C:\\出力.csv", "C:\\出力.csv"},
                                           TRefusedCase{"LineFeed", "ja_JP.UTF-8",
                                                        "QUILLMARK_TEST_SOURCE=C:\\a\n.csv", "C:\\a\n.csv"},
                                           TRefusedCase{"CarriageReturn", "en_US.UTF-8",
                                                        "QUILLMARK_TEST_TARGET=C:\\b\r.csv", "C:\\b\r.csv"}),
                         [](const auto& info) { return std::string(info.param.Name); });

// After the installed program was replaced while it ran, the line names
// where it is installed, not "... (deleted)".
TEST(BatchProgramPath, SurvivesAnUpgradeWhileRunning) {
    TTempDir folder;
    std::filesystem::create_directory(folder / "bin");
    std::filesystem::copy_file(kHelper, folder / "bin" / "helper");
    std::filesystem::permissions(folder / "bin" / "helper", std::filesystem::perms::owner_all);
    for (const char* mode : {"batch-self", "batch-upgraded"}) {
        TChildProcess child(folder / "bin" / "helper", {mode, "run.sh"}, folder.Path());
        ASSERT_EQ(child.Wait(), 0) << child.Err();
        const std::string script = ReadBytes(folder / "run.sh");
        EXPECT_THAT(script, HasSubstr("exec '" + (folder / "bin" / "helper").string() + "' ")) << mode;
        EXPECT_THAT(script, ::testing::Not(HasSubstr("deleted"))) << mode;
    }
}

TEST(BatchScriptMode, FollowsTheUmaskAndIsKeptWhenReplaced) {
    TTempDir folder;
    TChildProcess created(kHelper, {"batch", "run.sh"}, folder.Path(), With(&TChildOptions::Umask, 027));
    ASSERT_EQ(created.Wait(), 0) << created.Err();
    EXPECT_EQ(StatOf(folder / "run.sh").st_mode & 07777, 0750u);
    ::chmod((folder / "run.sh").c_str(), 0700);
    TChildProcess replaced(kHelper, {"batch", "run.sh"}, folder.Path(), With(&TChildOptions::Umask, 0));
    ASSERT_EQ(replaced.Wait(), 0) << replaced.Err();
    EXPECT_EQ(StatOf(folder / "run.sh").st_mode & 07777, 0700u);
    EXPECT_EQ(folder.Listing(), "run.sh");
}

}  // namespace
}  // namespace quillmark

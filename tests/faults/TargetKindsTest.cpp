// Targets and sources that are not plain files: the process's own
// descriptors, pipes, FIFOs, devices, links, /proc files and paths longer
// than the system takes. Each run is a real quillmark-cli process; every
// link the program is pointed at lives in the test's own folder.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

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
using ::testing::StartsWith;

const std::filesystem::path kCli = QUILLMARK_CLI_PATH;
const std::filesystem::path kHelper = QUILLMARK_FAULT_HELPER_PATH;

constexpr const char* kSmall = "a,b\r\nc,d\r\n";
constexpr const char* kSmallQuoted = "\"a\",b\r\n\"c\",d\r\n";

// Rows of two fields, then one wider row at the end: the width is known
// only once the file has been read.
std::string LateWiderRow(std::size_t rows) {
    std::string text;
    for (std::size_t i = 0; i < rows; ++i)
        text += std::to_string(i) + ",value\r\n";
    return text + "x,y,z\r\n";
}

// ASCII rows, then one byte from 0x80 up that no detected encoding takes:
// the file is taken byte by byte.
std::string LateHighByte(std::size_t rows) {
    std::string text;
    for (std::size_t i = 0; i < rows; ++i)
        text += std::to_string(i) + ",value\r\n";
    return text + "\xFF\xFE\x81,z\r\n";
}

int OpenOrDie(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot open " + path.string());
    return fd;
}

bool IsLink(const std::filesystem::path& path) {
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path));
}

// The folder's link "target.csv" to `linkTo`; "stdout-link" is a further
// link in the folder, to /dev/stdout.
void MakeTargetLink(const TTempDir& folder, const char* linkTo) {
    if (std::string_view(linkTo) == "stdout-link")
        std::filesystem::create_symlink("/dev/stdout", folder / linkTo);
    std::filesystem::create_symlink(linkTo, folder / "target.csv");
}

// What the program writes into an ordinary new file for `source`.
std::string ConvertToFile(const TTempDir& folder, const std::string& source,
                          const std::vector<std::string>& more = {}) {
    WriteBytes(folder / "reference-in.csv", source);
    std::vector<std::string> arguments = {"/source:reference-in.csv", "/target:reference-out.csv"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    TChildProcess child(kCli, arguments, folder.Path());
    EXPECT_EQ(child.Wait(), 0) << child.Err();
    std::string bytes = ReadBytes(folder / "reference-out.csv");
    std::filesystem::remove(folder / "reference-in.csv");
    std::filesystem::remove(folder / "reference-out.csv");
    return bytes;
}

// ------------------------------------------------------ the process's descriptors

struct TDescriptorCase {
    const char* Name;
    const char* LinkTo;  // what the folder's link "target.csv" points to
};

class DescriptorTargets : public ::testing::TestWithParam<TDescriptorCase> {};

// `quillmark-cli ... /target:/dev/stdout >> log.txt` appends to the log.
TEST_P(DescriptorTargets, AppendToALogKeepingItsLines) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    WriteBytes(folder / "log.txt", "line 1\nline 2\n");
    MakeTargetLink(folder, GetParam().LinkTo);
    const int log = OpenOrDie(folder / "log.txt", O_WRONLY | O_APPEND);
    TChildProcess child(kCli, {"/source:in.csv", "/target:target.csv", "/quote:0"}, folder.Path(),
                        With(&TChildOptions::Stdout, log));
    ::close(log);
    ASSERT_EQ(child.Wait(), 0) << child.Err();
    EXPECT_EQ(ReadBytes(folder / "log.txt"), std::string("line 1\nline 2\n") + kSmallQuoted);
    EXPECT_TRUE(IsLink(folder / "target.csv"));
    EXPECT_THAT(folder.Listing(),
                ::testing::AnyOf("in.csv log.txt target.csv", "in.csv log.txt stdout-link target.csv"));
}

// `{ echo HEAD; quillmark-cli ... /target:/dev/stdout; echo FOOT; } > out.txt`:
// the program writes at the descriptor's position, shared with the others.
TEST_P(DescriptorTargets, WriteAtTheSharedPosition) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    MakeTargetLink(folder, GetParam().LinkTo);
    const int out = OpenOrDie(folder / "out.txt", O_WRONLY | O_CREAT | O_TRUNC);
    ASSERT_EQ(::write(out, "HEAD\n", 5), 5);
    {
        TChildProcess child(kCli, {"/source:in.csv", "/target:target.csv", "/quote:0"}, folder.Path(),
                            With(&TChildOptions::Stdout, out));
        ASSERT_EQ(child.Wait(), 0) << child.Err();
    }
    ASSERT_EQ(::write(out, "FOOT\n", 5), 5);
    ::close(out);
    EXPECT_EQ(ReadBytes(folder / "out.txt"), std::string("HEAD\n") + kSmallQuoted + "FOOT\n");
}

INSTANTIATE_TEST_SUITE_P(Links, DescriptorTargets,
                         ::testing::Values(TDescriptorCase{"DevStdout", "/dev/stdout"},
                                           TDescriptorCase{"DevFd", "/dev/fd/1"},
                                           TDescriptorCase{"ProcSelfFd", "/proc/self/fd/1"},
                                           TDescriptorCase{"ThroughAnotherLink", "stdout-link"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(DescriptorTargetsClosed, ClosedDescriptorIsACreateErrorAndNothingIsReplaced) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    // A descriptor under /proc: a fault would try to create a file where
    // none can be.
    std::filesystem::create_symlink("/proc/self/fd/1", folder / "target.csv");
    TChildProcess child(kCli, {"/source:in.csv", "/target:target.csv"}, folder.Path(),
                        With(&TChildOptions::CloseStdout, true));
    EXPECT_EQ(child.Wait(), 1);
    EXPECT_THAT(child.Err(), HasSubstr("を作成できません。"));
    EXPECT_TRUE(IsLink(folder / "target.csv"));
    EXPECT_EQ(folder.Listing(), "in.csv target.csv");
}

// ------------------------------------------------------------ pipes and FIFOs

// Reads everything that arrives at `fd` (blocking or not) until the child
// has ended; an end of file before that (a FIFO not yet opened by the
// program) is no end.
std::string ReadWhileRunning(int fd, TChildProcess& child, int& status) {
    std::string bytes;
    std::atomic<bool> ended{false};
    std::thread reader([&] {
        char buffer[65536];
        for (;;) {
            const bool last = ended.load();
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0) {
                bytes.append(buffer, static_cast<std::size_t>(got));
            } else if (got < 0 && errno == EINTR) {
            } else if (last) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    });
    status = child.Wait();
    ended = true;
    reader.join();
    return bytes;
}

struct TPipeCase {
    const char* Name;
    std::string Source;
    std::vector<std::string> Arguments;
};

class PipeTargets : public ::testing::TestWithParam<TPipeCase> {};

// A wider row late in the file, or a late byte from 0x80 up in a file taken
// byte by byte, once restarted the conversion after its first bytes were
// already in the pipe. They arrive once, as a file would hold them.
TEST_P(PipeTargets, StandardOutputPipeGetsTheOutputOnce) {
    TTempDir folder;
    const std::string expected = ConvertToFile(folder, GetParam().Source, GetParam().Arguments);
    WriteBytes(folder / "in.csv", GetParam().Source);
    std::filesystem::create_symlink("/dev/stdout", folder / "target.csv");
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    std::vector<std::string> arguments = {"/source:in.csv", "/target:target.csv"};
    arguments.insert(arguments.end(), GetParam().Arguments.begin(), GetParam().Arguments.end());
    TChildProcess child(kCli, arguments, folder.Path(), With(&TChildOptions::Stdout, pipe[1]));
    ::close(pipe[1]);
    int status = -1;
    const std::string got = ReadWhileRunning(pipe[0], child, status);
    ::close(pipe[0]);
    EXPECT_EQ(status, 0) << child.Err();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST_P(PipeTargets, FifoWithAReaderGetsTheOutputOnce) {
    TTempDir folder;
    const std::string expected = ConvertToFile(folder, GetParam().Source, GetParam().Arguments);
    WriteBytes(folder / "in.csv", GetParam().Source);
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    // The reader is there before the program opens the FIFO.
    const int reader = OpenOrDie(folder / "fifo", O_RDONLY | O_NONBLOCK);
    std::vector<std::string> arguments = {"/source:in.csv", "/target:fifo"};
    arguments.insert(arguments.end(), GetParam().Arguments.begin(), GetParam().Arguments.end());
    TChildProcess child(kCli, arguments, folder.Path());
    int status = -1;
    const std::string got = ReadWhileRunning(reader, child, status);
    ::close(reader);
    EXPECT_EQ(status, 0) << child.Err();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(folder.Listing(), "fifo in.csv");
}

INSTANTIATE_TEST_SUITE_P(
    Sources, PipeTargets,
    ::testing::Values(TPipeCase{"LateWiderRow", LateWiderRow(300000), {"/quote:1"}},
                      TPipeCase{"LateHighByte", LateHighByte(300000), {"/quote:0", "/encoding:1"}},
                      TPipeCase{"LateHighByteAnsi", LateHighByte(300000), {"/quote:1", "/encoding:0"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(FifoTargets, WithoutAReaderIsACreateErrorNotAHang) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    TChildProcess child(kCli, {"/source:in.csv", "/target:fifo"}, folder.Path());
    EXPECT_EQ(child.Wait(20), 1);
    EXPECT_THAT(child.Err(), HasSubstr("fifo\" を作成できません。"));
}

TEST(FifoTargets, ReaderThatLeavesEndsTheRunWithAWriteError) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", LateWiderRow(2'000'000));
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const int reader = OpenOrDie(folder / "fifo", O_RDONLY | O_NONBLOCK);
    TChildProcess child(kCli, {"/source:in.csv", "/target:fifo"}, folder.Path());
    // Leave once the first bytes are there.
    char byte;
    for (int i = 0; i < 20000 && ::read(reader, &byte, 1) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::close(reader);
    EXPECT_EQ(child.Wait(30), 1);
    EXPECT_THAT(child.Err(), HasSubstr("に書き込めません。"));
}

// Waits until the pipe whose reading end is `reader` holds `bytes`.
bool WaitForBytes(int reader, int bytes) {
    for (int i = 0; i < 20000; ++i) {
        int held = 0;
        if (::ioctl(reader, FIONREAD, &held) == 0 && held >= bytes) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

class StalledReaders : public ::testing::TestWithParam<int> {};

// A pipe or FIFO whose reader reads nothing holds the writing thread in a
// write: the first request to stop ends the run (its own status, nothing
// printed), wherever it lands, not only a second one that kills it.
TEST_P(StalledReaders, FirstInterruptEndsTheRun) {
    const int signal = GetParam();
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "standard output");
        TTempDir folder;
        WriteBytes(folder / "in.csv", LateWiderRow(2'000'000));
        int reader = -1;
        std::unique_ptr<TChildProcess> child;
        if (fifo) {
            ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
            reader = OpenOrDie(folder / "fifo", O_RDONLY | O_NONBLOCK);
            child = std::make_unique<TChildProcess>(
                kCli, std::vector<std::string>{"/source:in.csv", "/target:fifo"}, folder.Path());
        } else {
            std::filesystem::create_symlink("/dev/stdout", folder / "out.csv");
            int pipe[2];
            ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
            reader = pipe[0];
            child = std::make_unique<TChildProcess>(
                kCli, std::vector<std::string>{"/source:in.csv", "/target:out.csv"}, folder.Path(),
                With(&TChildOptions::Stdout, pipe[1]));
            ::close(pipe[1]);
        }
        // The pipe is full: the program waits in a write.
        ASSERT_TRUE(WaitForBytes(reader, 65536));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        child->Signal(signal);
        EXPECT_EQ(child->Wait(20), 128 + signal);
        EXPECT_EQ(child->Err(), "");
        ::close(reader);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, StalledReaders, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

// A settings file that is a FIFO or a device is not waited on or read
// forever: it cannot be opened as a settings file.
TEST(SettingsFileKinds, FifoAndDeviceAreOpenErrors) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    ASSERT_EQ(::mkfifo((folder / "fifo.qmk").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder / "zero.qmk");
    for (const char* settings : {"fifo.qmk", "zero.qmk"}) {
        TChildProcess child(kCli, {settings, "/source:in.csv", "/target:out.csv"}, folder.Path());
        EXPECT_EQ(child.Wait(20), 0) << settings;  // the switches still convert
        EXPECT_THAT(child.Err(), HasSubstr(std::string(settings) + " は開けません。")) << settings;
        std::filesystem::remove(folder / "out.csv");
    }
    // The writer loads an existing file first: the same error, nothing written.
    TChildProcess writer(kHelper, {"settings", "fifo.qmk"}, folder.Path());
    EXPECT_EQ(writer.Wait(20), 1);
    EXPECT_THAT(writer.Err(), HasSubstr("は開けません。"));
    EXPECT_EQ(folder.Listing(), "fifo.qmk in.csv zero.qmk");
}

// ------------------------------------------------------------------- links

TEST(LinkTargets, DanglingLinkCreatesTheFileItNamesAndStays) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    std::filesystem::create_directory(folder / "sub");
    std::filesystem::create_symlink("sub/real.csv", folder / "link.csv");
    TChildProcess child(kCli, {"/source:in.csv", "/target:link.csv", "/quote:0"}, folder.Path());
    ASSERT_EQ(child.Wait(), 0) << child.Err();
    EXPECT_TRUE(IsLink(folder / "link.csv"));
    EXPECT_EQ(ReadBytes(folder / "sub/real.csv"), kSmallQuoted);
    EXPECT_EQ(folder.Listing(), "in.csv link.csv sub");
}

TEST(LinkTargets, ChainOfLinksReplacesTheFileAtItsEnd) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    WriteBytes(folder / "real.csv", "old");
    std::filesystem::create_symlink(folder / "real.csv", folder / "first.csv");
    std::filesystem::create_symlink("first.csv", folder / "second.csv");
    TChildProcess child(kCli, {"/source:in.csv", "/target:second.csv", "/quote:0"}, folder.Path());
    ASSERT_EQ(child.Wait(), 0) << child.Err();
    EXPECT_TRUE(IsLink(folder / "first.csv"));
    EXPECT_TRUE(IsLink(folder / "second.csv"));
    EXPECT_EQ(ReadBytes(folder / "real.csv"), kSmallQuoted);
    EXPECT_EQ(folder.Listing(), "first.csv in.csv real.csv second.csv");
}

TEST(LinkTargets, LoopAndMissingFolderAreCreateErrors) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    std::filesystem::create_symlink("b.csv", folder / "a.csv");
    std::filesystem::create_symlink("a.csv", folder / "b.csv");
    std::filesystem::create_symlink("none/x.csv", folder / "c.csv");
    for (const char* target : {"a.csv", "c.csv"}) {
        TChildProcess child(kCli, {"/source:in.csv", std::string("/target:") + target}, folder.Path());
        EXPECT_EQ(child.Wait(), 1) << target;
        EXPECT_THAT(child.Err(), HasSubstr(std::string(target) + "\" を作成できません。")) << target;
    }
    EXPECT_TRUE(IsLink(folder / "a.csv"));
    EXPECT_TRUE(IsLink(folder / "b.csv"));
    EXPECT_EQ(folder.Listing(), "a.csv b.csv c.csv in.csv");
}

// ------------------------------------------------------------------ sources

TEST(SourceKinds, ProcFileIsReadToItsEnd) {
    TTempDir folder;
    std::filesystem::create_symlink("/proc/self/mounts", folder / "mounts.csv");
    WriteBytes(folder / "out.csv", "old");
    TChildProcess child(kCli, {"/source:mounts.csv", "/target:out.csv", "/encoding:1"}, folder.Path());
    ASSERT_EQ(child.Wait(), 0) << child.Err();
    const std::string out = ReadBytes(folder / "out.csv");
    // Every mount is a line; the root file system is among them.
    EXPECT_GT(out.size(), 20u);
    EXPECT_THAT(out, HasSubstr(" / "));
    EXPECT_TRUE(out.ends_with("\r\n"));
}

TEST(SourceKinds, DevicesSocketsAndFifosAreReadFailures) {
    TTempDir folder;
    std::filesystem::create_symlink("/dev/zero", folder / "zero.csv");
    std::filesystem::create_symlink("/dev/urandom", folder / "random.csv");
    ASSERT_EQ(::mkfifo((folder / "fifo.csv").c_str(), 0600), 0);
    test::TUnixSocket socket(folder / "socket.csv");
    WriteBytes(folder / "out.csv", "old");
    for (const char* source : {"zero.csv", "random.csv", "fifo.csv", "socket.csv"}) {
        TChildProcess child(kCli, {std::string("/source:") + source, "/target:out.csv"}, folder.Path());
        EXPECT_EQ(child.Wait(20), 1) << source;
        EXPECT_EQ(child.Err(), "CSVファイルの読み込みに失敗しました。\n") << source;
        EXPECT_EQ(ReadBytes(folder / "out.csv"), "old") << source;
    }
    EXPECT_EQ(folder.Listing(), "fifo.csv out.csv random.csv socket.csv zero.csv");
}

// ------------------------------------------------------------- long paths

TEST(LongPaths, AreRefusedWithTheCreateOrOpenMessage) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", kSmall);
    const std::string longName(5000, 'x');
    TChildProcess target(kCli, {"/source:in.csv", "/target:" + longName}, folder.Path());
    EXPECT_EQ(target.Wait(), 1);
    EXPECT_THAT(target.Err(), HasSubstr(longName + "\" を作成できません。"));
    // A source name no file can have is not looked for: it cannot be opened.
    TChildProcess source(kCli, {"/source:" + longName, "/target:out.csv"}, folder.Path());
    EXPECT_EQ(source.Wait(), 1);
    EXPECT_THAT(source.Err(), StartsWith("ファイル " + longName + " は開けません。 "));
    // A settings file can hold far more than a command line.
    WriteBytes(folder / "long.qmk",
               "[FILE]\r\nSOURCE=in.csv\r\nTARGET=" + std::string(20'000'000, 'y') + "\r\n");
    TChildProcess settings(kCli, {"long.qmk"}, folder.Path());
    EXPECT_EQ(settings.Wait(), 1);
    EXPECT_THAT(settings.Err(), HasSubstr("\" を作成できません。"));
    EXPECT_EQ(folder.Listing(), "in.csv long.qmk");
}

}  // namespace
}  // namespace quillmark

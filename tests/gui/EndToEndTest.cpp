// Starts the real desktop program offscreen with "/auto".
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/ChildProcess.h"
#include "support/RunProgram.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

TEST(DesktopEndToEnd, AutoRunConvertsAndExits) {
    test::TTempDir folder;
    test::WriteBytes(folder / "in.csv", "\x8E\x81\x96\xBC,\x93\xFA\x95\x74\r\n1,2\r\n");
    const auto result =
        test::RunProgram(QUILLMARK_GUI_PATH, {"/source:in.csv", "/target:out.csv", "/quote:1", "/auto"},
                         folder.Path(), {"QT_QPA_PLATFORM=offscreen", "LC_ALL=ja_JP.UTF-8"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::ReadBytes(folder / "out.csv"), "\x8E\x81\x96\xBC,\"\x93\xFA\x95\x74\"\r\n1,\"2\"\r\n");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

// What the desktop entry's "--open %f" gives the program for a chosen CSV
// file: the file becomes the source, and switches still apply after it.
TEST(DesktopEndToEnd, OpenMakesAFileTheSource) {
    test::TTempDir folder;
    test::WriteBytes(folder / "in.csv", "\x8E\x81\x96\xBC,\x93\xFA\x95\x74\r\n1,2\r\n");
    const auto result = test::RunProgram(
        QUILLMARK_GUI_PATH, {"--open", (folder / "in.csv").string(), "/target:out.csv", "/quote:0", "/auto"},
        folder.Path(), {"QT_QPA_PLATFORM=offscreen", "LC_ALL=ja_JP.UTF-8"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::ReadBytes(folder / "out.csv"), "\"\x8E\x81\x96\xBC\",\x93\xFA\x95\x74\r\n\"1\",2\r\n");
}

// Qt takes its own options out of the command line, with the value after
// them; the program still reads every argument as given, and ignores what
// it does not know.
TEST(DesktopEndToEnd, QtsOptionsDoNotTakeTheProgramsArguments) {
    test::TTempDir folder;
    test::WriteBytes(folder / "in.csv", "a,b\r\n");
    test::WriteBytes(folder / "set.qmk", "[FILE]\r\nSOURCE=in.csv\r\nTARGET=out.csv\r\n[CSV]\r\nCOL=1\r\n");
    for (const char* option : {"-style", "-stylesheet", "-session", "-qwindowtitle"}) {
        std::filesystem::remove(folder / "out.csv");
        test::TChildOptions options;
        options.Environment = {"QT_QPA_PLATFORM=offscreen"};
        test::TChildProcess child(QUILLMARK_GUI_PATH, {option, "set.qmk", "/auto"}, folder.Path(), options);
        // A run that misses the settings stays open on its warning.
        EXPECT_EQ(child.Wait(30), 0) << option << ": " << child.Err();
        EXPECT_EQ(test::ReadBytes(folder / "out.csv"), "a,\"b\"\r\n") << option;
    }
}

// The desktop session ending (SIGTERM) or a closed terminal (SIGHUP) at
// moments spread over an automatic run: a run that was stopped left the
// target as it was and ends with 128 + the signal, one that had finished
// ends with 0; none leaves a temporary file.
TEST(DesktopEndToEnd, SignalDuringAutoRunLeavesTheTarget) {
    test::TTempDir folder;
    std::string source;
    for (int i = 0; i < 1'000'000; ++i)
        source += std::to_string(i) + ",東京都港区,\"note, with a comma\",abcdefghij\r\n";
    test::WriteBytes(folder / "in.csv", source);
    int stopped = 0;
    for (const int delay : {100, 200, 300, 400}) {
        const int signal = delay % 200 == 0 ? SIGHUP : SIGTERM;
        test::WriteBytes(folder / "out.csv", "precious");
        test::TChildOptions options;
        options.Environment = {"QT_QPA_PLATFORM=offscreen"};
        test::TChildProcess child(QUILLMARK_GUI_PATH,
                                  {"/source:in.csv", "/target:out.csv", "/quote:1", "/encoding:1", "/auto"},
                                  folder.Path(), options);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        child.Signal(signal);
        const int status = child.Wait();
        const std::string target = test::ReadBytes(folder / "out.csv");
        if (status != 0) {
            ++stopped;
            EXPECT_EQ(status, 128 + signal) << child.Err();
            EXPECT_TRUE(target == "precious") << delay << " ms: " << target.size() << " bytes";
        } else {
            // Column 1 gains its quotation marks, column 2 loses those of the source.
            EXPECT_EQ(target.size(), source.size()) << delay << " ms";
        }
        EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    }
    EXPECT_GT(stopped, 0);
}

}  // namespace
}  // namespace quillmark

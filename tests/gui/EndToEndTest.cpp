// Starts the real desktop program offscreen with "/auto".
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillmark

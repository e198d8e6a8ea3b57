#include "settings/BatchFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exception.h"
#include "base/Utf.h"
#include "support/RunProgram.h"
#include "support/TestFiles.h"

// Runs with LC_ALL=ja_JP.UTF-8: the ANSI code page is 932.
namespace quillmark {
namespace {

using test::ReadBytes;
using test::WriteBytes;

struct CommandCase {
    const char* name;
    TConvertInfo info;
    std::u16string line;
};

class BuildBatchCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(BuildBatchCommandTest, BuildsTheLine) {
    EXPECT_EQ(BuildBatchCommand(u"C:\\Tools\\quillmark.exe", GetParam().info), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BuildBatchCommandTest,
    ::testing::Values(
        CommandCase{"Example",
                    {u"C:\\My Data\\in.csv", u"C:\\My Data\\out.csv", 1, {0, 2}, u"ignored.qmk"},
                    u"\"C:\\Tools\\quillmark.exe\" \"/source:C:\\My Data\\in.csv\" "
                    u"\"/target:C:\\My Data\\out.csv\" /encoding:1 \"/quote:0,2\" /auto"},
        CommandCase{"EmptyPathsNoTicks",
                    {u"", u"", 0, {}, u""},
                    u"\"C:\\Tools\\quillmark.exe\" /encoding:0 \"/quote:\" /auto"},
        CommandCase{"NoEncodingSelected",
                    {u"a.csv", u"", -1, {3}, u""},
                    u"\"C:\\Tools\\quillmark.exe\" \"/source:a.csv\" /encoding:-1 \"/quote:3\" /auto"},
        CommandCase{"PercentSignsDoubled",
                    {u"C:\\reports\\Q1 50%.csv", u"%USERNAME%_out.csv", 0, {}, u""},
                    u"\"C:\\Tools\\quillmark.exe\" \"/source:C:\\reports\\Q1 50%%.csv\" "
                    u"\"/target:%%USERNAME%%_out.csv\" /encoding:0 \"/quote:\" /auto"},
        CommandCase{
            "QuotesDoubledTrailingSpaceKept",
            {u"say \"hi\".csv ", u"", 0, {}, u""},
            u"\"C:\\Tools\\quillmark.exe\" \"/source:say \"\"hi\"\".csv \" /encoding:0 \"/quote:\" /auto"}),
    [](const auto& info) { return std::string(info.param.name); });

class WriteBatchFileTest : public ::testing::Test {
  protected:
    test::TTempDir folder;
};

TEST_F(WriteBatchFileTest, BatchFileIsOneAnsiLineWithoutBreak) {
    WriteBytes(folder / "run.bat", "an old, longer batch file\r\n");
    WriteBatchFile(folder.File("run.bat"), u"C:\\q.exe", {u"入力.csv", u"", 1, {0}, u""});
    EXPECT_EQ(ReadBytes(folder / "run.bat"),
              "\"C:\\q.exe\" \"/source:\x93\xFC\x97\xCD.csv\" /encoding:1 \"/quote:0\" /auto");
}

TEST_F(WriteBatchFileTest, FailureLeavesTheOldFile) {
    WriteBytes(folder / "run.bat", "old");
    std::filesystem::create_directory(folder / "dir.bat");
    EXPECT_THROW(WriteBatchFile(folder.File("dir.bat"), u"q", {}), EFCreateError);
    EXPECT_THROW(WriteBatchFile(folder.File("none/run.bat"), u"q", {}), EFCreateError);
    EXPECT_EQ(ReadBytes(folder / "run.bat"), "old");
    EXPECT_EQ(folder.Listing(), "dir.bat run.bat");
}

#if !defined(_WIN32)
// The script, run by /bin/sh, hands a stub program exactly the arguments the
// batch line would, whatever the paths hold.
TEST_F(WriteBatchFileTest, ShellScriptPassesEveryArgumentIntact) {
    const std::string stub = (folder / "stub program's").string();
    WriteBytes(stub, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);

    const std::u16string source = u"/tmp/My Data/it's \"$HOME\" `x` \\n 入力 *.csv";
    const std::u16string target = NativeToUnicode("/tmp/\xFF\xFEraw;&|.csv");
    WriteBatchFile(folder.File("run.SH"), NativeToUnicode(stub), {source, target, 1, {0, 2}, u""});

    const auto permissions = std::filesystem::status(folder / "run.SH").permissions();
    EXPECT_NE(permissions & std::filesystem::perms::owner_exec, std::filesystem::perms::none);
    EXPECT_TRUE(ReadBytes(folder / "run.SH").starts_with("#!/bin/sh\nexec '"));

    const test::TProgramResult result =
        test::RunProgram("/bin/sh", {(folder / "run.SH").string()}, folder.Path());
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "[/source:" + Utf16ToUtf8(source) +
                              "]\n[/target:/tmp/\xFF\xFEraw;&|.csv]\n"
                              "[/encoding:1]\n[/quote:0,2]\n[/auto]\n");
}
#endif

TEST(IsShellScriptNameTest, LooksAtTheEndOnly) {
    EXPECT_TRUE(IsShellScriptName(u"/a/run.sh"));
    EXPECT_TRUE(IsShellScriptName(u"RUN.SH"));
    EXPECT_FALSE(IsShellScriptName(u"run.bat"));
    EXPECT_FALSE(IsShellScriptName(u"run.sh.bat"));
    EXPECT_FALSE(IsShellScriptName(u"sh"));
}

}  // namespace
}  // namespace quillmark

// Inputs at the edges: huge fields, very wide rows, very many lines, broken
// encodings, odd settings files and arguments. A clear result or a clear
// error, never a crash or a hang.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/SettingsFile.h"
#include "support/RunProgram.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::RunProgram;
using test::TTempDir;
using test::WriteBytes;

const std::filesystem::path kCli = QUILLMARK_CLI_PATH;

// Sanitizers make everything slower; the sizes shrink with them.
#if defined(QUILLMARK_SANITIZED)
constexpr std::size_t kScale = 10;
#else
constexpr std::size_t kScale = 1;
#endif

test::TProgramResult Convert(const TTempDir& folder, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = {"/source:in.csv", "/target:out.csv"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return RunProgram(kCli, arguments, folder.Path(), {"LC_ALL=ja_JP.UTF-8", "LC_MESSAGES=C"});
}

TEST(BadInput, HugeQuotedFieldComesThroughWhole) {
    TTempDir folder;
    const std::string value(100'000'000 / kScale, 'x');
    WriteBytes(folder / "in.csv", "\"" + value + "\"\"y\",z\r\n");
    const auto result = Convert(folder, {"/quote:0", "/encoding:1"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_TRUE(ReadBytes(folder / "out.csv") == "\"" + value + "\"\"y\",z\r\n");
}

TEST(BadInput, MillionColumnsAreListedWithoutLettersPastXfd) {
    TTempDir folder;
    std::string row = "x";
    for (std::size_t i = 1; i < 1'000'000 / kScale; ++i)
        row += ",x";
    WriteBytes(folder / "in.csv", row + "\r\n");
    const auto result =
        RunProgram(kCli, {"--list-columns", "/source:in.csv"}, folder.Path(), {"LC_ALL=ja_JP.UTF-8"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(static_cast<std::size_t>(std::count(result.Out.begin(), result.Out.end(), '\n')),
              1'000'000 / kScale);
    EXPECT_NE(result.Out.find("16383\tXFD列（x）\n16384\t列（x）\n"), std::string::npos);
    EXPECT_EQ(Convert(folder, {"/quote:" + std::to_string(1'000'000 / kScale - 1)}).ExitCode, 0);
    EXPECT_TRUE(ReadBytes(folder / "out.csv") == row.substr(0, row.size() - 1) + "\"x\"\r\n");
}

TEST(BadInput, MillionEmptyLinesBeforeARow) {
    TTempDir folder;
    const std::size_t lines = 1'000'000 / kScale;
    WriteBytes(folder / "in.csv", std::string(lines, '\n') + "a,b\n" + std::string(lines, '\n'));
    ASSERT_EQ(Convert(folder, {"/quote:1"}).ExitCode, 0);
    std::string expected;
    for (std::size_t i = 0; i < lines; ++i)
        expected += ",\"\"\r\n";
    EXPECT_TRUE(ReadBytes(folder / "out.csv") == expected + "a,\"b\"\r\n");
}

struct TBrokenCase {
    const char* name;
    std::string source;
    std::string target;  // UTF-8 target, columns 0 and 1 quoted
};

class BrokenEncodings : public ::testing::TestWithParam<TBrokenCase> {};

TEST_P(BrokenEncodings, GiveAClearResult) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", GetParam().source);
    const auto result = Convert(folder, {"/quote:0,1", "/encoding:1"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::Escape(ReadBytes(folder / "out.csv")), test::Escape(GetParam().target));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenEncodings,
    ::testing::Values(
        TBrokenCase{"UnterminatedQuote", "a,\"b,c\nd", "\"a\",\"b,c\nd\"\r\n"},
        TBrokenCase{"Utf16LoneSurrogates",
                    std::string("\xFF\xFE"
                                "a\0,\0\x00\xD8\n\0\x00\xDC",
                                12),
                    "\"a\",\"\xEF\xBF\xBD\"\r\n\"\xEF\xBF\xBD\",\"\"\r\n"},
        TBrokenCase{"Utf32AboveMaximum",
                    std::string("\xFF\xFE\0\0"
                                "a\0\0\0,\0\0\0\0\0\x11\0",
                                16),
                    "\"a\",\"\xEF\xBF\xBD\"\r\n"},
        TBrokenCase{"Utf8Truncated", "\xEF\xBB\xBF\xE3\x81,\xE3", "\"\xEF\xBF\xBD\",\"\xEF\xBF\xBD\"\r\n"},
        TBrokenCase{"ShiftJisTruncated", "\x82\xA0\x82\xA0\x82\xA0\x82\xA0,\x82",
                    "\"\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\",\"\xE3\x83\xBB\"\r\n"},
        TBrokenCase{"EucJpTruncated", "\xA4\xA2\xA4\xA2\xA4\xA2\xA4\xA2,\x8F\xB0",
                    "\"\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\",\"\xEF\xBF\xBD\"\r\n"},
        TBrokenCase{"JisHalfEscape", "\x1B$B$\"\x1B(B,\x1B$", "\"\xE3\x81\x82\",\"\xEF\xBF\xBD\"\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BadInput, ThousandsOfSettingsSections) {
    TTempDir folder;
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    text += "[FILE]\r\nSOURCE=a.csv\r\n";
    WriteBytes(folder / "s.qmk", text);
    EXPECT_EQ(ReadSettingsFile(folder.File("s.qmk")).SourceFileName, u"a.csv");
    WriteSettingsFile({u"b.csv", u"", 0, {}, u""}, folder.File("s.qmk"));
    const std::string saved = ReadBytes(folder / "s.qmk");
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '['), 5002);
    EXPECT_EQ(ReadSettingsFile(folder.File("s.qmk")).SourceFileName, u"b.csv");
}

TEST(BadInput, EveryCharacterNoPathCanHoldIsAnArgumentError) {
    TTempDir folder;
    std::string invalid = "\"<>|";
    for (char c = 1; c < 0x20; ++c)
        invalid.push_back(c);
    for (const char c : invalid) {
        const auto result = RunProgram(kCli, {std::string("x") + c + "y.qmk"}, folder.Path(), {"LC_ALL=C"});
        EXPECT_EQ(result.ExitCode, 2) << static_cast<int>(c);
        EXPECT_EQ(result.Err, "ファイル名に無効な文字が含まれています\n") << static_cast<int>(c);
    }
}

}  // namespace
}  // namespace quillmark

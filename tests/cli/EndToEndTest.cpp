// Runs the built quillmark-cli on files written here and compares exact bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/CodePage.h"
#include "base/Utf.h"
#include "support/ChildProcess.h"
#include "support/RunProgram.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::Escape;
using test::ReadBytes;
using test::RunProgram;
using test::TTempDir;
using test::WriteBytes;

const std::filesystem::path kProgram = QUILLMARK_CLI_PATH;

struct EndToEndCase {
    const char* name;
    std::string locale;  // LC_ALL of the run; it decides the ANSI code page
    std::string source;  // bytes of in.csv
    std::vector<std::string> arguments;
    int exitCode;
    std::string target;  // bytes of out.csv
    std::string err;
};

class EndToEnd : public ::testing::TestWithParam<EndToEndCase> {};

TEST_P(EndToEnd, ConvertsExactly) {
    const EndToEndCase& c = GetParam();
    TTempDir folder;
    WriteBytes(folder / "in.csv", c.source);
    const auto result =
        RunProgram(kProgram, c.arguments, folder.Path(), {"LC_ALL=" + c.locale, "LC_MESSAGES=C"});
    EXPECT_EQ(result.ExitCode, c.exitCode);
    EXPECT_EQ(result.Out, "");
    EXPECT_EQ(result.Err, c.err);
    if (c.exitCode == 0) {
        EXPECT_EQ(Escape(ReadBytes(folder / "out.csv")), Escape(c.target));
        EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    } else {
        EXPECT_EQ(folder.Listing(), "in.csv");
    }
}

const std::vector<std::string> kInOut = {"/source:in.csv", "/target:out.csv"};

std::vector<std::string> With(std::vector<std::string> more) {
    std::vector<std::string> arguments = kInOut;
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, EndToEnd,
    ::testing::Values(
        EndToEndCase{"ShiftJisToAnsi932", "ja_JP.UTF-8",
                     "\x8E\x81\x96\xBC,\x93\xFA\x95\x74\r\n\x8E\x52\x93\x63,\"1,2\"\r\n", With({"/quote:0"}),
                     0, "\"\x8E\x81\x96\xBC\",\x93\xFA\x95\x74\r\n\"\x8E\x52\x93\x63\",1,2\r\n", ""},
        EndToEndCase{"ShiftJisToUtf8", "ja_JP.UTF-8", "\x82\xA0,\x81\x60\n",
                     With({"/encoding:1", "/quote:1"}), 0, "\xE3\x81\x82,\"\xEF\xBD\x9E\"\r\n", ""},
        EndToEndCase{"Utf8BomToAnsi932", "ja_JP.UTF-8", "\xEF\xBB\xBFx,\xE3\x81\x82\n", With({}), 0,
                     "x,\x82\xA0\r\n", ""},
        EndToEndCase{"EucJpWaveDash", "ja_JP.UTF-8", "\xA4\xA2,\xA1\xC1\n", With({"/encoding:1"}), 0,
                     "\xE3\x81\x82,\xEF\xBD\x9E\r\n", ""},
        EndToEndCase{"Utf16LeWithMark", "ja_JP.UTF-8",
                     std::string("\xFF\xFE"
                                 "a\0,\0b\0\n\0",
                                 10),
                     With({"/quote:0,1", "/encoding:1"}), 0, "\"a\",\"b\"\r\n", ""},
        EndToEndCase{"Latin1LocaleIs1252", "de_DE.UTF-8", "\xC3\xA9,\xE3\x81\x82\n", With({}), 0,
                     "\xE9,?\r\n", ""},
        EndToEndCase{"CLocaleIs1252", "C", "\xE2\x88\x92\n", With({}), 0, "-\r\n", ""},
        // 1252 writes U+FF02 and U+02BA as quotation marks: doubled in a
        // quoted field, as they were read in the others.
        EndToEndCase{"MarkStandInsDoubledWhenQuotedUtf8", "C",
                     "\xEF\xBB\xBF\xEF\xBC\x82x\xCA\xBA,\xEF\xBC\x82y\n", With({"/quote:0"}), 0,
                     "\"\"\"x\"\"\",\"y\r\n", ""},
        EndToEndCase{"MarkStandInsDoubledWhenQuotedUtf16", "C",
                     std::string("\xFF\xFE\x02\xFFx\0,\0\x02\xFFy\0\n\0", 14), With({"/quote:0"}), 0,
                     "\"\"\"x\",\"y\r\n", ""},
        EndToEndCase{"LaterSwitchesWin", "C", "a,b\n", With({"/quote:0", "/quote:1", "/target:out.csv"}), 0,
                     "a,\"b\"\r\n", ""},
        EndToEndCase{"AutoIsAccepted", "C", "a\n", With({"/AUTO"}), 0, "a\r\n", ""},
        // Ticks past the widest row are never written, quoted or not.
        EndToEndCase{"TicksPastTheLastColumn", "C", "a,b\nc\n", With({"/quote:1,2,99"}), 0,
                     "a,\"b\"\r\nc,\"\"\r\n", ""},
        EndToEndCase{"NegativeTickTicksNothing", "C", "a,b\n", With({"/quote:-1,1"}), 0, "a,b\r\n", ""},
        EndToEndCase{"MissingSource",
                     "C",
                     "a\n",
                     {"/source:gone.csv", "/target:out.csv"},
                     1,
                     "",
                     "変換元CSVファイルが見つかりません。\n"},
        EndToEndCase{"BadArgument", "C", "a\n", With({"what?<"}), 2, "",
                     "ファイル名に無効な文字が含まれています\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every character of 932 in a fresh process, where none is known yet: each
// is met first among characters not met before, then again among known ones.
TEST(EndToEndLongText, EveryShiftJisCharacterConvertsAsTheCodePageReadsIt) {
    std::string pairs;
    for (unsigned lead = 0x81; lead <= 0xFC; lead = lead == 0x9F ? 0xE0 : lead + 1) {
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            // Only what reads as one character other than the default one.
            const std::u16string read = *MultiByteToWideChar(932, pair);
            if (trail != 0x7F && read.size() == 1 && read != u"\u30FB") pairs += pair;
        }
    }
    std::string source;
    for (int round = 0; round < 2; ++round) {
        for (std::size_t at = 0; at < pairs.size(); at += 80)
            source += "a," + pairs.substr(at, 80) + ",\xB1\r\n";
    }
    TTempDir folder;
    WriteBytes(folder / "in.csv", source);
    const auto result =
        RunProgram(kProgram, With({"/encoding:1"}), folder.Path(), {"LC_ALL=ja_JP.UTF-8", "LC_MESSAGES=C"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_TRUE(ReadBytes(folder / "out.csv") == Utf16ToUtf8(*MultiByteToWideChar(932, source)));
}

// Every character of three bytes in UTF-8 into 932 in a fresh process,
// where none is known yet: met first among characters not met before, then
// again among known ones.
TEST(EndToEndLongText, EveryThreeByteCharacterConvertsAsTheCodePageWritesIt) {
    std::u16string characters;
    for (char32_t unit = 0x800; unit <= 0xFFFF; ++unit)
        if (unit < 0xD800 || unit > 0xDFFF) characters.push_back(static_cast<char16_t>(unit));
    std::u16string text;
    for (int round = 0; round < 2; ++round) {
        for (std::size_t at = 0; at < characters.size(); at += 40)
            text += u"a," + characters.substr(at, 40) + u"\r\n";
    }
    TTempDir folder;
    WriteBytes(folder / "in.csv", Utf16ToUtf8(text));
    const auto result =
        RunProgram(kProgram, With({"/encoding:0"}), folder.Path(), {"LC_ALL=ja_JP.UTF-8", "LC_MESSAGES=C"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_TRUE(ReadBytes(folder / "out.csv") == *WideCharToMultiByte(932, text));
}

TEST(EndToEndFailures, FullDiskKeepsTheOldTarget) {
    TTempDir folder;
    std::string source;
    for (int i = 0; i < 10000; ++i)
        source += "some,row," + std::to_string(i) + "\n";
    WriteBytes(folder / "in.csv", source);
    WriteBytes(folder / "out.csv", "precious");
    // ulimit -f counts blocks of 512 bytes: the write fails after 4 KiB.
    const auto result = RunProgram(
        "/bin/sh", {"-c", "ulimit -f 8; exec \"$0\" /source:in.csv /target:out.csv", kProgram.string()},
        folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err,
              "ファイル \"" + (folder / "out.csv").string() + "\" に書き込めません。File too large\n");
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

// Devices are reached through links in the test's folder: a fault that
// replaced the target would replace the link, not the device.
TEST(EndToEndFailures, DeviceTargetsAreWrittenDirectly) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\n");
    std::filesystem::create_symlink("/dev/stdout", folder / "stdout.csv");
    std::filesystem::create_symlink("/dev/full", folder / "full.csv");
    auto result = RunProgram(kProgram, {"/source:in.csv", "/target:stdout.csv", "/quote:0"}, folder.Path(),
                             {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Out, "\"a\",b\r\n");

    result = RunProgram(kProgram, {"/source:in.csv", "/target:full.csv"}, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Err, "ファイル \"" + (folder / "full.csv").string() +
                              "\" に書き込めません。No space left on device\n");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "stdout.csv"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "full.csv"));
}

// A settings file on the command line, with switches laid over it.
struct SettingsFileCase {
    const char* name;
    std::vector<std::string> switches;
    std::string target;
};

class EndToEndSettingsFile : public ::testing::TestWithParam<SettingsFileCase> {};

TEST_P(EndToEndSettingsFile, SwitchesWinOverTheFile) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b,c\n");
    WriteBytes(folder / "s.QMK",
               "[FILE]\r\nSOURCE=in.csv\r\nTARGET=out.csv\r\nENCODING=1\r\n[CSV]\r\nCOL=0\r\n");
    std::vector<std::string> arguments = {"s.QMK"};
    arguments.insert(arguments.end(), GetParam().switches.begin(), GetParam().switches.end());
    const auto result = RunProgram(kProgram, arguments, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(ReadBytes(folder / "out.csv"), GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Layering, EndToEndSettingsFile,
    ::testing::Values(SettingsFileCase{"FileOnly", {}, "\"a\",b,c\r\n"},
                      SettingsFileCase{"QuoteAddsTicks", {"/quote:2"}, "\"a\",b,\"c\"\r\n"},
                      SettingsFileCase{"SourceDropsTheFilesTicks", {"/source:in.csv"}, "a,b,c\r\n"},
                      SettingsFileCase{"SourceAndQuote", {"/quote:1", "/source:in.csv"}, "a,\"b\",c\r\n"},
                      SettingsFileCase{"NegativeEncodingKeepsTheFiles", {"/encoding:-1"}, "\"a\",b,c\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EndToEndFailures, UnreadableSettingsFileIsReportedAndTheRunGoesOn) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a\n");
    const test::TUnixSocket socket(folder / "s.qmk");
    const auto result = RunProgram(kProgram, {"s.qmk", "/source:in.csv", "/target:out.csv"}, folder.Path(),
                                   {"LC_ALL=C", "LC_MESSAGES=C"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Err,
              "ファイル " + (folder / "s.qmk").string() + " は開けません。 No such device or address \n");
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "a\r\n");
}

// The system's text comes in the user's language: in Japanese, whatever
// character set the program itself runs in.
TEST(EndToEndFailures, SystemTextOfAFailureIsInTheUsersLanguage) {
    const locale_t japanese = ::newlocale(LC_ALL_MASK, "ja_JP.UTF-8", locale_t{});
    if (japanese == locale_t{}) GTEST_SKIP() << "no ja_JP.UTF-8 locale";
    const std::string text = ::strerror_l(ENOENT, japanese);
    ::freelocale(japanese);
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a\n");
    for (const std::string ctype : {"C", "ja_JP.UTF-8"}) {
        const auto result = RunProgram(kProgram, {"/source:in.csv", "/target:gone/out.csv"}, folder.Path(),
                                       {"LC_ALL=", "LC_CTYPE=" + ctype, "LC_MESSAGES=ja_JP.UTF-8"});
        EXPECT_EQ(result.ExitCode, 1) << ctype;
        EXPECT_EQ(result.Err,
                  "ファイル \"" + (folder / "gone/out.csv").string() + "\" を作成できません。" + text + "\n")
            << ctype;
    }
}

TEST(EndToEndListColumns, PrintsTheNumberedColumnListAndConvertsNothing) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "\x96\xBC\x91\x4F,\x93\xFA\x95\x74\r\n1,2,3\r\n");
    const auto result = RunProgram(kProgram, {"--list-columns", "/source:in.csv", "/target:out.csv", "/auto"},
                                   folder.Path(), {"LC_ALL=ja_JP.UTF-8"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Out, "0\tA列（名前）\n1\tB列（日付）\n2\tC列（）\n");
    EXPECT_EQ(folder.Listing(), "in.csv");
    const auto missing =
        RunProgram(kProgram, {"--list-columns", "/source:gone.csv"}, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_EQ(missing.Err, "変換元CSVファイルが見つかりません。\n");
}

TEST(EndToEndListColumns, WithoutASourceSaysSo) {
    TTempDir folder;
    const auto result = RunProgram(kProgram, {"--list-columns"}, folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out, "");
    EXPECT_EQ(result.Err, "変換元CSVファイルが見つかりません。\n");
}

// What goes to the standard output must arrive whole: a closed output, or a
// pipe whose reader is gone, fails the run with a message.
TEST(EndToEndOutput, OutputThatCannotBeWrittenFailsTheRun) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\r\n1,2\r\n");
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--list-columns", "/source:in.csv"}, {"--check", "/source:in.csv"}, {"--version"}}) {
        for (const bool closed : {true, false}) {
            int ends[2];
            ASSERT_EQ(::pipe(ends), 0);
            ::close(ends[0]);
            test::TChildOptions options;
            options.CloseStdout = closed;
            options.Stdout = ends[1];
            test::TChildProcess child(kProgram, arguments, folder.Path(), options);
            const int status = child.Wait();
            ::close(ends[1]);
            EXPECT_EQ(status, 1) << arguments.front() << (closed ? " closed" : " pipe");
            EXPECT_THAT(child.Err(), ::testing::StartsWith("標準出力に書き込めません。"))
                << arguments.front() << (closed ? " closed" : " pipe");
        }
    }
    EXPECT_EQ(folder.Listing(), "in.csv");
}

TEST(EndToEndCheck, PrintsTheReportAndWritesNothing) {
    TTempDir folder;
    // 名前,住所 / 山田,"東京, 港区" in Shift_JIS; ANSI is 1252 under LC_ALL=C.
    WriteBytes(folder / "in.csv",
               "\x96\xBC\x91\x4F,\x8F\x5A\x8F\x8A\r\n\x8E\x52\x93\x63,\"\x93\x8C\x8B\x9E, "
               "\x8D\x60\x8B\xE6\"\r\n");
    const auto result =
        RunProgram(kProgram, {"--check", "/source:in.csv", "/target:out.csv", "/quote:0", "/auto"},
                   folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Out,
              "{\"encoding\": \"Shift_JIS\", \"codePage\": 932, \"rows\": 2, \"columns\": 2, "
              "\"lossyCharacters\": 10, \"columnsReport\": [{\"index\": 0, \"letters\": \"A\", \"label\": "
              "\"名前\", \"quoted\": true, \"breakingFields\": 0}, {\"index\": 1, \"letters\": \"B\", "
              "\"label\": \"住所\", \"quoted\": false, \"breakingFields\": 1}]}\n");
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(folder.Listing(), "in.csv");
}

// Under LC_ALL=C ANSI is 1252, which writes the full-width comma and
// quotation mark as their ASCII forms: fields holding them break there, as
// one that begins with the mark does, in rows read whole and in the first.
TEST(EndToEndCheck, StandInsThatBecomeSeparatorsBreakTheirFields) {
    TTempDir folder;
    WriteBytes(folder / "in.csv",
               "a,b,c,d\n"
               "\xEF\xBC\x82x,plain1234567890,\"\xEF\xBC\x82q\",x\xEF\xBC\x82y\r\n"
               "1\xEF\xBC\x8C"
               "2,\"3\xEF\xBC\x8C"
               "4\",plain,\xE5\xB1\xB1\xE7\x94\xB0\n"
               "padding,padding,padding,padding\npadding,padding,padding,padding\n"
               "padding,padding,padding,padding\n");
    const auto result = RunProgram(kProgram, {"--check", "/source:in.csv", "/quote:1", "/encoding:0"},
                                   folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Out,
              "{\"encoding\": \"UTF-8\", \"codePage\": 65001, \"rows\": 6, \"columns\": 4, "
              "\"lossyCharacters\": 7, \"columnsReport\": [{\"index\": 0, \"letters\": \"A\", \"label\": "
              "\"a\", \"quoted\": false, \"breakingFields\": 2}, {\"index\": 1, \"letters\": \"B\", "
              "\"label\": \"b\", \"quoted\": true, \"breakingFields\": 1}, {\"index\": 2, \"letters\": "
              "\"C\", \"label\": \"c\", \"quoted\": false, \"breakingFields\": 1}, {\"index\": 3, "
              "\"letters\": \"D\", \"label\": \"d\", \"quoted\": false, \"breakingFields\": 0}]}\n");
    EXPECT_EQ(result.Err, "");
}

// The same over thousands of rows, most of them read whole, some not (a
// stray mark): fields whose only reason to break is such a character, one
// whose suspects break it as well, several in one field, the mark inside a
// field (which reads back as it is), each counted once.
TEST(EndToEndCheck, StandInsInRowsReadWholeBreakTheirFieldsOnce) {
    struct TVariant {
        std::string Field;
        int Breaks;
        int Lossy;  // characters 1252 does not hold as they are
    };
    const std::vector<TVariant> variants = {
        {"plain", 0, 0},
        {"x\xEF\xBC\x82y", 0, 1},  // x＂y
        {"\xEF\xBC\x82x", 1, 1},   // ＂x
        {"a\xEF\xBC\x8Cz", 1, 1},  // a，z
        {"\"q,r\"", 1, 0},
        {"\"\xEF\xBC\x8Cq,r\"", 1, 1},       // "，q,r"
        {"\"\xEF\xBC\x82q\"", 1, 1},         // "＂q"
        {"\xEF\xBC\x8C\xEF\xBC\x8C", 1, 2},  // ，，
        {"\xE5\xB1\xB1\xE7\x94\xB0", 0, 2},  // 山田
        {"a\"b", 0, 0},                      // a row the machine reads byte by byte
    };
    std::mt19937 random(1252);
    std::string source = "a,b,c,d\r\n";
    std::vector<int> breaking(4, 0);
    int lossy = 0;
    for (int row = 0; row < 3000; ++row) {
        for (std::size_t column = 0; column < 4; ++column) {
            const TVariant& variant = variants[random() % variants.size()];
            source += (column > 0 ? "," : "") + variant.Field;
            breaking[column] += variant.Breaks;
            lossy += variant.Lossy;
        }
        source += random() % 2 ? "\r\n" : "\n";
    }
    TTempDir folder;
    WriteBytes(folder / "in.csv", source);
    const auto result = RunProgram(kProgram, {"--check", "/source:in.csv", "/quote:1", "/encoding:0"},
                                   folder.Path(), {"LC_ALL=C"});
    EXPECT_EQ(result.ExitCode, 0);
    std::string expected =
        "{\"encoding\": \"UTF-8\", \"codePage\": 65001, \"rows\": 3001, \"columns\": 4, "
        "\"lossyCharacters\": " +
        std::to_string(lossy) + ", \"columnsReport\": [";
    for (std::size_t column = 0; column < 4; ++column) {
        const std::string letter(1, static_cast<char>('A' + column)),
            label(1, static_cast<char>('a' + column));
        expected += std::string(column > 0 ? ", " : "") + "{\"index\": " + std::to_string(column) +
                    ", \"letters\": \"" + letter + "\", \"label\": \"" + label +
                    "\", \"quoted\": " + (column == 1 ? "true" : "false") +
                    ", \"breakingFields\": " + std::to_string(breaking[column]) + "}";
    }
    EXPECT_EQ(result.Out, expected + "]}\n");
    EXPECT_EQ(result.Err, "");
}

}  // namespace
}  // namespace quillmark

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/Exception.h"
#include "model/FormMainModel.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::TRecordingUserInterface;
using test::TTempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FirstIdleTest : public ::testing::Test {
  protected:
    FirstIdleTest() { WriteBytes(folder / "in.csv", "a,b,c\n1,2,3\n"); }

    std::u16string Arg(const std::string& prefix, const std::string& name) {
        return NativeToUnicode(prefix) + folder.File(name);
    }

    TTempDir folder;
    TRecordingUserInterface ui;
    TFormMainModel model{ui};
};

TEST_F(FirstIdleTest, NoArgumentsDoNothing) {
    EXPECT_EQ(model.FirstIdle({}), TFirstIdleResult::NoArguments);
    EXPECT_EQ(ui.CursorsCreated, 0);
    EXPECT_EQ(model.GetConvertInfo(), (TConvertInfo{u"", u"", 0, {}, u""}));
}

TEST_F(FirstIdleTest, SwitchesWithAutoConvert) {
    EXPECT_EQ(model.FirstIdle({Arg("/source:", "in.csv"), Arg("/target:", "out.csv"), u"/quote:0,2",
                               u"/encoding:1", u"-Auto"}),
              TFirstIdleResult::Converted);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\"a\",b,\"c\"\r\n\"1\",2,\"3\"\r\n");
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(ui.Cursors, 0);
}

TEST_F(FirstIdleTest, WithoutAutoOnlyApplies) {
    EXPECT_EQ(
        model.FirstIdle({Arg("/source:", "in.csv"), Arg("/target:", "out.csv"), u"/quote:1", u"/autosave"}),
        TFirstIdleResult::Applied);
    EXPECT_FALSE(std::filesystem::exists(folder / "out.csv"));
    EXPECT_EQ(model.GetQuoteColumns(), (TColumnSet{1}));
}

TEST_F(FirstIdleTest, ConsoleAlwaysConverts) {
    EXPECT_EQ(model.FirstIdle({Arg("/source:", "in.csv"), Arg("/target:", "out.csv")}, true),
              TFirstIdleResult::Converted);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "a,b,c\r\n1,2,3\r\n");
}

TEST_F(FirstIdleTest, OnlyAutoFailsOnTheMissingSource) {
    EXPECT_EQ(model.FirstIdle({u"/auto"}), TFirstIdleResult::ConversionFailed);
    EXPECT_THAT(ui.Shown, ElementsAre("warning: 変換元CSVファイルが見つかりません。"));
}

TEST_F(FirstIdleTest, MissingSourceStopsSilently) {
    EXPECT_EQ(model.FirstIdle({Arg("/source:", "gone.csv"), Arg("/target:", "out.csv"), u"/auto"}),
              TFirstIdleResult::SourceMissing);
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(model.SourceFileName(), folder.File("gone.csv"));
    EXPECT_EQ(folder.Listing(), "in.csv");
}

TEST_F(FirstIdleTest, QuoteWithoutSourceTicksNothing) {
    EXPECT_EQ(model.FirstIdle({u"/quote:0,1"}), TFirstIdleResult::Applied);
    EXPECT_EQ(model.GetQuoteColumns(), TColumnSet{});
}

TEST_F(FirstIdleTest, EncodingOutsideTheListWritesUtf8) {
    WriteBytes(folder / "jp.csv", "\x82\xA0\n");
    EXPECT_EQ(
        model.FirstIdle({Arg("/source:", "jp.csv"), Arg("/target:", "out.csv"), u"/encoding:2", u"/auto"}),
        TFirstIdleResult::Converted);
    EXPECT_EQ(model.EncodingIndex(), -1);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\xE3\x81\x82\r\n");
}

TEST_F(FirstIdleTest, AnsiIsTheDefaultEncoding) {
    WriteBytes(folder / "jp.csv", "\xE3\x81\x82\n");
    EXPECT_EQ(model.FirstIdle({Arg("/source:", "jp.csv"), Arg("/target:", "out.csv"), u"/auto"}),
              TFirstIdleResult::Converted);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\x82\xA0\r\n");
}

TEST_F(FirstIdleTest, BadArgumentChangesNothing) {
    EXPECT_THROW(model.FirstIdle({Arg("/source:", "in.csv"), u"a<b", u"/auto"}), EArgumentException);
    EXPECT_EQ(model.GetConvertInfo(), (TConvertInfo{u"", u"", 0, {}, u""}));
    EXPECT_EQ(ui.Cursors, 0);
}

// A settings file on the command line is opened first and the switches are
// laid over it, whatever their order.
struct LayeringCase {
    const char* name;
    std::vector<std::string> switches;  // "@" stands for the folder
    TConvertInfo expected;              // paths relative to the folder
};

class SettingsFileLayering : public FirstIdleTest, public ::testing::WithParamInterface<LayeringCase> {};

TEST_P(SettingsFileLayering, SwitchesWinOverTheFile) {
    WriteBytes(folder / "other.csv", "x,y,z,w\n");
    WriteBytes(folder / "s.qmk", "[FILE]\nSOURCE=" + (folder / "in.csv").string() + "\nTARGET=" +
                                     (folder / "t.csv").string() + "\nENCODING=1\n[CSV]\nCOL=0,2\n");
    TArguments arguments;
    for (const std::string& text : GetParam().switches) {
        const auto at = text.find('@');
        arguments.push_back(at == std::string::npos
                                ? NativeToUnicode(text)
                                : NativeToUnicode(text.substr(0, at)) + folder.File(text.substr(at + 2)));
    }
    arguments.push_back(folder.File("s.qmk"));
    EXPECT_EQ(model.FirstIdle(arguments), TFirstIdleResult::Applied);
    TConvertInfo expected = GetParam().expected;
    expected.SourceFileName = folder.File(Utf16ToUtf8(expected.SourceFileName));
    expected.TargetFileName = folder.File(Utf16ToUtf8(expected.TargetFileName));
    EXPECT_EQ(model.GetConvertInfo(), expected);
    EXPECT_EQ(model.SettingsFileName(), folder.File("s.qmk"));
    EXPECT_THAT(ui.Shown, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsFileLayering,
    ::testing::Values(
        LayeringCase{"FileOnly", {}, {u"in.csv", u"t.csv", 1, {0, 2}, u""}},
        LayeringCase{"SourceRebuildsColumns", {"/source:@/other.csv"}, {u"other.csv", u"t.csv", 1, {}, u""}},
        LayeringCase{
            "SourceAndQuote", {"/quote:3", "/source:@/other.csv"}, {u"other.csv", u"t.csv", 1, {3}, u""}},
        LayeringCase{"Target", {"/target:@/u.csv"}, {u"in.csv", u"u.csv", 1, {0, 2}, u""}},
        LayeringCase{"Encoding", {"/encoding:0"}, {u"in.csv", u"t.csv", 0, {0, 2}, u""}},
        LayeringCase{"EncodingNotGiven", {"/encoding:-1"}, {u"in.csv", u"t.csv", 1, {0, 2}, u""}},
        LayeringCase{"QuoteAddsTicks", {"/quote:1"}, {u"in.csv", u"t.csv", 1, {0, 1, 2}, u""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirstIdleTest, UnreadableSettingsFileIsReportedAndTheSwitchesStillApply) {
    const test::TUnixSocket socket(folder / "s.qmk");
    EXPECT_EQ(model.FirstIdle(
                  {folder.File("s.qmk"), Arg("/source:", "in.csv"), Arg("/target:", "out.csv"), u"/auto"}),
              TFirstIdleResult::Converted);
    ASSERT_EQ(ui.Shown.size(), 1u);
    EXPECT_THAT(ui.Shown[0], ::testing::StartsWith("warning: ファイル " + (folder / "s.qmk").string() +
                                                   " は開けません。"));
    EXPECT_EQ(model.SettingsFileName(), u"");
    EXPECT_TRUE(std::filesystem::exists(folder / "out.csv"));
}

TEST_F(FirstIdleTest, SettingsFileWithMissingSourceFailsTheRun) {
    WriteBytes(folder / "s.qmk", "[FILE]\nSOURCE=" + (folder / "gone.csv").string() + "\n");
    EXPECT_EQ(model.FirstIdle({folder.File("s.qmk"), u"/auto"}), TFirstIdleResult::ConversionFailed);
    EXPECT_THAT(ui.Shown, ElementsAre("warning: 変換元CSVファイルが見つかりません。"));
}

}  // namespace
}  // namespace quillmark

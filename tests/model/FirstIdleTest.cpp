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

}  // namespace
}  // namespace quillmark

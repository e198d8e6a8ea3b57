#include "model/SourceReport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/CodePage.h"
#include "base/Format.h"
#include "base/Utf.h"
#include "model/FormMainModel.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

// Runs with LC_ALL=ja_JP.UTF-8: ANSI is code page 932.
namespace quillmark {
namespace {

using test::TTempDir;
using test::WriteBytes;

// A ticked field as the writer writes it: quoted, with the characters the
// code page writes as quotation marks doubled, as the marks are.
std::u16string WrittenQuoted(std::u16string_view value, TCodePage target) {
    std::u16string doubled;
    for (const char16_t unit : value) {
        doubled.push_back(unit);
        if (target != CP_UTF_8 && std::ranges::count(QuotationMarkStandIns(target), unit) > 0)
            doubled.push_back(unit);
    }
    return AnsiQuotedStr(doubled);
}

// The preview holds what the target's bytes read back as, field by field.
TEST(Preview, ShowsTheTargetsFieldsReadBack) {
    const TCsvTable head = {{u"名前", u"山田, 太郎", u"x\"y"}, {u"𠮷野家😀", u"\"a", u"\u02BA\uFF02"}};
    for (const TCodePage target : {TCodePage{932}, TCodePage{1252}, CP_UTF_8}) {
        SCOPED_TRACE(target);
        TTargetCharacters characters(target);
        const std::vector<TPreviewRow> preview = MakePreview(head, 3, {0, 2}, characters);
        ASSERT_EQ(preview.size(), 2u);
        for (std::size_t row = 0; row < 2; ++row) {
            ASSERT_EQ(preview[row].size(), 3u) << "filled up to the widest row";
            for (std::size_t column = 0; column < 3; ++column) {
                const TPreviewCell& cell = preview[row][column];
                const std::u16string value = column < head[row].size() ? head[row][column] : u"";
                const bool quoted = column != 1;
                const std::u16string written = quoted ? WrittenQuoted(value, target) : value;
                EXPECT_EQ(cell.Text, MultiByteToWideChar(target, *WideCharToMultiByte(target, written)));
                EXPECT_EQ(cell.Quoted, quoted);
                EXPECT_EQ(cell.Lossy.empty(), cell.Text == written) << Utf16ToUtf8(cell.Text);
                if (!cell.Lossy.empty()) {
                    EXPECT_EQ(cell.Lossy.size(), cell.Text.size());
                }
            }
        }
        EXPECT_TRUE(preview[0][1].Breaks) << "an unticked comma";
        EXPECT_TRUE(preview[1][1].Breaks) << "an unticked leading quotation mark";
        EXPECT_FALSE(preview[0][2].Breaks) << "ticked";
        EXPECT_FALSE(preview[1][0].Breaks);
    }
    TTargetCharacters ansi(932);
    const TPreviewCell cell = MakePreview(head, 3, {}, ansi)[1][0];
    EXPECT_EQ(cell.Text, u"??野家??");
    EXPECT_EQ(cell.Lossy, (std::vector<bool>{true, true, false, false, true, true}));
    TTargetCharacters western(1252);
    EXPECT_EQ(MakePreview(head, 3, {2}, western)[1][2].Text, u"\"\"\"\"\"\"") << "stand-ins doubled";
}

TEST(Preview, HeadStopsAfterTheRowsWanted) {
    TTempDir dir;
    std::string text;
    for (int row = 0; row < 200; ++row)
        text += std::to_string(row) + ",\"a\nb\"\r\n";
    WriteBytes(dir / "in.csv", text);
    TCsvTable head;
    ASSERT_TRUE(ReadCsvHead(dir.File("in.csv"), kPreviewRows, head));
    ASSERT_EQ(head.size(), kPreviewRows);
    EXPECT_EQ(head.back(), (TCsvRow{u"49", u"a\nb"}));
    EXPECT_FALSE(ReadCsvHead(dir.File("gone.csv"), kPreviewRows, head));
    EXPECT_EQ(head.size(), kPreviewRows) << "left as it was";
}

TEST(Texts, StatusAndHints) {
    TCsvCheck check;
    check.SourceCodePage = CP_SHIFT_JIS;
    check.RowCount = 1234567;
    check.ColCount = 12;
    EXPECT_EQ(FormatSourceStatus(check), u"文字コード: Shift_JIS (932)　行数: 1,234,567　列数: 12");
    EXPECT_EQ(FormatBreakingHint(12), u"カンマ・改行を含むフィールド: 12");
    EXPECT_EQ(FormatConversionStatus(1234, 0.517, 3),
              u"1,234 行を書き込みました（0.52 秒、置き換えた文字: 3）");
    EXPECT_EQ(FormatConversionStatus(0, 12.0, 0), u"0 行を書き込みました（12.00 秒、置き換えた文字: 0）");
}

TEST(Report, FollowsTheColumnListTicksAndEncoding) {
    TTempDir dir;
    WriteBytes(dir / "in.csv", Utf16ToUtf8(u"名前,住所\r\n𠮷田,\"東京, 港区\"\r\n"));
    test::TRecordingUserInterface ui;
    TFormMainModel model(ui);
    ASSERT_TRUE(model.LoadCsvColumns(dir.File("in.csv")));
    TSourceReport report;
    EXPECT_TRUE(report.Update(model.ColumnsFileName(), model.ColumnsGeneration(), 0, {}));
    ASSERT_TRUE(report.Check());
    EXPECT_EQ(report.Check()->LossyCharacters, 1u);
    EXPECT_EQ(report.Check()->Columns[1].BreakingFields, 1u);
    EXPECT_TRUE(report.Preview()[1][1].Breaks);

    // A tick changes the preview, not the reading.
    EXPECT_FALSE(report.Update(model.ColumnsFileName(), model.ColumnsGeneration(), 0, {1}));
    EXPECT_TRUE(report.Check()->Columns[1].Quoted);
    EXPECT_EQ(report.Preview()[1][1].Text, u"\"東京, 港区\"");
    EXPECT_FALSE(report.Preview()[1][1].Breaks);

    // Another code page, or another loading of the file, is read again.
    EXPECT_TRUE(report.Update(model.ColumnsFileName(), model.ColumnsGeneration(), 1, {1}));
    EXPECT_EQ(report.Check()->LossyCharacters, 0u);
    EXPECT_EQ(report.Preview()[1][0].Text, u"𠮷田");
    WriteBytes(dir / "in.csv", "a,b\r\n");
    ASSERT_TRUE(model.LoadCsvColumns(dir.File("in.csv")));
    EXPECT_TRUE(report.Update(model.ColumnsFileName(), model.ColumnsGeneration(), 1, {1}));
    EXPECT_EQ(report.Check()->RowCount, 1u);
    EXPECT_EQ(report.Preview().size(), 1u);

    // No file: no report.
    EXPECT_TRUE(report.Update(dir.File("gone.csv"), 9, 1, {}));
    EXPECT_FALSE(report.Check());
    EXPECT_TRUE(report.Preview().empty());
}

}  // namespace
}  // namespace quillmark

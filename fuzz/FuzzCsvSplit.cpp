// The CSV state machine: the whole text and the same text in random pieces
// give the same table; a loaded table is rectangular; UTF-8 split as bytes
// gives the table of its UTF-16 form.
#include <algorithm>

#include "FuzzInput.h"
#include "base/Utf.h"
#include "csv/Csv.h"
#include "csv/CsvSplitter.h"

using namespace quillmark;

namespace {

template <class TUnit>
class TTableSink final : public ICsvSinkOf<TUnit> {
  public:
    void Store(std::size_t row, std::size_t column, std::basic_string_view<TUnit> units) override {
        if (Table.size() <= row) Table.resize(row + 1);
        if (Table[row].size() <= column) Table[row].resize(column + 1);
        Table[row][column].append(units);
    }
    std::vector<std::vector<std::basic_string<TUnit>>> Table;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::TInput input(data, size);
    const unsigned seed = input.Byte();
    const std::u16string text = input.RestAsUtf16();

    const TCsvTable whole = TCsv::Split(text);
    TTableSink<char16_t> pieces;
    TCsvSplitter splitter(pieces);
    for (std::size_t at = 0, step = 1 + seed % 7; at < text.size();
         at += step, step = 1 + (step * 5 + seed) % 11)
        splitter.Feed(std::u16string_view(text).substr(at, step));
    fuzz::Check(pieces.Table == whole, "pieces give another table");

    TCsv csv;
    fuzz::Check(csv.LoadFromText(text), "load refused");
    const TCsvTable table = csv.GetTable();
    fuzz::Check(std::all_of(table.begin(), table.end(),
                            [&](const TCsvRow& row) { return row.size() == csv.ColCount(); }),
                "loaded table is not rectangular");

    // In UTF-8 (without U+0080, which the machine drops anyway).
    std::u16string wide = Utf8ToUtf16(Utf16ToUtf8(text));
    std::erase(wide, u'\x80');
    TTableSink<char> bytes;
    TUtf8CsvSplitter byteSplitter(bytes);
    const std::string utf8 = Utf16ToUtf8(wide);
    for (std::size_t at = 0, step = 1 + seed % 5; at < utf8.size(); at += step)
        byteSplitter.Feed(std::string_view(utf8).substr(at, step));
    TCsvTable widened;
    for (const auto& row : bytes.Table) {
        widened.emplace_back();
        for (const auto& field : row)
            widened.back().push_back(Utf8ToUtf16(field));
    }
    fuzz::Check(widened == TCsv::Split(wide), "UTF-8 splitting differs");
    return 0;
}

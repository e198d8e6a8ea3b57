#include "csv/Csv.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/Stream.h"
#include "csv/CsvSplitter.h"
#include "text/TextLoader.h"

namespace quillmark {
namespace {

class TTableSink final : public ICsvSink {
  public:
    explicit TTableSink(TCsvTable& table) : FTable(table) {}
    void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
        TCsv::AppendChars(row, column, units, FTable);
    }

  private:
    TCsvTable& FTable;
};

}  // namespace

void TCsv::Clear() {
    if (IsEmpty()) return;
    FTable.clear();
    FRowCount = 0;
    FColCount = 0;
}

bool TCsv::LoadFromFile(const std::u16string& fileName, const TProgressCallback& progress) {
    if (!IsEmpty()) return false;
    try {
        std::u16string text;
        {
            // Closed before splitting: nothing of the file is held meanwhile.
            TFileStream stream(fileName);
            text = StreamToText(stream, progress);
        }
        return LoadFromText(text, progress);
    } catch (const EAbort&) {
        Clear();
        throw;
    } catch (...) {
        Clear();
        return false;
    }
}

bool TCsv::LoadFromText(std::u16string_view text, const TProgressCallback& progress) {
    if (!IsEmpty()) return false;
    FTable = Split(text, progress);
    FRowCount = FTable.size();
    FColCount = 0;
    for (const TCsvRow& row : FTable)
        FColCount = std::max(FColCount, row.size());
    for (TCsvRow& row : FTable)
        row.resize(FColCount);
    return true;
}

TCsvTable TCsv::Split(std::u16string_view text, const TProgressCallback& progress) {
    TCsvTable table;
    TTableSink sink(table);
    TCsvSplitter splitter(sink, progress, text.size());
    splitter.Feed(text);
    return table;
}

void TCsv::AppendChar(std::size_t row, std::size_t column, char16_t unit, TCsvTable& table) {
    AppendChars(row, column, std::u16string_view(&unit, 1), table);
}

void TCsv::AppendChars(std::size_t row, std::size_t column, std::u16string_view units, TCsvTable& table) {
    if (table.size() <= row) table.resize(row + 1);
    TCsvRow& fields = table[row];
    if (fields.size() <= column) fields.resize(column + 1);
    fields[column].append(units);
}

TCsvTable TCsv::TakeTable() {
    TCsvTable table = std::move(FTable);
    FTable.clear();
    FRowCount = 0;
    FColCount = 0;
    return table;
}

bool ReadCsvFile(const std::u16string& fileName, TCsvTable& table, const TProgressCallback& progress) {
    TCsv csv;
    if (!csv.LoadFromFile(fileName, progress)) return false;
    table = csv.TakeTable();
    return true;
}

}  // namespace quillmark

#include "csv/QuotedCsvWriter.h"

#include "base/Exception.h"
#include "base/Format.h"

namespace quillmark {
namespace {

// Columns whose quoting is looked up in a flag table rather than the set.
constexpr std::size_t kQuickColumns = 4096;
// UTF-16 units gathered before they are encoded and written.
constexpr std::size_t kPendingUnits = 1 << 16;

}  // namespace

TCodePage OutputCodePage(std::int32_t encoding) {
    return encoding == 0 ? GetACP() : CP_UTF_8;
}

TQuotedCsvWriter::TQuotedCsvWriter(TSafeFileWriter& file, std::int32_t encoding,
                                   const TColumnSet& quoteColumns)
    : FFile(file), FEncoder(TCodePageEncoder::Create(OutputCodePage(encoding))), FQuoteColumns(quoteColumns) {
    if (!FEncoder) throw Exception(std::string("Unsupported code page"));
    for (std::int32_t column : quoteColumns) {
        if (column < 0) continue;
        if (static_cast<std::size_t>(column) >= kQuickColumns) break;
        if (FQuoted.size() <= static_cast<std::size_t>(column)) FQuoted.resize(column + 1);
        FQuoted[column] = true;
    }
    FText.reserve(kPendingUnits + 1024);
}

bool TQuotedCsvWriter::IsQuoted(std::size_t column) const {
    if (column < FQuoted.size()) return FQuoted[column];
    if (column < kQuickColumns) return false;
    return column <= INT32_MAX && FQuoteColumns.contains(static_cast<std::int32_t>(column));
}

void TQuotedCsvWriter::WriteField(std::size_t column, std::u16string_view value) {
    if (column > 0) FText.push_back(u',');
    if (IsQuoted(column)) {
        AppendQuotedStr(value, u'"', FText);
    } else {
        FText.append(value);
    }
}

void TQuotedCsvWriter::BeginField(std::size_t column) {
    if (column > 0) FText.push_back(u',');
    FFieldQuoted = IsQuoted(column);
    if (FFieldQuoted) FText.push_back(u'"');
}

void TQuotedCsvWriter::AppendToField(std::u16string_view units) {
    if (!FFieldQuoted) {
        FText.append(units);
    } else {
        for (std::size_t quote; (quote = units.find(u'"')) != std::u16string_view::npos;) {
            FText.append(units.substr(0, quote + 1));
            FText.push_back(u'"');
            units.remove_prefix(quote + 1);
        }
        FText.append(units);
    }
    if (FText.size() >= kPendingUnits) EncodePending(false);
}

void TQuotedCsvWriter::EndField() {
    if (FFieldQuoted) FText.push_back(u'"');
}

void TQuotedCsvWriter::EndRow() {
    FText.append(u"\r\n");
    if (FText.size() >= kPendingUnits) EncodePending(false);
}

void TQuotedCsvWriter::WriteRow(const TCsvRow& row) {
    for (std::size_t column = 0; column < row.size(); ++column)
        WriteField(column, row[column]);
    EndRow();
}

void TQuotedCsvWriter::Finish() {
    EncodePending(true);
}

// Fields are converted together, which gives the same bytes as converting
// each on its own: the output code pages keep no state from one character to
// the next, and a surrogate half never meets a partner across the "," or the
// quotation marks between fields.
void TQuotedCsvWriter::EncodePending(bool last) {
    FBytes.clear();
    FEncoder->Encode(FText, last, FBytes);
    FFile.Write(FBytes);
    FText.clear();
}

void WriteQuotedCsvFile(const std::u16string& target, const TCsvTable& table, std::int32_t encoding,
                        const TColumnSet& quoteColumns) {
    TSafeFileWriter file(target);
    TQuotedCsvWriter writer(file, encoding, quoteColumns);
    for (const TCsvRow& row : table)
        writer.WriteRow(row);
    writer.Finish();
    file.Commit();
}

}  // namespace quillmark

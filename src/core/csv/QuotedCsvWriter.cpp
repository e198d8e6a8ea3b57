#include "csv/QuotedCsvWriter.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/Utf.h"
#include "csv/MarkDoubling.h"

namespace quillmark {
namespace {

// Columns whose quoting is looked up in a flag table rather than the set.
constexpr std::size_t kQuickColumns = 4096;
// Units gathered before they are encoded and written.
constexpr std::size_t kPendingUnits = 1 << 16;

const std::vector<char16_t> kNoStandIns;

}  // namespace

TCodePage OutputCodePage(std::int32_t encoding) {
    return encoding == 0 ? GetACP() : CP_UTF_8;
}

template <class TUnit>
TQuotedCsvWriterOf<TUnit>::TQuotedCsvWriterOf(IByteSink& file, std::int32_t encoding,
                                              const TColumnSet& quoteColumns)
    : FFile(file), FQuoteColumns(quoteColumns) {
    FCodePage = OutputCodePage(encoding);
    for (std::int32_t column : quoteColumns) {
        if (column < 0) continue;
        if (static_cast<std::size_t>(column) >= kQuickColumns) break;
        if (FQuoted.size() <= static_cast<std::size_t>(column)) FQuoted.resize(column + 1);
        FQuoted[column] = true;
    }
}

template <class TUnit>
bool TQuotedCsvWriterOf<TUnit>::IsQuoted(std::size_t column) const {
    if (column < FQuoted.size()) return FQuoted[column];
    if (column < kQuickColumns) return false;
    return column <= INT32_MAX && FQuoteColumns.contains(static_cast<std::int32_t>(column));
}

template <class TUnit>
void TQuotedCsvWriterOf<TUnit>::WriteField(std::size_t column, TView value) {
    BeginField(column);
    AppendToField(value);
    EndField();
}

template <class TUnit>
void TQuotedCsvWriterOf<TUnit>::BeginField(std::size_t column) {
    if (column > 0) FText.push_back(TUnit(','));
    FFieldQuoted = IsQuoted(column);
    if (FFieldQuoted) FText.push_back(TUnit('"'));
}

template <class TUnit>
void TQuotedCsvWriterOf<TUnit>::AppendToField(TView units) {
    if (!FFieldQuoted) {
        FText.append(units);
    } else {
        // What the target holds as quotation marks is doubled. Which
        // characters an ANSI code page writes as marks is asked only once
        // a quoted field holds anything but seven-bit text.
        if (!FStandIns && FCodePage != CP_UTF_8 && std::ranges::any_of(units, [](TUnit unit) {
                return static_cast<std::make_unsigned_t<TUnit>>(unit) >= 0x80;
            }))
            FStandIns = &QuotationMarkStandIns(FCodePage);
        AppendMarksDoubled(units, FStandIns ? *FStandIns : kNoStandIns, FText);
    }
    if (FText.size() >= kPendingUnits) EncodePending(false);
}

template <class TUnit>
void TQuotedCsvWriterOf<TUnit>::EndField() {
    if (FFieldQuoted) FText.push_back(TUnit('"'));
}

template <class TUnit>
void TQuotedCsvWriterOf<TUnit>::EndRow() {
    FText.push_back(TUnit('\r'));
    FText.push_back(TUnit('\n'));
    if (FText.size() >= kPendingUnits) EncodePending(false);
}

template <class TUnit>
void TQuotedCsvWriterOf<TUnit>::Finish() {
    EncodePending(true);
}

// Pending text is converted together, which gives the same bytes as
// converting each field on its own: the output code pages keep no state from
// one character to the next, and a surrogate half never meets a partner
// across the "," or the quotation marks between fields.
template <class TUnit>
void TQuotedCsvWriterOf<TUnit>::EncodePending(bool last) {
    if (FText.empty() && !FEncoder) return;
    // The encoder is made when there is something to encode: opening a
    // converter costs more than a small file's whole conversion.
    if (!FEncoder && (sizeof(TUnit) == 2 || FCodePage != CP_UTF_8)) {
        FEncoder = TCodePageEncoder::Create(FCodePage);
        if (!FEncoder) throw Exception(std::string("Unsupported code page"));
    }
    if constexpr (sizeof(TUnit) == 2) {
        FBytes.clear();
        FEncoder->Encode(FText, last, FBytes);
        FFile.Write(FBytes);
        FText.clear();
    } else if (!FEncoder) {
        FFile.Write(FText);
        FText.clear();
    } else {
        // Widened for the encoder up to the last whole character.
        const std::size_t complete = last ? FText.size() : CompleteUtf8Length(FText);
        FWide = Utf8ToUtf16(std::string_view(FText).substr(0, complete));
        FBytes.clear();
        FEncoder->Encode(FWide, last, FBytes);
        FFile.Write(FBytes);
        FText.erase(0, complete);
    }
}

template class TQuotedCsvWriterOf<char16_t>;
template class TQuotedCsvWriterOf<char>;

void WriteRow(TQuotedCsvWriter& writer, const TCsvRow& row) {
    for (std::size_t column = 0; column < row.size(); ++column)
        writer.WriteField(column, row[column]);
    writer.EndRow();
}

void WriteQuotedCsvFile(const std::u16string& target, const TCsvTable& table, std::int32_t encoding,
                        const TColumnSet& quoteColumns) {
    TSafeFileWriter file(target);
    TQuotedCsvWriter writer(file, encoding, quoteColumns);
    for (const TCsvRow& row : table)
        WriteRow(writer, row);
    writer.Finish();
    file.Commit();
}

}  // namespace quillmark

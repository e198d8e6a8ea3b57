// The conversion in memory: read a random file (any encoding), quote a
// random set of columns, write in either encoding. The quoted writer must
// give what a deliberately simple writer gives, and the streamed pipeline
// (in pieces, as bytes or as UTF-16) what the whole-table writer gives.
#include <set>

#include "FuzzInput.h"
#include "base/CodePage.h"
#include "base/Stream.h"
#include "csv/ByteCsvQuoter.h"
#include "csv/Csv.h"
#include "csv/QuotedCsvSink.h"
#include "csv/QuotedCsvWriter.h"
#include "text/TextLoader.h"
#include "text/TextReader.h"

using namespace quillmark;

namespace {

class TStringSink final : public IByteSink {
  public:
    void Write(std::string_view bytes) override { Bytes.append(bytes); }
    std::string Bytes;
};

// The target as plainly as it can be said.
std::string SimpleWriter(const TCsvTable& table, const TColumnSet& quote, std::int32_t encoding) {
    std::u16string text;
    for (const TCsvRow& row : table) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) text += u",";
            if (column <= INT32_MAX && quote.contains(static_cast<std::int32_t>(column))) {
                text += u"\"";
                for (const char16_t unit : row[column])
                    text += unit == u'"' ? u"\"\"" : std::u16string(1, unit);
                text += u"\"";
            } else {
                text += row[column];
            }
        }
        text += u"\r\n";
    }
    return *WideCharToMultiByte(encoding == 0 ? GetACP() : CP_UTF_8, text);
}

std::string WholeTable(const TCsvTable& table, const TColumnSet& quote, std::int32_t encoding) {
    TStringSink sink;
    TQuotedCsvWriter writer(sink, encoding, quote);
    for (const TCsvRow& row : table)
        WriteRow(writer, row);
    writer.Finish();
    return sink.Bytes;
}

// Without `bytes`, the source is split as UTF-16 whatever its code page, as
// the conversion does for a source taken byte by byte that is not ASCII.
std::string Streamed(const std::string& bytes, TCodePage codePage, const TColumnSet& quote,
                     std::int32_t encoding, std::size_t width, std::size_t piece, bool asBytes = true) {
    TStringSink out;
    if (asBytes && TTextReader::ReadsAs(codePage, CP_UTF_8)) {
        // As the conversion does it: bytes in the target's code page where
        // the source can be read so, else UTF-8 encoded at the end.
        const TCodePage output = OutputCodePage(encoding);
        const TCodePage read = TTextReader::ReadsAs(codePage, output) ? output : CP_UTF_8;
        TByteCsvQuoter quoter(out, quote, width);
        TMemoryStream stream(bytes);
        TTextReader reader(stream, codePage, piece, bytes.size());
        std::string_view text;
        while (reader.ReadAs(read, text))
            quoter.Feed(text);
        quoter.Finish();
        if (read == output) return out.Bytes;
        const auto encoder = TCodePageEncoder::Create(output);
        std::string encoded;
        for (std::size_t at = 0; at < out.Bytes.size(); at += piece)
            encoder->EncodeUtf8(std::string_view(out.Bytes).substr(at, piece), false, encoded);
        encoder->EncodeUtf8({}, true, encoded);
        return encoded;
    } else {
        TQuotedCsvWriter writer(out, encoding, quote);
        TQuotedCsvSink sink(writer, width);
        TCsvSplitter splitter(sink);
        TMemoryStream stream(bytes);
        TTextReader reader(stream, codePage, piece, bytes.size());
        std::u16string text;
        while (reader.Read(text))
            splitter.Feed(text);
        sink.Finish();
        writer.Finish();
    }
    return out.Bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool initialised = [] {
        setenv("LC_ALL", "ja_JP.UTF-8", 1);  // ANSI is 932
        return true;
    }();
    (void)initialised;
    fuzz::TInput input(data, size);
    TColumnSet quote;
    for (std::uint8_t bits = input.Byte(), column = 0; column < 8; ++column)
        if (bits & (1 << column)) quote.insert(column);
    const std::uint8_t flags = input.Byte();
    if (flags & 1) quote.insert(-1);
    const std::int32_t encoding = flags >> 1 & 1;  // 0 ANSI (932), 1 UTF-8
    const std::size_t piece = 1 + input.Byte() % 32;
    const std::string bytes(input.Rest());

    TMemoryStream stream(bytes);
    const TCodePage codePage = DetectStreamCodePage(stream);
    TCsv csv;
    csv.LoadFromText(BytesToText(bytes, codePage));
    const TCsvTable table = csv.GetTable();
    const std::string expected = WholeTable(table, quote, encoding);
    fuzz::Check(expected == SimpleWriter(table, quote, encoding), "writer differs from the simple one");
    std::string streamed;
    try {
        streamed = Streamed(bytes, codePage, quote, encoding, csv.ColCount(), piece);
    } catch (const ETextNotAscii&) {
        fuzz::Check(codePage == CP_NONE, "only text taken byte by byte may turn out not ASCII");
        streamed = Streamed(bytes, codePage, quote, encoding, csv.ColCount(), piece, false);
    }
    fuzz::Check(expected == streamed, "streamed conversion differs");
    return 0;
}

#include "csv/ConvertCsvFile.h"

#include <memory>
#include <optional>

#include "base/BackgroundWriter.h"
#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Interrupt.h"
#include "base/Messages.h"
#include "csv/CsvFileReader.h"
#include "csv/ParallelCsvQuoter.h"
#include "csv/QuotedCsvSink.h"
#include "csv/QuotedCsvWriter.h"
#include "text/TextReader.h"

namespace quillmark {

namespace {

// Hands UTF-8 on in the system's ANSI code page.
class TAnsiSink final : public IByteSink {
  public:
    explicit TAnsiSink(IByteSink& out) : FOut(out) {}

    void Write(std::string_view text) override { Encode(text, false); }
    void Finish() {
        if (FEncoder) Encode({}, true);
    }

  private:
    void Encode(std::string_view text, bool last) {
        // Made at the first text: opening a converter costs more than a small
        // file's whole conversion.
        if (!FEncoder) {
            FEncoder = TCodePageEncoder::Create(GetACP());
            if (!FEncoder) throw Exception(std::string("Unsupported code page"));
        }
        FBytes.clear();
        FEncoder->EncodeUtf8(text, last, FBytes);
        FOut.Write(FBytes);
    }

    IByteSink& FOut;
    std::unique_ptr<TCodePageEncoder> FEncoder;
    std::string FBytes;
};

// Writes the target of a UTF-8 or Shift_JIS source, or of one taken byte by
// byte (ETextNotAscii at its first byte from 0x80 up), split and quoted as
// bytes: in the target's code page where the source can be read in it
// (Shift_JIS to 932), else in UTF-8 (encoded once at the end for an ANSI
// target). False for a source of any other code page, with nothing written.
bool WriteFromBytes(const std::u16string& source, TCodePage sourceCodePage, const TColumnSet& quoteColumns,
                    std::int32_t encoding, TSafeFileWriter& file, const TProgressCallback& progress,
                    std::size_t width, bool growing, unsigned pass, unsigned passes) {
    const TCodePage output = OutputCodePage(encoding);
    const TCodePage read = TTextReader::ReadsAs(sourceCodePage, output) ? output : CP_UTF_8;
    // Encoding (where needed) and writing go on in a second thread while
    // this one reads and quotes (a large source on several threads, where
    // the machine has the cores for it).
    TAnsiSink encoded(file);
    TBackgroundWriter background(read == output ? static_cast<IByteSink&>(file) : encoded);
    // UTF-8 written on into an ANSI code page: what it writes as quotation
    // marks is doubled in quoted fields.
    static const std::vector<char16_t> none;
    TParallelCsvQuoter::TOptions options;
    // UTF-8 read and written as it is leaves the other threads little to do.
    options.QuotingBound =
        (sourceCodePage == CP_UTF_8 || sourceCodePage == CP_NONE) && read == CP_UTF_8 && output == CP_UTF_8;
    TParallelCsvQuoter quoter(background, quoteColumns, width, growing,
                              read != output ? QuotationMarkStandIns(output) : none, options);
    // A row wider than the rows written once most of the source is read:
    // the rest is read for the width alone rather than the whole source
    // again before the target is written anew.
    const TProgressCallback report = [&quoter, &progress, pass, passes](std::uint64_t done,
                                                                        std::uint64_t total) {
        const std::uint64_t size = total / passes;
        if (done - pass * size >= size - size / 8) quoter.SetCountOn();
        if (progress) progress(done, total);
    };
    if (!ReadCsvFileAs(
            source, read, [&quoter](std::string_view text) { quoter.Feed(text); }, report, pass, passes))
        return false;
    quoter.Finish();
    background.Finish();
    encoded.Finish();
    return true;
}

// Writes the target of a source of any code page, split as UTF-16.
void WriteFromUtf16(const std::u16string& source, const TColumnSet& quoteColumns, std::int32_t encoding,
                    TSafeFileWriter& file, const TProgressCallback& progress, std::size_t width, bool growing,
                    unsigned pass, unsigned passes) {
    TBackgroundWriter background(file);
    TQuotedCsvWriter writer(background, encoding, quoteColumns);
    TQuotedCsvSink sink(writer, width, growing);
    SplitCsvFile(source, sink, progress, pass, passes);
    sink.Finish();
    writer.Finish();
    background.Finish();
}

// Writes the target in one pass over the source into `file`, not yet
// committed. With
// `growing`, the width is learnt on the way and ECsvWidthGrew ends the pass
// when a row is wider than rows already written; otherwise every row is
// filled up to `width`. Without `bytes`, the source is split as UTF-16
// whatever its code page.
void WriteTarget(const std::u16string& source, TCodePage sourceCodePage, bool bytes,
                 const TColumnSet& quoteColumns, std::int32_t encoding, TSafeFileWriter& file,
                 const TProgressCallback& progress, std::size_t width, bool growing, unsigned pass,
                 unsigned passes) {
    try {
        if (!bytes || !WriteFromBytes(source, sourceCodePage, quoteColumns, encoding, file, progress, width,
                                      growing, pass, passes))
            WriteFromUtf16(source, quoteColumns, encoding, file, progress, width, growing, pass, passes);
    } catch (const EAbort&) {
        throw;
    } catch (const EWriteError&) {
        throw;
    } catch (const ECsvWidthGrew&) {
        throw;
    } catch (const ETextNotAscii&) {
        throw;
    } catch (...) {
        throw Exception(messages::CsvReadFailed);
    }
}

// Replaces the target with what `file` holds, once the source is seen to be
// what it was when the conversion began: a source written to meanwhile
// (which nothing keeps other programs from on POSIX) may have given rows of
// two versions of it.
void Commit(TSafeFileWriter& file, const std::u16string& source, const std::optional<TFileStamp>& stamp) {
    if (FileStampOf(source) != stamp) throw Exception(messages::CsvReadFailed);
    file.Commit();
}

// The conversion, in one pass when the width can be learnt on the way.
void Convert(const std::u16string& source, const std::optional<TFileStamp>& stamp, TCodePage codePage,
             bool bytes, const TColumnSet& quoteColumns, std::int32_t encoding, const std::u16string& target,
             const TProgressCallback& progress) {
    // The target goes to a temporary file, which replaces it only after the
    // source has been read to its end and closed.
    auto file = std::make_unique<TSafeFileWriter>(target);
    if (file->IsDirect()) {
        // What goes into a pipe or a descriptor cannot be taken back: the
        // width is found first, and a source taken byte by byte is split as
        // UTF-16 from the start, so that the one pass never starts over.
        TCsvShape shape;
        if (!ReadCsvShape(source, shape, progress, false, 0, 2)) throw Exception(messages::CsvReadFailed);
        WriteTarget(source, codePage, bytes && codePage != CP_NONE, quoteColumns, encoding, *file, progress,
                    shape.ColCount, false, 1, 2);
        Commit(*file, source, stamp);
        return;
    }
    // Most files have rows of one width, or their widest row first: one pass
    // learns the width as it goes. Otherwise every row is filled up to the
    // widest, in a new temporary file: the first pass reads on for its width
    // where it can, else the width is found first.
    std::size_t width = 0;
    try {
        WriteTarget(source, codePage, bytes, quoteColumns, encoding, *file, progress, 0, true, 0, 1);
        Commit(*file, source, stamp);
        return;
    } catch (const ECsvWidthGrew& grew) {
        width = grew.Width;
    }
    file.reset();
    if (width == 0) {
        TCsvShape shape;
        if (!ReadCsvShape(source, shape, progress, false, 0, 2)) throw Exception(messages::CsvReadFailed);
        width = shape.ColCount;
    }
    file = std::make_unique<TSafeFileWriter>(target);
    WriteTarget(source, codePage, bytes, quoteColumns, encoding, *file, progress, width, false, 1, 2);
    Commit(*file, source, stamp);
}

}  // namespace

void ConvertCsvFile(const std::u16string& source, const TColumnSet& quoteColumns, std::int32_t encoding,
                    const std::u16string& target, const TProgressCallback& uiProgress) {
    CheckInterrupt();
    // Paths longer than the system takes are refused before any work (and
    // named as given: there is nothing to resolve).
    if (IsPathTooLong(source))
        throw EFOpenError(Format(messages::OpenErrorPattern, {source, PathTooLongText()}));
    if (IsPathTooLong(target))
        throw EFCreateError(Format(messages::CreateErrorPattern, {target, PathTooLongText()}));
    if (!FileExists(source)) throw EFileNotFoundException(messages::SourceNotFound);
    // A request to stop from outside (Ctrl+C, SIGTERM) ends the run between
    // two pieces, as a cancel from the window does.
    const TProgressCallback progress = [&uiProgress](std::uint64_t done, std::uint64_t total) {
        CheckInterrupt();
        if (uiProgress) uiProgress(done, total);
    };
    // A source that cannot even be opened is reported before the target is
    // touched.
    // The source as it is before it is first read.
    const std::optional<TFileStamp> stamp = FileStampOf(source);
    TCodePage codePage;
    try {
        codePage = DetectCsvFileCodePage(source);
    } catch (...) {
        throw Exception(messages::CsvReadFailed);
    }
    // A source taken byte by byte is split as bytes while they are ASCII
    // (most such files are), as UTF-16 from the start again once one is not.
    try {
        Convert(source, stamp, codePage, true, quoteColumns, encoding, target, progress);
    } catch (const ETextNotAscii&) {
        Convert(source, stamp, codePage, false, quoteColumns, encoding, target, progress);
    }
}

}  // namespace quillmark

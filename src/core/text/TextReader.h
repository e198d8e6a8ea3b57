#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/CodePage.h"
#include "base/Stream.h"
#include "text/Utf8Cleaner.h"

namespace quillmark {

// Thrown by TTextReader::ReadAs for a stream taken byte by byte (CP_NONE) at
// the first piece with a byte from 0x80 up: such a stream is to be read with
// Read instead.
struct ETextNotAscii {};

// Reads a stream's text piece by piece, decoded exactly as BytesToText
// decodes the whole content at once: the pieces joined give the same text.
// Memory stays bounded by the piece size, whatever the size of the stream.
class TTextReader {
  public:
    // Reads `length` bytes from the stream's current position (by default
    // all there are). A stream that ends before `length` bytes throws
    // EReadError, as a file that shrinks while it is read does. Without
    // `fromStart` the stream holds text from after the start of a file (at a
    // line feed, say), where a byte-order mark is a character like any other.
    TTextReader(TStream& stream, TCodePage codePage, std::size_t pieceBytes = std::size_t{1} << 20,
                std::uint64_t length = UINT64_MAX, bool fromStart = true);
    ~TTextReader();
    TTextReader(const TTextReader&) = delete;
    TTextReader& operator=(const TTextReader&) = delete;

    // Replaces `text` with the next piece; false when the stream is done.
    // A piece may be empty while the reader is not done.
    bool Read(std::u16string& text);

    // Whether ReadAs reads text of `codePage` in `target`: UTF-8 and
    // Shift_JIS in UTF-8, Shift_JIS in 932 too. Text taken byte by byte is
    // read in UTF-8 as long as its bytes are ASCII, which each stands for
    // then (see ETextNotAscii).
    static bool ReadsAs(TCodePage codePage, TCodePage target);

    // Sets `text` to the next piece in code page `target` (see ReadsAs),
    // U+0080 left out (the CSV machine drops it anyway): the text Read
    // gives, less U+0080, as `target` writes it. The view holds until the
    // next call. Without `exact`, ill-formed UTF-8 passes as it is (see
    // TUtf8Cleaner), and so may Shift_JIS read in 932: the same bytes the
    // CSV machine acts on, the same fields empty or not, for reading a
    // file's shape. A reader that began exact may be let go later (the
    // pieces before stay exact), not the other way round. Use one of Read
    // and ReadAs on a reader, not both.
    bool ReadAs(TCodePage target, std::string_view& text, bool exact = true);
    // The same piece, put into `text`: the reader's buffer changes places
    // with `text` where it can (the piece is a start of it) instead of being
    // copied, and then reads on into the string `text` held before.
    bool ReadAs(TCodePage target, std::string& text, bool exact = true);

    // Bytes taken from the stream so far.
    std::uint64_t BytesRead() const { return FBytesRead; }

  private:
    // Fills FBytes with the next raw bytes; false at the end of the stream.
    bool Fill();
    void Decode(std::string_view bytes, bool last, std::u16string& text);
    // The next raw piece, without a byte-order mark; false when done.
    bool NextPiece(std::string_view& bytes);
    // Moves or copies `view` into `text`; `view` points into `buffer`.
    static void Hand(std::string_view view, std::string& buffer, std::string& text);

    TStream& FStream;
    TCodePage FCodePage;
    std::size_t FPieceBytes;
    std::unique_ptr<TCodePageDecoder> FDecoder;
    std::unique_ptr<TUtf8Cleaner> FCleaner;
    std::unique_ptr<TShiftJisRewriter> FRewriter;
    std::string FDecoded;
    std::string FBytes;
    std::string FCarry;  // bytes of an incomplete UTF-16 or UTF-32 unit
    std::uint64_t FLength;
    std::uint64_t FBytesRead = 0;
    bool FStarted = false;
    bool FDone = false;
};

}  // namespace quillmark

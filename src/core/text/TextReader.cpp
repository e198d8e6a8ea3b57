#include "text/TextReader.h"

#include <algorithm>
#include <cstring>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/Utf.h"
#include "text/JisFix.h"
#include "text/TextLoader.h"
#include "text/UnicodeDecode.h"

namespace quillmark {

namespace {

using namespace std::string_view_literals;

// The byte-order mark BytesToText drops for a code page.
std::string_view MarkOf(TCodePage codePage) {
    switch (codePage) {
        case CP_UTF_8:
            return "\xEF\xBB\xBF"sv;
        case CP_UTF16_LE:
            return "\xFF\xFE"sv;
        case CP_UTF16_BE:
            return "\xFE\xFF"sv;
        case CP_UTF32_LE:
            return "\xFF\xFE\x00\x00"sv;
        case CP_UTF32_BE:
            return "\x00\x00\xFE\xFF"sv;
        default:
            return {};
    }
}

bool IsUnicodeUnits(TCodePage codePage) {
    return codePage == CP_UTF16_LE || codePage == CP_UTF16_BE || codePage == CP_UTF32_LE ||
           codePage == CP_UTF32_BE || codePage == CP_NONE;
}

}  // namespace

TTextReader::TTextReader(TStream& stream, TCodePage codePage, std::size_t pieceBytes, std::uint64_t length,
                         bool fromStart)
    : FStream(stream),
      FCodePage(codePage),
      FPieceBytes(pieceBytes < 4 ? 4 : pieceBytes),
      FLength(length),
      FStarted(!fromStart) {
    if (!IsUnicodeUnits(codePage)) FDecoder = TCodePageDecoder::Create(codePage);
}

TTextReader::~TTextReader() = default;

bool TTextReader::Fill() {
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(FPieceBytes, FLength - FBytesRead));
    // Room for the rest of a cut character too: buffers are handed round
    // and reused, never grown again.
    FBytes.reserve(size + 3);
    FBytes.resize(size);
    std::size_t got = 0;
    // The first piece holds at least a whole byte-order mark when the
    // stream has one.
    while (got < FBytes.size()) {
        const std::size_t read = FStream.Read(FBytes.data() + got, FBytes.size() - got);
        if (read == 0) break;
        got += read;
        if (FStarted || got >= 4) break;
    }
    // A UTF-8 piece takes the rest of a character it cuts, when the file has
    // it, so that the next piece need not be joined to what is left of this one.
    if (FCodePage == CP_UTF_8 && got == FBytes.size()) {
        const std::size_t complete = CompleteUtf8Length(std::string_view(FBytes.data(), got));
        if (complete < got) {
            const auto lead = static_cast<std::uint8_t>(FBytes[complete]);
            const std::size_t missing = (lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2) - (got - complete);
            FBytes.resize(got + missing);
            while (got < FBytes.size()) {
                const std::size_t read = FStream.Read(FBytes.data() + got, FBytes.size() - got);
                if (read == 0) break;
                got += read;
            }
        }
    }
    FBytes.resize(got);
    FBytesRead += got;
    if (got == 0 && FLength != UINT64_MAX && FBytesRead < FLength)
        throw EReadError(messages::StreamReadError);
    return got > 0;
}

bool TTextReader::NextPiece(std::string_view& bytes) {
    if (FDone) return false;
    const bool more = Fill();
    bytes = FBytes;
    if (!FStarted) {
        FStarted = true;
        if (const std::string_view mark = MarkOf(FCodePage); !mark.empty() && bytes.starts_with(mark))
            bytes.remove_prefix(mark.size());
    }
    FDone = !more;
    return true;
}

bool TTextReader::Read(std::u16string& text) {
    text.clear();
    std::string_view bytes;
    if (!NextPiece(bytes)) return false;
    Decode(bytes, FDone, text);
    return true;
}

bool TTextReader::ReadsAs(TCodePage codePage, TCodePage target) {
    if (target == CP_UTF_8) return codePage == CP_UTF_8 || codePage == CP_SHIFT_JIS || codePage == CP_NONE;
    return target == CP_SHIFT_JIS && codePage == CP_SHIFT_JIS;
}

bool TTextReader::ReadAs(TCodePage target, std::string& text, bool exact) {
    std::string_view view;
    if (!ReadAs(target, view, exact)) return false;
    if (view.data() == FBytes.data()) {
        Hand(view, FBytes, text);
    } else if (view.data() == FDecoded.data()) {
        Hand(view, FDecoded, text);
    } else {
        text.assign(view);
    }
    return true;
}

void TTextReader::Hand(std::string_view view, std::string& buffer, std::string& text) {
    // Nothing else looks into the buffer once a piece is made: what a
    // cleaner keeps for the next piece it has copied.
    buffer.resize(view.size());
    std::swap(buffer, text);
}

namespace {

// Whether Shift_JIS bytes, read as they are, split as the 932 text they
// rewrite to, field for field. The rewriting changes no byte the CSV
// machine acts on and leaves no character out but U+0080, which a byte 0x80
// alone stands for. A byte 0x80 right after one from 0x81 up is either the
// second byte of a pair or comes right after a character that is content:
// the field holds content either way, and no mark or separator is next to
// another for its leaving out.
bool ReadsAsRewritten(std::string_view bytes) {
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    for (const char* at = begin;; ++at) {
        at = static_cast<const char*>(std::memchr(at, 0x80, static_cast<std::size_t>(end - at)));
        if (at == nullptr) return true;
        if (at == begin || static_cast<std::uint8_t>(at[-1]) < 0x81) return false;
    }
}

}  // namespace

bool TTextReader::ReadAs(TCodePage target, std::string_view& text, bool exact) {
    text = {};
    std::string_view bytes;
    if (!NextPiece(bytes)) return false;
    if (FCodePage == CP_NONE) {
        if (SevenBitRun(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) != bytes.size())
            throw ETextNotAscii();
        text = bytes;
        return true;
    }
    if (target != CP_UTF_8) {
        if (!exact && ReadsAsRewritten(bytes)) {
            text = bytes;
            return true;
        }
        if (!FRewriter) FRewriter = std::make_unique<TShiftJisRewriter>();
        text = FRewriter->RewriteView(bytes, FDone, FDecoded);
        return true;
    }
    // Decoded Shift_JIS is well formed: only U+0080 has to go.
    if (!FCleaner) FCleaner = std::make_unique<TUtf8Cleaner>(!exact || FCodePage != CP_UTF_8);
    if (!exact) FCleaner->LetGo();
    if (FCodePage == CP_UTF_8) {
        text = FCleaner->Clean(bytes, FDone);
    } else {
        FDecoded.clear();
        FDecoder->DecodeUtf8(bytes, FDone, FDecoded);
        text = FCleaner->Clean(FDecoded, FDone);
    }
    return true;
}

void TTextReader::Decode(std::string_view bytes, bool last, std::u16string& text) {
    switch (FCodePage) {
        case CP_NONE:
            text = MecsStretchElement(bytes);
            return;
        case CP_UTF16_LE:
        case CP_UTF16_BE:
        case CP_UTF32_LE:
        case CP_UTF32_BE: {
            const std::size_t unitSize = FCodePage == CP_UTF16_LE || FCodePage == CP_UTF16_BE ? 2 : 4;
            const bool bigEndian = FCodePage == CP_UTF16_BE || FCodePage == CP_UTF32_BE;
            // Complete the unit cut by the end of the previous piece.
            while (!FCarry.empty() && FCarry.size() < unitSize && !bytes.empty()) {
                FCarry.push_back(bytes.front());
                bytes.remove_prefix(1);
            }
            std::string_view whole = bytes.substr(0, bytes.size() / unitSize * unitSize);
            std::string carried;
            if (FCarry.size() == unitSize) {
                carried.swap(FCarry);
            }
            // A last incomplete unit is ignored, as in the whole-file decoding.
            if (!last && FCarry.empty()) FCarry.assign(bytes.substr(whole.size()));
            for (const std::string_view part : {std::string_view(carried), whole}) {
                if (unitSize == 2)
                    detail::AppendUtf16Units(part, bigEndian, text);
                else
                    detail::AppendUtf32Units(part, bigEndian, text);
            }
            return;
        }
        default:
            break;
    }
    if (!FDecoder) return;  // an unsupported code page gives no text at all
    FDecoder->Decode(bytes, last, text);
    if (IsJisFamilyCodePage(FCodePage)) detail::FixJisX0208InPlace(text);
}

}  // namespace quillmark

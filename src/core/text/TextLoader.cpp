#include "text/TextLoader.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <utility>

#include "text/EncodeDetect.h"
#include "text/JisFix.h"
#include "text/UnicodeDecode.h"

namespace quillmark {

namespace {

using namespace std::string_view_literals;

// The whole-stream read goes in pieces of this size, telling the progress
// callback after each one.
constexpr std::size_t kReadChunkSize = std::size_t{4} << 20;

std::size_t ToMemorySize(std::uint64_t size) {
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
        if (size > std::numeric_limits<std::size_t>::max()) throw std::bad_alloc();
    }
    return static_cast<std::size_t>(size);
}

std::string_view WithoutMark(std::string_view bytes, std::string_view mark) {
    if (bytes.starts_with(mark)) bytes.remove_prefix(mark.size());
    return bytes;
}

}  // namespace

std::u16string StreamToText(TStream& stream, const TProgressCallback& progress) {
    const TCodePage codePage = DetectStreamCodePage(stream);
    const std::string bytes = StreamToRawBytes(stream, progress);
    return BytesToText(bytes, codePage);
}

TCodePage DetectStreamCodePage(TStream& stream) {
    const std::uint64_t size = stream.Size();
    const std::int32_t sampleSize = size < static_cast<std::uint64_t>(kDetectionSampleSize)
                                        ? static_cast<std::int32_t>(size)
                                        : kDetectionSampleSize;
    stream.Seek(0);
    return EncodingToCodePage(CheckEncoding(stream, sampleSize, {}));
}

TCodePage EncodingToCodePage(std::int32_t encoding) {
    switch (encoding) {
        case enShiftJIS:
            return CP_SHIFT_JIS;
        case enEUCJP:
            return CP_EUC_JP;
        case enISO2022JP:
            return CP_ISO_2022_JP;
        case enUTF16LE:
            return CP_UTF16_LE;
        case enUTF16BE:
            return CP_UTF16_BE;
        case enUTF8:
        case enUTF8BOM:
            return CP_UTF_8;
        case enUTF32LE:
            return CP_UTF32_LE;
        case enUTF32BE:
            return CP_UTF32_BE;
        default:
            // Undetermined, and UTF-7 too: such text is taken byte for byte.
            return CP_NONE;
    }
}

std::string StreamToRawBytes(TStream& stream, const TProgressCallback& progress) {
    stream.Seek(0);
    const std::uint64_t size = stream.Size();
    std::string bytes(ToMemorySize(size), '\0');
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t chunk = std::min(kReadChunkSize, bytes.size() - done);
        stream.ReadBuffer(bytes.data() + done, chunk);
        done += chunk;
        if (progress) progress(done, size);
    }
    return bytes;
}

std::u16string BytesToText(std::string_view bytes, TCodePage codePage) {
    switch (codePage) {
        case CP_UTF_8:
            return AnsiToUTF16(WithoutMark(bytes, "\xEF\xBB\xBF"sv), codePage);
        case CP_UTF16_LE:
        case CP_UTF16_BE: {
            const bool bigEndian = codePage == CP_UTF16_BE;
            const std::string_view units = WithoutMark(bytes, bigEndian ? "\xFE\xFF"sv : "\xFF\xFE"sv);
            std::u16string text;
            detail::AppendUtf16Units(units.substr(0, units.size() / 2 * 2), bigEndian, text);
            return text;
        }
        case CP_UTF32_LE:
        case CP_UTF32_BE: {
            const bool bigEndian = codePage == CP_UTF32_BE;
            const std::string_view units =
                WithoutMark(bytes, bigEndian ? "\x00\x00\xFE\xFF"sv : "\xFF\xFE\x00\x00"sv);
            std::u16string text;
            detail::AppendUtf32Units(units.substr(0, units.size() / 4 * 4), bigEndian, text);
            return text;
        }
        case CP_NONE:
            return MecsStretchElement(bytes);
        default:
            break;
    }
    std::u16string text = AnsiToUTF16(bytes, codePage);
    if (IsJisFamilyCodePage(codePage)) detail::FixJisX0208InPlace(text);
    return text;
}

std::u16string AnsiToUTF16(std::string_view bytes, TCodePage codePage) {
    if (bytes.empty()) return {};
    std::optional<std::u16string> text = MultiByteToWideChar(codePage, bytes);
    return text ? std::move(*text) : std::u16string();
}

std::u16string MecsStretchElement(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [](char byte) { return static_cast<char16_t>(static_cast<std::uint8_t>(byte)); });
    return text;
}

}  // namespace quillmark

#include "base/CodePageIcu.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <array>
#include <bitset>

#include "base/BestFit.h"
#include "base/CodePageCache.h"
#include "base/Utf.h"

namespace quillmark {

namespace {

struct TConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using TConverterPtr = std::unique_ptr<UConverter, TConverterClose>;

TConverterPtr OpenConverter(TCodePage codePage) {
    const char* name = IcuConverterName(codePage);
    if (name == nullptr) return nullptr;
    UErrorCode status = U_ZERO_ERROR;  // ambiguous-alias warnings are fine
    TConverterPtr converter(ucnv_open(name, &status));
    return U_FAILURE(status) ? nullptr : std::move(converter);
}

// Windows decodes what 932 does not define the way its table says: 80 and
// A0 to themselves or the private area, FD-FF to U+F8F1-F8F3, and any other
// bad or incomplete sequence to the default character U+30FB, after which a
// bad trail byte is decoded on its own.
void U_CALLCONV ToUnicode932(const void*, UConverterToUnicodeArgs* args, const char* units, int32_t length,
                             UConverterCallbackReason reason, UErrorCode* error) {
    if (reason > UCNV_IRREGULAR) return;  // reset, close, clone
    *error = U_ZERO_ERROR;
    UChar unit = 0x30FB;
    const auto byte = static_cast<std::uint8_t>(units[0]);
    if (length == 1) {
        if (byte == 0x80)
            unit = 0x80;
        else if (byte == 0xA0)
            unit = 0xF8F0;
        else if (byte >= 0xFD)
            unit = static_cast<UChar>(0xF8F1 + (byte - 0xFD));
    }
    ucnv_cbToUWriteUChars(args, &unit, 1, 0, error);
}

// One '?' per UTF-16 unit of anything the code page cannot hold: ICU would
// write nothing for default-ignorable characters and a single '?' for a
// supplementary one.
void U_CALLCONV FromUnicodeQuestion(const void*, UConverterFromUnicodeArgs* args, const UChar*,
                                    int32_t length, UChar32, UConverterCallbackReason reason,
                                    UErrorCode* error) {
    if (reason > UCNV_IRREGULAR) return;
    *error = U_ZERO_ERROR;
    static constexpr char kQuestions[] = "????";
    ucnv_cbFromUWriteBytes(args, kQuestions, std::clamp(length, 1, 4), 0, error);
}

// ICU's IBM tables rotate three controls in 932: 1A <-> U+001C, 1C <-> U+007F,
// 7F <-> U+001A. Windows maps them straight through.
void UndoControlRotation(char16_t* begin, char16_t* end) {
    for (char16_t* unit = begin; unit != end; ++unit) {
        if (*unit == 0x1C)
            *unit = 0x1A;
        else if (*unit == 0x7F)
            *unit = 0x1C;
        else if (*unit == 0x1A)
            *unit = 0x7F;
    }
}

class TIcuDecoder final : public TCodePageDecoder {
  public:
    TIcuDecoder(TConverterPtr converter, TCodePage codePage)
        : Converter(std::move(converter)), Is932(codePage == CP_SHIFT_JIS) {
        if (Is932) {
            UErrorCode status = U_ZERO_ERROR;
            ucnv_setToUCallBack(Converter.get(), ToUnicode932, nullptr, nullptr, nullptr, &status);
        }
    }

    void Decode(std::string_view bytes, bool flush, std::u16string& out) override {
        const char* source = bytes.data();
        const char* const sourceEnd = source + bytes.size();
        const std::size_t start = out.size();
        for (;;) {
            const std::size_t used = out.size();
            out.resize(used + static_cast<std::size_t>(sourceEnd - source) + 16);
            auto* target = reinterpret_cast<UChar*>(out.data() + used);
            auto* const targetEnd = reinterpret_cast<UChar*>(out.data() + out.size());
            UErrorCode status = U_ZERO_ERROR;
            ucnv_toUnicode(Converter.get(), &target, targetEnd, &source, sourceEnd, nullptr, flush, &status);
            out.resize(static_cast<std::size_t>(reinterpret_cast<char16_t*>(target) - out.data()));
            if (status != U_BUFFER_OVERFLOW_ERROR) break;
        }
        if (Is932) UndoControlRotation(out.data() + start, out.data() + out.size());
    }

  private:
    TConverterPtr Converter;
    bool Is932;
};

class TSingleByteDecoder final : public TCodePageDecoder {
  public:
    explicit TSingleByteDecoder(const char16_t* table) : Table(table) {}

    void Decode(std::string_view bytes, bool, std::u16string& out) override {
        const std::size_t used = out.size();
        out.resize(used + bytes.size());
        char16_t* target = out.data() + used;
        for (const char byte : bytes)
            *target++ = Table[static_cast<std::uint8_t>(byte)];
    }

  private:
    const char16_t* Table;
};

class TUtf8Encoder final : public TCodePageEncoder {
  public:
    void Encode(std::u16string_view text, bool flush, std::string& out) override {
        if (Pending != 0 && !text.empty()) {
            const char16_t pair[2] = {Pending, text.front()};
            const bool paired = text.front() >= 0xDC00 && text.front() <= 0xDFFF;
            AppendUtf16AsUtf8(std::u16string_view(pair, paired ? 2 : 1), out);
            if (paired) text.remove_prefix(1);
            Pending = 0;
        }
        if (!flush && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
            Pending = text.back();
            text.remove_suffix(1);
        }
        AppendUtf16AsUtf8(text, out);
        if (flush && Pending != 0) {
            AppendUtf16AsUtf8(std::u16string_view(&Pending, 1), out);
            Pending = 0;
        }
    }

  private:
    char16_t Pending = 0;
};

class TIcuEncoder final : public TCodePageEncoder {
  public:
    TIcuEncoder(TConverterPtr converter, const TBestFitPage* page) : Converter(std::move(converter)) {
        ucnv_setFallback(Converter.get(), false);
        UErrorCode status = U_ZERO_ERROR;
        ucnv_setFromUCallBack(Converter.get(), FromUnicodeQuestion, nullptr, nullptr, nullptr, &status);
        if (page != nullptr) {
            Fixes = page->EncodeFixes;
            FixCount = page->EncodeFixCount;
            for (std::size_t i = 0; i < FixCount; ++i)
                FixUnits.set(Fixes[i].Unit);
        }
    }

    void Encode(std::u16string_view text, bool flush, std::string& out) override {
        std::size_t start = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (!FixUnits.test(text[i])) continue;
            // Flushing first turns a high surrogate held from before into '?'.
            Convert(text.substr(start, i - start), true, out);
            const TEncodeFix* fix =
                std::lower_bound(Fixes, Fixes + FixCount, text[i],
                                 [](const TEncodeFix& f, char16_t unit) { return f.Unit < unit; });
            out.append(fix->Bytes, fix->Length);
            start = i + 1;
        }
        Convert(text.substr(start), flush, out);
    }

  private:
    void Convert(std::u16string_view text, bool flush, std::string& out) {
        const auto* source = reinterpret_cast<const UChar*>(text.data());
        const auto* const sourceEnd = source + text.size();
        for (;;) {
            const std::size_t used = out.size();
            out.resize(used + 2 * static_cast<std::size_t>(sourceEnd - source) + 16);
            char* target = out.data() + used;
            char* const targetEnd = out.data() + out.size();
            UErrorCode status = U_ZERO_ERROR;
            ucnv_fromUnicode(Converter.get(), &target, targetEnd, &source, sourceEnd, nullptr, flush,
                             &status);
            out.resize(static_cast<std::size_t>(target - out.data()));
            if (status != U_BUFFER_OVERFLOW_ERROR) break;
        }
    }

    TConverterPtr Converter;
    const TEncodeFix* Fixes = nullptr;
    std::size_t FixCount = 0;
    std::bitset<0x10000> FixUnits;
};

bool IsAnsiCodePage(TCodePage codePage) {
    return codePage == 874 || codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           (codePage >= 1250 && codePage <= 1258);
}

}  // namespace

const char* IcuConverterName(TCodePage codePage) {
    static constexpr std::array<const char*, 9> kWindows125x{"windows-1250", "windows-1251", "windows-1252",
                                                             "windows-1253", "windows-1254", "windows-1255",
                                                             "windows-1256", "windows-1257", "windows-1258"};
    switch (codePage) {
        case 932:
            return "windows-31j";
        case 936:
            return "windows-936";
        case 949:
            return "windows-949";
        case 950:
            return "windows-950";
        case 874:
            return "windows-874";
        case 20932:
        case 51932:
            return "EUC-JP";
        case 50220:
        case 50221:
        case 50222:
            return "ISO-2022-JP";
        case CP_UTF_8:
            return "UTF-8";
        default:
            break;
    }
    if (codePage >= 1250 && codePage <= 1258) return kWindows125x[codePage - 1250];
    return nullptr;
}

std::string EncodeWithoutFixes(TCodePage codePage, std::u16string_view text) {
    std::string out;
    if (auto converter = OpenConverter(codePage))
        TIcuEncoder(std::move(converter), nullptr).Encode(text, true, out);
    return out;
}

std::unique_ptr<TCodePageDecoder> CreateExactDecoder(TCodePage codePage) {
    if (const TBestFitPage* page = FindBestFitPage(codePage); page != nullptr && page->Decode != nullptr)
        return std::make_unique<TSingleByteDecoder>(page->Decode);
    if (auto converter = OpenConverter(codePage))
        return std::make_unique<TIcuDecoder>(std::move(converter), codePage);
    return nullptr;
}

std::unique_ptr<TCodePageEncoder> CreateExactEncoder(TCodePage codePage) {
    if (codePage == CP_UTF_8) return std::make_unique<TUtf8Encoder>();
    if (!IsAnsiCodePage(codePage)) return nullptr;
    if (auto converter = OpenConverter(codePage))
        return std::make_unique<TIcuEncoder>(std::move(converter), FindBestFitPage(codePage));
    return nullptr;
}

}  // namespace quillmark

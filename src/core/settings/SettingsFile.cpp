#include "settings/SettingsFile.h"

#include <optional>
#include <string_view>

#include "base/CodePage.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "settings/FileName.h"
#include "settings/IniFile.h"
#include "settings/QuoteColumns.h"
#include "settings/StrToIntDef.h"

namespace quillmark {

namespace {

using namespace std::string_view_literals;

constexpr std::u16string_view kFileSection = u"FILE";
constexpr std::u16string_view kCsvSection = u"CSV";

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF"sv;
constexpr std::string_view kUtf16LeMark = "\xFF\xFE"sv;
constexpr std::string_view kUtf16BeMark = "\xFE\xFF"sv;

struct TLoadedFile {
    TIniFile Ini;
    TSettingsFileEncoding Encoding = TSettingsFileEncoding::Ansi;
};

// The existing file at `path`, or nothing when there is none.
TLoadedFile LoadSettingsFile(const std::u16string& path) {
    if (!FileExists(path)) return {};
    TFileStream stream(path);
    std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
    bytes.resize(stream.Read(bytes.data(), bytes.size()));
    const TSettingsFileEncoding encoding = SettingsFileEncodingOf(bytes);
    return {TIniFile::Parse(DecodeSettingsFile(bytes, encoding)), encoding};
}

// "0x" or "0X" and at least one more character: hexadecimal digits.
std::int32_t ReadInteger(const TIniFile& ini, std::u16string_view section, std::u16string_view key,
                         std::int32_t fallback) {
    const std::u16string value = ini.ReadString(section, key, u"");
    if (value.size() > 2 && value[0] == u'0' && (value[1] == u'x' || value[1] == u'X'))
        return StrToIntDef(u"$" + value.substr(2), fallback);
    return StrToIntDef(value, fallback);
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto first = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto second = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        text[i] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return text;
}

std::string EncodeUtf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    bytes.reserve(2 * text.size());
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

// Bytes that are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF) with at least one character past ASCII.
bool IsNonAsciiUtf8(std::string_view bytes) {
    bool nonAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        std::size_t length;
        std::uint8_t low = 0x80, high = 0xBF;  // bounds of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (bytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(bytes[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
        }
        i += length;
    }
    return nonAscii;
}

}  // namespace

TSettingsFileEncoding SettingsFileEncodingOf(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Mark)) return TSettingsFileEncoding::Utf8Bom;
    if (bytes.starts_with(kUtf16LeMark)) return TSettingsFileEncoding::Utf16LeBom;
    if (bytes.starts_with(kUtf16BeMark)) return TSettingsFileEncoding::Utf16BeBom;
    if (IsNonAsciiUtf8(bytes)) return TSettingsFileEncoding::Utf8;
    return TSettingsFileEncoding::Ansi;
}

TSettingsFileEncoding SettingsFileEncodingFor(std::u16string_view text, TSettingsFileEncoding encoding) {
    if (encoding != TSettingsFileEncoding::Ansi) return encoding;
    const std::optional<std::string> bytes = WideCharToMultiByte(GetACP(), text);
    const bool exact = bytes && MultiByteToWideChar(GetACP(), *bytes) == std::optional<std::u16string>(text);
    return exact ? TSettingsFileEncoding::Ansi : TSettingsFileEncoding::Utf8Bom;
}

std::u16string DecodeSettingsFile(std::string_view bytes, TSettingsFileEncoding encoding) {
    switch (encoding) {
        case TSettingsFileEncoding::Utf8Bom:
            return Utf8ToUtf16(bytes.substr(kUtf8Mark.size()));
        case TSettingsFileEncoding::Utf8:
            return Utf8ToUtf16(bytes);
        case TSettingsFileEncoding::Utf16LeBom:
            return DecodeUtf16(bytes.substr(kUtf16LeMark.size()), false);
        case TSettingsFileEncoding::Utf16BeBom:
            return DecodeUtf16(bytes.substr(kUtf16BeMark.size()), true);
        case TSettingsFileEncoding::Ansi:
            break;
    }
    return MultiByteToWideChar(GetACP(), bytes).value_or(std::u16string());
}

std::string EncodeSettingsFile(std::u16string_view text, TSettingsFileEncoding encoding) {
    switch (encoding) {
        case TSettingsFileEncoding::Utf8Bom:
            return std::string(kUtf8Mark) + Utf16ToUtf8(text);
        case TSettingsFileEncoding::Utf8:
            return Utf16ToUtf8(text);
        case TSettingsFileEncoding::Utf16LeBom:
            return std::string(kUtf16LeMark) + EncodeUtf16(text, false);
        case TSettingsFileEncoding::Utf16BeBom:
            return std::string(kUtf16BeMark) + EncodeUtf16(text, true);
        case TSettingsFileEncoding::Ansi:
            break;
    }
    return WideCharToMultiByte(GetACP(), text).value_or(std::string());
}

TConvertInfo ReadSettingsFile(const std::u16string& path) {
    return SettingsFromIni(LoadSettingsFile(path).Ini, path);
}

TConvertInfo SettingsFromIni(const TIniFile& ini, const std::u16string& path) {
    const TColumnSet columns = ParseQuoteColumns(ini.ReadString(kCsvSection, u"COL", u""));
    const std::int32_t encoding = ReadInteger(ini, kFileSection, u"ENCODING", kEncodingAnsi);
    std::u16string target = ini.ReadString(kFileSection, u"TARGET", u"");
    std::u16string source = ini.ReadString(kFileSection, u"SOURCE", u"");
    return TConvertInfo{std::move(source), std::move(target), encoding, columns, path};
}

void SettingsIntoIni(const TConvertInfo& info, TIniFile& ini) {
    const std::u16string columns = FormatQuoteColumns(info.QuoteColumns);
    ini.WriteString(kFileSection, u"SOURCE", info.SourceFileName);
    ini.WriteString(kFileSection, u"TARGET", info.TargetFileName);
    ini.WriteString(kFileSection, u"ENCODING", IntToStr(info.Encoding));
    ini.WriteString(kCsvSection, u"COL", columns);
}

void WriteSettingsFile(const TConvertInfo& info, const std::u16string& path) {
    TLoadedFile file = LoadSettingsFile(path);
    SettingsIntoIni(info, file.Ini);

    const std::u16string text = file.Ini.Format();
    TSafeFileWriter writer(path);
    writer.Write(EncodeSettingsFile(text, SettingsFileEncodingFor(text, file.Encoding)));
    writer.Commit();
}

bool IsSettingsFileName(std::u16string_view path) {
    const std::u16string extension = AnsiUpperCase(ExtractFileExt(path));
    return extension == u".QMK" || extension == u".INI";
}

}  // namespace quillmark

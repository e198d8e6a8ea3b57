// The quote-column list, the settings-file reader and the command-line
// reader on arbitrary text, with their round trips.
#include "FuzzInput.h"
#include "base/Exception.h"
#include "settings/CommandLine.h"
#include "settings/IniFile.h"
#include "settings/QuoteColumns.h"
#include "settings/SettingsFile.h"

using namespace quillmark;

namespace {

bool Blank(char16_t unit) {
    return unit <= u' ';
}

// What survives a settings file: no line break inside, nothing trimmable at the ends.
bool Storable(const std::u16string& text) {
    if (!text.empty() && (Blank(text.front()) || Blank(text.back()))) return false;
    return text.find_first_of(u"\r\n") == std::u16string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::TInput input(data, size);
    const std::uint8_t mode = input.Byte();
    const std::u16string text = input.RestAsUtf16();

    // Quote-column lists: any text parses; a non-negative set formats and parses back.
    const TColumnSet parsed = ParseQuoteColumns(text);
    TColumnSet columns;
    for (const std::int32_t column : parsed)
        if (column >= 0) columns.insert(column);
    fuzz::Check(ParseQuoteColumns(FormatQuoteColumns(columns)) == columns, "quote list round trip");

    // Settings files: any text parses; formatting is stable; a record survives.
    const TIniFile ini = TIniFile::Parse(text);
    const std::u16string formatted = ini.Format();
    fuzz::Check(TIniFile::Parse(formatted).Format() == formatted, "INI format is not stable");
    for (const auto encoding : {TSettingsFileEncoding::Ansi, TSettingsFileEncoding::Utf8Bom,
                                TSettingsFileEncoding::Utf16LeBom, TSettingsFileEncoding::Utf16BeBom}) {
        const std::string bytes = EncodeSettingsFile(formatted, encoding);
        DecodeSettingsFile(bytes, SettingsFileEncodingOf(bytes));
    }
    const std::size_t cut = text.size() / 2;
    TConvertInfo record{text.substr(0, cut), text.substr(cut), static_cast<std::int32_t>(mode) - 128, columns,
                        u"s.qmk"};
    if (Storable(record.SourceFileName) && Storable(record.TargetFileName) &&
        record.SourceFileName.find(u'\0') == std::u16string::npos &&
        record.TargetFileName.find(u'\0') == std::u16string::npos) {
        TIniFile into = (mode & 1) ? ini : TIniFile();
        SettingsIntoIni(record, into);
        const std::u16string saved = into.Format();
        const std::string bytes = EncodeSettingsFile(saved, TSettingsFileEncoding::Utf16LeBom);
        const TConvertInfo back = SettingsFromIni(
            TIniFile::Parse(DecodeSettingsFile(bytes, SettingsFileEncodingOf(bytes))), u"s.qmk");
        fuzz::Check(back == record, "settings round trip");
    }

    // Command lines: arguments split at U+0000; the only error is the argument error.
    TArguments arguments(1);
    for (const char16_t unit : text) {
        if (unit == 0)
            arguments.emplace_back();
        else
            arguments.back().push_back(unit);
    }
    try {
        ParseCommandLine(arguments);
    } catch (const EArgumentException&) {
    }
    FindCmdLineSwitch(arguments, u"auto");
    return 0;
}

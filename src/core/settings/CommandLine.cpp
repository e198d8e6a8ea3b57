#include "settings/CommandLine.h"

#include <algorithm>
#include <optional>

#include "base/FileSystem.h"
#include "settings/FileName.h"
#include "settings/QuoteColumns.h"
#include "settings/StrToIntDef.h"

namespace quillmark {
namespace {

constexpr std::u16string_view kSourcePrefix = u"/source:";
constexpr std::u16string_view kTargetPrefix = u"/target:";
constexpr std::u16string_view kEncodingPrefix = u"/encoding:";
constexpr std::u16string_view kQuotePrefix = u"/quote:";
constexpr std::u16string_view kSettingsFileExt = u".QMK";

// The text after `prefix` when `argument` starts with it, case sensitive.
std::optional<std::u16string_view> AfterPrefix(std::u16string_view argument, std::u16string_view prefix) {
    if (!argument.starts_with(prefix)) return std::nullopt;
    return argument.substr(prefix.size());
}

// ExtractFileExt throws on characters no path can hold; that is the one
// error of the reader. The file system is asked only for ".QMK" names.
bool IsSettingsFile(std::u16string_view argument) {
    return AnsiUpperCase(ExtractFileExt(argument)) == kSettingsFileExt && FileExists(argument);
}

}  // namespace

TConvertInfo ParseCommandLine(const TArguments& arguments) {
    if (arguments.empty()) return {};
    TConvertInfo info{{}, {}, kEncodingNotGiven, {kColumnsNotGiven}, {}};
    for (const std::u16string& argument : arguments) {
        if (const auto source = AfterPrefix(argument, kSourcePrefix)) {
            info.SourceFileName = *source;
        } else if (const auto target = AfterPrefix(argument, kTargetPrefix)) {
            info.TargetFileName = *target;
        } else if (const auto encoding = AfterPrefix(argument, kEncodingPrefix)) {
            info.Encoding = StrToIntDef(*encoding, kEncodingAnsi);
        } else if (const auto columns = AfterPrefix(argument, kQuotePrefix)) {
            info.QuoteColumns = ParseQuoteColumns(*columns);
        } else if (IsSettingsFile(argument)) {
            info.SettingsFileName = argument;
        }
    }
    return info;
}

bool FindCmdLineSwitch(const TArguments& arguments, std::u16string_view name) {
    const std::u16string wanted = AnsiUpperCase(name);
    return std::any_of(arguments.begin(), arguments.end(), [&wanted](std::u16string_view argument) {
        return !argument.empty() && (argument.front() == u'/' || argument.front() == u'-') &&
               AnsiUpperCase(argument.substr(1)) == wanted;
    });
}

}  // namespace quillmark

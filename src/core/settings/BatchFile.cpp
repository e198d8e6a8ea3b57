#include "settings/BatchFile.h"

#include <optional>
#include <vector>

#include "base/CodePage.h"
#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Utf.h"
#include "settings/FileName.h"
#include "settings/QuoteColumns.h"

namespace quillmark {

namespace {

struct TCommandArgument {
    std::u16string Text;
    bool Quoted;  // in the batch line
};

// The arguments after the program, in the order the batch line holds them.
std::vector<TCommandArgument> CommandArguments(const TConvertInfo& info) {
    std::vector<TCommandArgument> arguments;
    if (!info.SourceFileName.empty()) arguments.push_back({u"/source:" + info.SourceFileName, true});
    if (!info.TargetFileName.empty()) arguments.push_back({u"/target:" + info.TargetFileName, true});
    arguments.push_back({u"/encoding:" + IntToStr(info.Encoding), false});
    arguments.push_back({u"/quote:" + FormatQuoteColumns(info.QuoteColumns), true});
    arguments.push_back({u"/auto", false});
    return arguments;
}

// 'text' with every ' written as '\'' : the shell takes everything between
// single quotes literally.
std::string ShellQuoted(std::u16string_view text) {
    std::string quoted = "'";
    for (const char byte : UnicodeToNative(text)) {
        if (byte == '\'')
            quoted += "'\\''";
        else
            quoted.push_back(byte);
    }
    return quoted + "'";
}

}  // namespace

std::u16string BuildBatchCommand(std::u16string_view programPath, const TConvertInfo& info) {
    std::u16string line = AnsiQuotedStr(programPath, u'"');
    for (const TCommandArgument& argument : CommandArguments(info))
        line += u" " + (argument.Quoted ? AnsiQuotedStr(argument.Text, u'"') : argument.Text);
    // cmd.exe expands %NAME% and %0 to %9 even between quotation marks;
    // %% stands for one percent sign.
    std::u16string escaped;
    escaped.reserve(line.size());
    for (const char16_t unit : line) {
        if (unit == u'%') escaped += u'%';
        escaped += unit;
    }
    return escaped;
}

std::string BuildShellScript(std::u16string_view programPath, const TConvertInfo& info) {
    std::string script = "#!/bin/sh\nexec " + ShellQuoted(programPath);
    for (const TCommandArgument& argument : CommandArguments(info))
        script += " " + ShellQuoted(argument.Text);
    return script + "\n";
}

bool IsShellScriptName(std::u16string_view path) {
    return path.size() >= 3 && AnsiUpperCase(path.substr(path.size() - 3)) == u".SH";
}

void CheckBatchPaths(std::u16string_view programPath, const TConvertInfo& info) {
    for (const std::u16string_view path :
         {programPath, std::u16string_view(info.SourceFileName), std::u16string_view(info.TargetFileName)}) {
        const bool lineBreak = path.find_first_of(u"\r\n") != std::u16string_view::npos;
        const std::optional<std::string> bytes = WideCharToMultiByte(GetACP(), path);
        const bool exact =
            bytes && MultiByteToWideChar(GetACP(), *bytes) == std::optional<std::u16string>(path);
        if (lineBreak || !exact) throw Exception(Format(messages::BatchPathNotWritablePattern, {path}));
    }
}

void WriteBatchFile(const std::u16string& path, std::u16string_view programPath, const TConvertInfo& info) {
    const bool script = IsShellScriptName(path);
    // A path the batch line would change (a best fit, "?", a line break)
    // would convert another file: nothing is written then.
    if (!script) CheckBatchPaths(programPath, info);
    TSafeFileWriter writer(path);
    if (script) {
        // Executable as far as the umask or the folder's default access
        // control list allows; a script that is replaced keeps its mode.
        writer.SetCreationMode(0777);
        writer.Write(BuildShellScript(programPath, info));
    } else {
        writer.Write(
            WideCharToMultiByte(GetACP(), BuildBatchCommand(programPath, info)).value_or(std::string()));
    }
    writer.Commit();
}

}  // namespace quillmark

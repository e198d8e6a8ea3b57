#include "settings/BatchFile.h"

#include <vector>

#include "base/CodePage.h"
#include "base/FileSystem.h"
#include "base/Format.h"
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
    return line;
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

void WriteBatchFile(const std::u16string& path, std::u16string_view programPath, const TConvertInfo& info) {
    TSafeFileWriter writer(path);
    if (IsShellScriptName(path)) {
        writer.SetPermissions(std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                              std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                              std::filesystem::perms::others_exec);
        writer.Write(BuildShellScript(programPath, info));
    } else {
        writer.Write(
            WideCharToMultiByte(GetACP(), BuildBatchCommand(programPath, info)).value_or(std::string()));
    }
    writer.Commit();
}

}  // namespace quillmark

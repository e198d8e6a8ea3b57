#pragma once

#include <string>
#include <string_view>

#include "settings/ConvertInfo.h"

// Command files that start the program again with the same settings and
// "/auto", so that running them repeats a conversion unattended.
namespace quillmark {

// The one line of a batch file: the program, "/source:…" and "/target:…"
// when given, /encoding:N, "/quote:…" and /auto, quoted for the Windows
// command line, every "%" written "%%". SettingsFileName is not used. Example:
//   "C:\Tools\quillmark.exe" "/source:C:\My Data\in.csv"
//   "/target:C:\My Data\out.csv" /encoding:1 "/quote:0,2" /auto
// (one line, without the break).
std::u16string BuildBatchCommand(std::u16string_view programPath, const TConvertInfo& info);

// A POSIX shell script that runs the same command: "#!/bin/sh", then one
// exec line whose arguments are those of BuildBatchCommand, each quoted for
// the shell so that any path survives. In the system's byte form of names
// (UTF-8 here), ending with a line feed.
std::string BuildShellScript(std::u16string_view programPath, const TConvertInfo& info);

// True when `path` ends in ".sh" (any case): such a file gets a shell
// script instead of a batch line.
bool IsShellScriptName(std::u16string_view path);

// Throws Exception "パス "%s" にはバッチファイルに書けない文字が含まれています。"
// for the first of the program path, the source and the target that the
// ANSI code page cannot hold exactly or that holds a line break.
void CheckBatchPaths(std::u16string_view programPath, const TConvertInfo& info);

// Writes the batch file (the line in the ANSI code page, no line break) or,
// for a ".sh" name, the shell script with its execute bits set (0777 less
// the umask; a replaced script keeps its mode). The file is replaced
// atomically; on failure the old one stays as it was. Throws the error of
// CheckBatchPaths for a batch file, and EFCreateError or EWriteError with
// their messages.
void WriteBatchFile(const std::u16string& path, std::u16string_view programPath, const TConvertInfo& info);

}  // namespace quillmark

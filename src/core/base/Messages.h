#pragma once

#include <string_view>

// Every text the system shows to its users, in one place.
namespace quillmark::messages {

inline constexpr std::u16string_view SourceNotFound = u"変換元CSVファイルが見つかりません。";
inline constexpr std::u16string_view CsvReadFailed = u"CSVファイルの読み込みに失敗しました。";
inline constexpr std::u16string_view CsvSaved = u"保存しました。";
inline constexpr std::u16string_view BatchSaved = u"バッチファイルを保存しました。";
inline constexpr std::u16string_view InvalidFileNameChars = u"ファイル名に無効な文字が含まれています";
inline constexpr std::u16string_view NoVersionInfo = u"バージョン情報を取得できません";

// A stream that ends before the bytes it promised.
inline constexpr std::u16string_view StreamReadError = u"ストリームの読み込みエラー";

// Patterns for Format: the full path of the file, then the system's text.
inline constexpr std::u16string_view CreateErrorPattern = u"ファイル \"%s\" を作成できません。%s";
inline constexpr std::u16string_view OpenErrorPattern = u"ファイル %s は開けません。 %s ";
inline constexpr std::u16string_view WriteErrorPattern = u"ファイル \"%s\" に書き込めません。%s";
inline constexpr std::u16string_view ReadErrorPattern = u"ファイル \"%s\" を読み込めません。%s";

// A path that a batch file's code page cannot hold exactly, or that holds a
// line break: the batch line would name another file.
inline constexpr std::u16string_view BatchPathNotWritablePattern =
    u"パス \"%s\" にはバッチファイルに書けない文字が含まれています。";

// Label of a column entry: its letters, then its value in the first row.
inline constexpr std::u16string_view ColumnLabelPattern = u"%s列（%s）";

}  // namespace quillmark::messages

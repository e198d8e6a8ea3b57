#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace quillmark {

// Fills each "%s" of `pattern` with the next argument, in order; "%%" gives
// "%". Surplus placeholders stay empty, surplus arguments are dropped.
//
// **Example**: Format(u"%s列（%s）", {u"AB", u"日付"}) -> u"AB列（日付）".
std::u16string Format(std::u16string_view pattern, std::initializer_list<std::u16string_view> args);

// The decimal form of a signed integer: -12 -> u"-12".
std::u16string IntToStr(long long value);

// A text in quoted form: the quote, the text with each quote doubled, the
// quote. AnsiQuotedStr(u"x\"y") -> u"\"x\"\"y\"", AnsiQuotedStr(u"") -> u"\"\"".
std::u16string AnsiQuotedStr(std::u16string_view text, char16_t quote = u'"');
// Appends the quoted form of `text` to `out`.
void AppendQuotedStr(std::u16string_view text, char16_t quote, std::u16string& out);

}  // namespace quillmark

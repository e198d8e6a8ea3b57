#include "settings/IniFile.h"

#include <algorithm>

#include "settings/FileName.h"

namespace quillmark {

namespace {

std::u16string_view Trim(std::u16string_view text) {
    const auto blank = [](char16_t c) { return c <= u' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && AnsiUpperCase(a) == AnsiUpperCase(b);
}

// The first "key=value" line of `section` with that key, or nullptr.
template <class TSection>
auto FindKey(TSection& section, std::u16string_view key) -> decltype(&section.Lines.front()) {
    const auto found = std::find_if(section.Lines.begin(), section.Lines.end(), [&](const TIniLine& line) {
        return line.HasEquals && SameName(line.Key, key);
    });
    return found == section.Lines.end() ? nullptr : &*found;
}

}  // namespace

TIniFile TIniFile::Parse(std::u16string_view text) {
    TIniFile file;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view line = Trim(text.substr(start, end - start));
        start = end + (text.substr(end).starts_with(u"\r\n") ? 2 : 1);

        if (line.empty() || line.front() == u';') continue;
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            file.FSections.push_back({std::u16string(Trim(line.substr(1, line.size() - 2))), {}});
        } else if (!file.FSections.empty()) {
            const std::size_t equals = line.find(u'=');
            if (equals == std::u16string_view::npos) {
                file.FSections.back().Lines.push_back({std::u16string(line), {}, false});
            } else {
                file.FSections.back().Lines.push_back({std::u16string(Trim(line.substr(0, equals))),
                                                       std::u16string(Trim(line.substr(equals + 1))), true});
            }
        }
    }
    return file;
}

std::u16string TIniFile::Format() const {
    std::u16string text;
    for (const TIniSection& section : FSections) {
        text += u"[" + section.Name + u"]\r\n";
        for (const TIniLine& line : section.Lines) {
            text += line.Key;
            if (line.HasEquals) text += u"=" + line.Value;
            text += u"\r\n";
        }
        text += u"\r\n";
    }
    return text;
}

std::u16string TIniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                    std::u16string_view fallback) const {
    const TIniSection* found = FindSection(section);
    if (found == nullptr) return std::u16string(fallback);
    const TIniLine* line = FindKey(*found, key);
    return std::u16string(line == nullptr ? fallback : line->Value);
}

void TIniFile::WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    TIniSection* found = FindSection(section);
    if (found == nullptr) {
        FSections.push_back({std::u16string(section), {}});
        found = &FSections.back();
    }
    TIniLine line{std::u16string(key), std::u16string(value), true};
    if (TIniLine* existing = FindKey(*found, key)) {
        *existing = std::move(line);
    } else {
        found->Lines.push_back(std::move(line));
    }
}

TIniSection* TIniFile::FindSection(std::u16string_view name) {
    const auto found = std::find_if(FSections.begin(), FSections.end(),
                                    [&](const TIniSection& section) { return SameName(section.Name, name); });
    return found == FSections.end() ? nullptr : &*found;
}

const TIniSection* TIniFile::FindSection(std::u16string_view name) const {
    return const_cast<TIniFile*>(this)->FindSection(name);
}

}  // namespace quillmark

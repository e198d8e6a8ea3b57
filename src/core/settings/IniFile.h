#pragma once

#include <string>
#include <string_view>
#include <vector>

// The INI text of settings files, kept whole so that re-saving a file keeps
// the sections and keys this program does not know.
namespace quillmark {

struct TIniLine {
    std::u16string Key;  // trimmed; for a line without "=", the whole line
    std::u16string Value;
    bool HasEquals = false;

    bool operator==(const TIniLine&) const = default;
};

struct TIniSection {
    std::u16string Name;
    std::vector<TIniLine> Lines;

    bool operator==(const TIniSection&) const = default;
};

class TIniFile {
  public:
    // Lines end at CR LF, CR or LF and are trimmed of codes 0 to 32; empty
    // lines, ";" comments and lines before the first "[section]" are
    // dropped. Key and value split at the first "=", each trimmed again.
    static TIniFile Parse(std::u16string_view text);

    // Each section as "[name]", its lines as "key=value", then an empty
    // line; every line ends with CR LF.
    std::u16string Format() const;

    // The value of the first line with `key` in the first section called
    // `section` (names compared without regard to case), or `fallback`.
    std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view fallback) const;

    // Replaces the first line with `key` in the first such section, or
    // appends the line to it; a missing section is appended at the end.
    void WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value);

    const std::vector<TIniSection>& Sections() const { return FSections; }

  private:
    TIniSection* FindSection(std::u16string_view name);
    const TIniSection* FindSection(std::u16string_view name) const;

    std::vector<TIniSection> FSections;
};

}  // namespace quillmark

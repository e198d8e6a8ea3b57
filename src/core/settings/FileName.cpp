#include "settings/FileName.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/Messages.h"

namespace quillmark {
namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// The index of the last separator, or npos.
std::size_t LastSeparator(std::u16string_view path) {
    return path.find_last_of(u"\\/");
}

// The index of the "." that starts the extension, or npos.
std::size_t ExtensionStart(std::u16string_view path) {
    const std::size_t found = path.find_last_of(u".\\/");
    return found != std::u16string_view::npos && path[found] == u'.' ? found : std::u16string_view::npos;
}

// Blocks where capital and small letters alternate, each starting with a
// capital: the small letter follows its capital.
struct TAlternatingBlock {
    char16_t First;
    char16_t Last;
};
constexpr TAlternatingBlock kAlternatingBlocks[] = {
    {0x0100, 0x012F}, {0x0132, 0x0137}, {0x0139, 0x0148}, {0x014A, 0x0177},  // Latin Extended-A
    {0x0179, 0x017E}, {0x01CD, 0x01DC}, {0x01DE, 0x01EF}, {0x01F4, 0x01F5},  // Latin Extended-B
    {0x01F8, 0x021F}, {0x0222, 0x0233}, {0x0246, 0x024F},                    //
    {0x03D8, 0x03EF},                                                        // Greek
    {0x0460, 0x0481}, {0x048A, 0x04BF}, {0x04C1, 0x04CE}, {0x04D0, 0x052F},  // Cyrillic
    {0x1E00, 0x1E95}, {0x1EA0, 0x1EFF},                                      // Latin Extended Additional
};

// The capitals of the digraphs DŽ, LJ, NJ and DZ, each followed by its title
// case and small forms, which both upper-case to it.
constexpr char16_t kDigraphCapitals[] = {0x01C4, 0x01C7, 0x01CA, 0x01F1};

char16_t UpperChar(char16_t c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
    // Latin-1: U+00F7 is the division sign; U+00FF's capital sits in Extended-A.
    if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) return static_cast<char16_t>(c - 0x20);
    if (c == 0x00FF) return 0x0178;
    for (const TAlternatingBlock& block : kAlternatingBlocks) {
        if (c >= block.First && c <= block.Last)
            return (c - block.First) % 2 == 1 ? static_cast<char16_t>(c - 1) : c;
    }
    for (const char16_t capital : kDigraphCapitals) {
        if (c == capital + 1 || c == capital + 2) return capital;
    }
    // Greek: the tonos vowels sit apart from the plain ones; final sigma is sigma.
    if ((c >= 0x03B1 && c <= 0x03C1) || (c >= 0x03C3 && c <= 0x03CB)) return static_cast<char16_t>(c - 0x20);
    if (c == 0x03C2) return 0x03A3;
    if (c == 0x03AC) return 0x0386;
    if (c >= 0x03AD && c <= 0x03AF) return static_cast<char16_t>(c - 0x25);
    if (c == 0x03CC) return 0x038C;
    if (c == 0x03CD || c == 0x03CE) return static_cast<char16_t>(c - 0x3F);
    // Cyrillic: а..я, then ѐ..џ whose capitals come before А.
    if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);
    if (c == 0x04CF) return 0x04C0;
    // Full-width ａ..ｚ.
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
    return c;
}

}  // namespace

bool HasInvalidPathChars(std::u16string_view path) {
    return std::any_of(path.begin(), path.end(), [](char16_t c) {
        return c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|';
    });
}

std::u16string ExtractFileExt(std::u16string_view path) {
    if (HasInvalidPathChars(path)) throw EArgumentException(messages::InvalidFileNameChars);
    const std::size_t start = ExtensionStart(path);
    return start == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(start));
}

std::u16string AnsiUpperCase(std::u16string_view text) {
    std::u16string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperChar);
    return upper;
}

std::u16string ChangeFileExt(std::u16string_view path, std::u16string_view extension) {
    std::u16string changed(path.substr(0, ExtensionStart(path)));
    changed += extension;
    return changed;
}

std::u16string ExtractFileDir(std::u16string_view path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::u16string_view::npos) return {};
    // The separator stays when it is the root: "/", "\", "C:\", "//".
    const bool root = separator == 0 || IsSeparator(path[separator - 1]) || path[separator - 1] == u':';
    return std::u16string(path.substr(0, root ? separator + 1 : separator));
}

std::u16string ExtractFileName(std::u16string_view path) {
    const std::size_t separator = LastSeparator(path);
    return std::u16string(separator == std::u16string_view::npos ? path : path.substr(separator + 1));
}

}  // namespace quillmark

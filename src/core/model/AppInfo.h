#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The program's version data, read the way Windows reads a version
// resource: a translation table and string tables addressed by sub-block
// paths such as "\StringFileInfo\041103A4\FileVersion".
namespace quillmark {

struct TVersionResource {
    // The translation table: language in the low 16 bits, code page in the high.
    std::uint32_t Translation = 0;
    // Sub-block path -> value.
    std::map<std::u16string, std::u16string> Strings;
};

// The version data this program carries (on Windows: read from its version
// resource with GetFileVersionInfoW), or nullptr when there is none.
const TVersionResource* EmbeddedVersionResource();

// "\StringFileInfo\041103A4\FileVersion" for the translation 0x03A40411
// and the key "FileVersion".
std::u16string StringTablePath(std::uint32_t translation, std::u16string_view key);

// The eleven keys of the string table, in the order of TAppInfoKind.
const std::array<std::u16string_view, 11>& VersionKeys();

// The value at a sub-block path (VerQueryValueW), or nothing.
std::optional<std::u16string> VerQueryValue(const TVersionResource& resource, std::u16string_view subBlock);

enum TAppInfoKind : int {
    aiComments = 0,
    aiCompanyName = 1,
    aiFileDescription = 2,
    aiFileVersion = 3,
    aiInternalName = 4,
    aiLegalCopyright = 5,
    aiLegalTradeMarks = 6,
    aiOriginalFilename = 7,
    aiPrivateBuild = 8,
    aiProductName = 9,
    aiProductVersion = 10,
};

class TAppInfo {
  public:
    // Reads the running program's version data. Throws Exception
    // "バージョン情報を取得できません" when there is none.
    TAppInfo();
    // Reads `resource` instead; nullptr throws as above.
    explicit TAppInfo(const TVersionResource* resource);

    // The value of a kind in the string table of the first translation:
    // GetInfo(aiFileVersion) reads "\StringFileInfo\041103A4\FileVersion".
    // Empty when the table does not hold it, and for kinds outside 0..10.
    std::u16string GetInfo(int kind) const;

    std::uint32_t Translation() const { return FTranslation; }

  private:
    std::uint32_t FTranslation = 0;
    std::unique_ptr<TVersionResource> FVersionData;
};

// The maker's web page, which the about boxes show and open.
inline constexpr std::u16string_view kMakerWebPage = u"https://github.com/quillmark/quillmark";

}  // namespace quillmark

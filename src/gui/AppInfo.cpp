#include "gui/AppInfo.h"

#include <array>
#include <cstdio>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/Utf.h"

namespace quillmark {

namespace {

constexpr std::array<std::u16string_view, 11> kKeys = {
    u"Comments",     u"CompanyName",    u"FileDescription", u"FileVersion",
    u"InternalName", u"LegalCopyright", u"LegalTradeMarks", u"OriginalFilename",
    u"PrivateBuild", u"ProductName",    u"ProductVersion"};

std::u16string StringTablePath(std::uint32_t translation, std::u16string_view key) {
    char block[16];
    std::snprintf(block, sizeof block, "%04X%04X", translation & 0xFFFF, translation >> 16);
    return u"\\StringFileInfo\\" + Utf8ToUtf16(block) + u"\\" + std::u16string(key);
}

}  // namespace

const TVersionResource* EmbeddedVersionResource() {
    static const TVersionResource resource = [] {
        // Japanese, code page 932: the one string table of the program.
        constexpr std::uint32_t kTranslation = 0x0411 | 0x03A4 << 16;
        const std::pair<std::u16string_view, std::u16string> values[] = {
            {u"Comments", u"Quillmark"},
            {u"CompanyName", u"The Quillmark authors"},
            {u"FileDescription", u"Quillmark"},
            {u"FileVersion", Utf8ToUtf16(QUILLMARK_FILE_VERSION)},
            {u"InternalName", u""},
            {u"LegalCopyright", u"The Quillmark authors"},
            {u"LegalTradeMarks", u""},
            {u"OriginalFilename", u""},
            {u"PrivateBuild", u""},
            {u"ProductName", u"Quillmark"},
            {u"ProductVersion", u"1.0.0.0"},
        };
        TVersionResource data;
        data.Translation = kTranslation;
        for (const auto& [key, value] : values)
            data.Strings[StringTablePath(kTranslation, key)] = value;
        return data;
    }();
    return &resource;
}

std::optional<std::u16string> VerQueryValue(const TVersionResource& resource, std::u16string_view subBlock) {
    const auto found = resource.Strings.find(std::u16string(subBlock));
    if (found == resource.Strings.end()) return std::nullopt;
    return found->second;
}

TAppInfo::TAppInfo() : TAppInfo(EmbeddedVersionResource()) {}

TAppInfo::TAppInfo(const TVersionResource* resource) {
    if (resource == nullptr) throw Exception(messages::NoVersionInfo);
    FVersionData = std::make_unique<TVersionResource>(*resource);
    FTranslation = FVersionData->Translation;
}

std::u16string TAppInfo::GetInfo(int kind) const {
    const std::u16string_view key = kind >= 0 && kind < static_cast<int>(kKeys.size()) ? kKeys[kind] : u"";
    return VerQueryValue(*FVersionData, StringTablePath(FTranslation, key)).value_or(std::u16string());
}

}  // namespace quillmark

#include "model/AppInfo.h"

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

}  // namespace

std::u16string StringTablePath(std::uint32_t translation, std::u16string_view key) {
    char block[16];
    std::snprintf(block, sizeof block, "%04X%04X", translation & 0xFFFF, translation >> 16);
    return u"\\StringFileInfo\\" + Utf8ToUtf16(block) + u"\\" + std::u16string(key);
}

const std::array<std::u16string_view, 11>& VersionKeys() {
    return kKeys;
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

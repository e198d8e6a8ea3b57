#include <utility>

#include "base/Utf.h"
#include "model/AppInfo.h"

namespace quillmark {

// Linux programs carry no version resource: the data a Windows build
// compiles into its resource is kept here as a table.
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

}  // namespace quillmark

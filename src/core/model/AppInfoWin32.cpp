#include <windows.h>

#include <cstring>
#include <vector>

#include "model/AppInfo.h"

namespace quillmark {

// Read afresh at every call, so that the about box shows what the file
// holds now.
const TVersionResource* EmbeddedVersionResource() {
    static TVersionResource resource;
    std::wstring program(32768, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    if (size == 0) return nullptr;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(program.c_str(), 0, size, data.data())) return nullptr;

    void* value = nullptr;
    UINT length = 0;
    // Without a translation table there is no string table to read either.
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return nullptr;
    WORD pair[2];
    std::memcpy(pair, value, sizeof pair);
    TVersionResource read;
    read.Translation = pair[0] | static_cast<std::uint32_t>(pair[1]) << 16;
    for (const std::u16string_view key : VersionKeys()) {
        const std::u16string path = StringTablePath(read.Translation, key);
        if (VerQueryValueW(data.data(), reinterpret_cast<const wchar_t*>(path.c_str()), &value, &length) &&
            value != nullptr) {
            const auto* text = static_cast<const char16_t*>(value);
            std::u16string_view found(text, length);
            // The length counts the closing null character when there is one.
            found = found.substr(0, found.find(u'\0'));
            read.Strings[path] = std::u16string(found);
        }
    }
    resource = std::move(read);
    return &resource;
}

}  // namespace quillmark

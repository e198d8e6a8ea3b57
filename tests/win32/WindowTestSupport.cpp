#include "WindowTestSupport.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace quillmark::test {

TTempFolder::TTempFolder() {
    std::random_device random;
    FPath = std::filesystem::temp_directory_path() /
            (L"quillmark-win32-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(random()));
    std::filesystem::create_directories(FPath);
}

TTempFolder::~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

namespace {

struct TCursor final : ICursorHourGlass {
    explicit TCursor(TRecordingUserInterface& ui) : Ui(ui) {}
    ~TCursor() override { --Ui.Depth; }
    TRecordingUserInterface& Ui;
};

}  // namespace

TCursorHourGlassRef TRecordingUserInterface::CreateCursorHourGlass() {
    ++Depth;
    DeepestDepth = std::max(DeepestDepth, Depth);
    if (OnCursor) OnCursor(Depth);
    return std::make_shared<TCursor>(*this);
}

std::optional<std::wstring> TScriptedDialogs::OpenFile(HWND, const TFileDialogSetup& setup) {
    Asked.push_back(setup);
    if (Answers.empty()) return std::nullopt;
    std::optional<std::wstring> answer = Answers.front();
    Answers.erase(Answers.begin());
    return answer;
}

std::optional<std::wstring> TScriptedDialogs::SaveFile(HWND owner, const TFileDialogSetup& setup) {
    return OpenFile(owner, setup);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HDROP MakeDrop(const std::vector<std::wstring>& files) {
    std::wstring list;
    for (const std::wstring& file : files) {
        list += file;
        list += L'\0';
    }
    list += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
                list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

}  // namespace quillmark::test

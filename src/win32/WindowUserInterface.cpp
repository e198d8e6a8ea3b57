#include "win32/WindowUserInterface.h"

#include "win32/WideString.h"

namespace quillmark {

namespace {

int gBusyDepth = 0;
HCURSOR gRestoreCursor = nullptr;

class TCursorHourGlass final : public ICursorHourGlass {
  public:
    TCursorHourGlass() {
        if (gBusyDepth++ == 0) gRestoreCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    }
    ~TCursorHourGlass() override {
        if (--gBusyDepth == 0)
            SetCursor(gRestoreCursor != nullptr ? gRestoreCursor : LoadCursorW(nullptr, IDC_ARROW));
    }
};

}  // namespace

void TMessageBoxUserInterface::ShowWarning(std::u16string_view message) {
    MessageBoxW(FOwner, ToWide(message).c_str(), L"Quillmark", MB_OK | MB_ICONWARNING);
}

void TMessageBoxUserInterface::ShowInformation(std::u16string_view message) {
    MessageBoxW(FOwner, ToWide(message).c_str(), L"Quillmark", MB_OK | MB_ICONINFORMATION);
}

TCursorHourGlassRef TMessageBoxUserInterface::CreateCursorHourGlass() {
    return std::make_shared<TCursorHourGlass>();
}

int BusyCursorDepth() {
    return gBusyDepth;
}

}  // namespace quillmark

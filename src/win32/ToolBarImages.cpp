#include "win32/ToolBarImages.h"

#include "win32/Resource.h"

namespace quillmark {

HIMAGELIST LoadToolBarImages(int size) {
    const struct {
        int Size;
        int Resource;
    } strips[] = {{96, IDB_TOOLBAR_96}, {72, IDB_TOOLBAR_72}, {60, IDB_TOOLBAR_60}, {48, IDB_TOOLBAR_48}};
    int chosen = 3;
    for (int i = 0; i < 4; ++i) {
        if (strips[i].Size <= size) {
            chosen = i;
            break;
        }
    }
    const int imageSize = strips[chosen].Size;
    HIMAGELIST images = ImageList_Create(imageSize, imageSize, ILC_COLOR32, 8, 0);
    // A 32-bit strip with premultiplied alpha, as the build writes it.
    auto bitmap =
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(strips[chosen].Resource),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap != nullptr) {
        ImageList_Add(images, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    return images;
}

}  // namespace quillmark

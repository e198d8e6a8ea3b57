#include "base/BestFit.h"

#include <iterator>

namespace quillmark {

namespace {
#include "base/BestFitTables.inc"
}  // namespace

const TBestFitPage* FindBestFitPage(TCodePage codePage) {
    for (const TBestFitPage& page : kBestFitPages)
        if (page.CodePage == codePage) return &page;
    return nullptr;
}

}  // namespace quillmark

#include "base/CodePage.h"

namespace quillmark {

// Read once: a program keeps the code page it started with.
TCodePage GetACP() {
    static const TCodePage codePage = AnsiCodePageFromEnvironment();
    return codePage;
}

}  // namespace quillmark

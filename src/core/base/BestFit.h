#pragma once

#include <cstddef>
#include <cstdint>

#include "base/CodePage.h"

// Where the ICU converters and Windows part ways, generated from Microsoft's
// best-fit tables by tools/bestfit (see BestFitTables.inc).
namespace quillmark {

// A UTF-16 unit that Windows encodes differently from the ICU converter set
// up as in CodePageIcu.cpp: Windows writes `Bytes[0..Length)`.
struct TEncodeFix {
    char16_t Unit;
    std::uint8_t Length;
    char Bytes[2];
};

struct TBestFitPage {
    TCodePage CodePage;
    const TEncodeFix* EncodeFixes;  // sorted by Unit
    std::size_t EncodeFixCount;
    const char16_t* Decode;  // 256 units for a single-byte code page, else nullptr
};

// nullptr for code pages without a table (UTF-8, EUC-JP, ISO-2022-JP, ...).
const TBestFitPage* FindBestFitPage(TCodePage codePage);

}  // namespace quillmark

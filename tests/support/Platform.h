#pragma once

#include <cstdint>

namespace quillmark::test {

// True when the system's own converter handles `codePage`. Windows has them
// all; Wine has none for EUC-JP 51932 and ISO-2022-JP (50220-50222); ICU,
// off Windows, covers them all.
bool SystemConverts(std::uint32_t codePage);

// True when the tests run under Wine rather than on Windows itself: where
// Wine's tables differ from Windows', the cases that pin Windows' answers
// are left out there (each says which difference).
bool UnderWine();

}  // namespace quillmark::test

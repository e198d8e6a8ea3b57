#include "csv/ColumnLetters.h"

#include <map>
#include <mutex>

namespace quillmark {
namespace {

struct TColumnLettersCache {
    std::mutex Lock;
    std::map<std::int32_t, std::u16string> Names;
};

TColumnLettersCache& Cache() {
    static TColumnLettersCache cache;
    return cache;
}

// Base 26 without a zero digit: after each digit one is taken away.
std::u16string MakeLetters(std::int32_t column) {
    std::u16string letters;
    std::int32_t x = column;
    do {
        letters.insert(letters.begin(), static_cast<char16_t>(u'A' + x % 26));
        x = x / 26 - 1;
    } while (x >= 0);
    return letters;
}

}  // namespace

std::u16string GetColumnLetters(std::int32_t column) {
    TColumnLettersCache& cache = Cache();
    std::lock_guard lock(cache.Lock);
    if (auto found = cache.Names.find(column); found != cache.Names.end()) return found->second;
    if (column < 0 || column > kLastLetteredColumn) return {};
    return cache.Names.emplace(column, MakeLetters(column)).first->second;
}

std::size_t ColumnLettersCacheSize() {
    TColumnLettersCache& cache = Cache();
    std::lock_guard lock(cache.Lock);
    return cache.Names.size();
}

}  // namespace quillmark

#include "settings/QuoteColumns.h"

#include "base/Format.h"
#include "settings/ConvertInfo.h"
#include "settings/StrToIntDef.h"

namespace quillmark {
namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kDelimiter = u',';

// Space and the control characters. U+0000 never gets here: the text is cut
// before it. Left in, it would end an item without being skipped after one,
// and the reader would never move past it.
bool IsBlank(char16_t c) {
    return c <= u' ';
}

class TCommaTextReader {
  public:
    explicit TCommaTextReader(std::u16string_view text) : FText(text.substr(0, text.find(u'\0'))) {}

    TColumnSet ReadAll() {
        TColumnSet columns;
        const auto add = [&columns](std::u16string_view item) {
            columns.insert(StrToIntDef(item, kColumnsNotGiven));
        };
        SkipBlanks();
        while (!AtEnd()) {
            if (Current() == kQuote) {
                add(ReadQuotedItem());
            } else {
                add(ReadPlainItem());
            }
            SkipBlanks();
            if (!AtEnd() && Current() == kDelimiter) {
                ++FPos;
                // Only a comma right at the end adds an empty item: "1," has
                // two items, "1, " has one.
                if (AtEnd()) add(u"");
                SkipBlanks();
            }
        }
        return columns;
    }

  private:
    bool AtEnd() const { return FPos >= FText.size(); }
    char16_t Current() const { return FText[FPos]; }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Current()))
            ++FPos;
    }

    // From an opening mark to the lone mark that closes it, or to the end
    // of the text when none does.
    std::u16string ReadQuotedItem() {
        std::u16string item;
        ++FPos;
        while (!AtEnd()) {
            const char16_t c = FText[FPos++];
            if (c != kQuote) {
                item.push_back(c);
            } else if (!AtEnd() && Current() == kQuote) {
                item.push_back(kQuote);
                ++FPos;
            } else {
                break;
            }
        }
        return item;
    }

    std::u16string_view ReadPlainItem() {
        const std::size_t start = FPos;
        while (!AtEnd() && !IsBlank(Current()) && Current() != kDelimiter)
            ++FPos;
        return FText.substr(start, FPos - start);
    }

    std::u16string_view FText;
    std::size_t FPos = 0;
};

}  // namespace

std::u16string FormatQuoteColumns(const TColumnSet& columns) {
    std::u16string text;
    for (const std::int32_t column : columns) {
        if (!text.empty()) text.push_back(kDelimiter);
        text += IntToStr(column);
    }
    return text;
}

TColumnSet ParseQuoteColumns(std::u16string_view text) {
    return TCommaTextReader(text).ReadAll();
}

}  // namespace quillmark

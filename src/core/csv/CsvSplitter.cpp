#include "csv/CsvSplitter.h"

#include <array>

namespace quillmark {
namespace {

// What a code unit is to the machine once the pre-filter has looked at it.
enum class TUnitClass : std::uint8_t { Skip, LineFeed, Comma, Quote, Other };

enum class TAction : std::uint8_t { None, Store, NextField, NextRow };

struct TStep {
    TCsvState Next;
    TAction Action;
};

constexpr TUnitClass Classify(char16_t unit) {
    switch (unit) {
        case 0x0A:
        case 0x0B:  // a vertical tab counts as a line feed, also inside quotes
            return TUnitClass::LineFeed;
        case 0x09:
            return TUnitClass::Other;
        case u',':
            return TUnitClass::Comma;
        case u'"':
            return TUnitClass::Quote;
        case 0x7F:
        case 0x80:
            return TUnitClass::Skip;
        default:
            return unit < 0x20 ? TUnitClass::Skip : TUnitClass::Other;
    }
}

constexpr TStep Transition(TCsvState state, TUnitClass unit) {
    using enum TCsvState;
    switch (state) {
        case FieldStart:
            switch (unit) {
                case TUnitClass::Quote:
                    return {Quoted, TAction::None};
                case TUnitClass::Comma:
                    return {FieldStart, TAction::NextField};
                case TUnitClass::LineFeed:
                    return {FieldStart, TAction::NextRow};
                default:
                    return {Plain, TAction::Store};  // spaces too: nothing is trimmed
            }
        case Plain:
            switch (unit) {
                case TUnitClass::Comma:
                    return {FieldStart, TAction::NextField};
                case TUnitClass::LineFeed:
                    return {FieldStart, TAction::NextRow};
                default:
                    return {Plain, TAction::Store};  // a quotation mark here is an ordinary character
            }
        case Quoted:
            // Commas and line feeds belong to the value until the closing mark.
            if (unit == TUnitClass::Quote) return {AfterQuote, TAction::None};
            return {Quoted, TAction::Store};
        case AfterQuote:
            switch (unit) {
                // The second mark of a doubled pair reopens the quotes and is kept.
                case TUnitClass::Quote:
                    return {Quoted, TAction::Store};
                case TUnitClass::Comma:
                    return {FieldStart, TAction::NextField};
                case TUnitClass::LineFeed:
                    return {FieldStart, TAction::NextRow};
                // Text after the closing mark stays in the same field.
                default:
                    return {AfterQuote, TAction::Store};
            }
    }
    return {state, TAction::None};
}

constexpr auto kClasses = [] {
    std::array<TUnitClass, 256> classes{};
    for (unsigned unit = 0; unit < classes.size(); ++unit)
        classes[unit] = Classify(static_cast<char16_t>(unit));
    return classes;
}();

constexpr auto kSteps = [] {
    std::array<std::array<TStep, 5>, 4> steps{};
    for (unsigned state = 0; state < 4; ++state) {
        for (unsigned unit = 0; unit < 5; ++unit) {
            steps[state][unit] = Transition(static_cast<TCsvState>(state), static_cast<TUnitClass>(unit));
        }
    }
    return steps;
}();

// Units between two progress reports.
constexpr std::uint64_t kProgressInterval = 1 << 20;

// A unit read as part of a field begun with a quotation mark: the opening
// mark, everything in Quoted and AfterQuote, and the separator that ends it.
constexpr bool InQuotedField(TCsvState before, TUnitClass unit) {
    return before == TCsvState::Quoted || before == TCsvState::AfterQuote ||
           (before == TCsvState::FieldStart && unit == TUnitClass::Quote);
}

}  // namespace

TCsvSplitter::TCsvSplitter(ICsvSink& sink, TProgressCallback progress, std::uint64_t total)
    : FSink(sink), FProgress(std::move(progress)), FTotal(total), FNextProgress(kProgressInterval) {}

void TCsvSplitter::Feed(std::u16string_view text) {
    // Units stored exactly as read are passed on in runs, not one by one.
    const char16_t* run = text.data();
    const char16_t* runEnd = run;
    auto storeRun = [&] {
        if (runEnd != run) FSink.Store(FRow, FColumn, std::u16string_view(run, runEnd - run));
        run = runEnd;
    };

    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const TUnitClass unitClass = unit < kClasses.size() ? kClasses[unit] : TUnitClass::Other;
        if (unitClass == TUnitClass::Skip) continue;

        const TCsvState before = FState;
        const TStep step = kSteps[static_cast<unsigned>(before)][static_cast<unsigned>(unitClass)];
        FState = step.Next;
        switch (step.Action) {
            case TAction::None:
                break;
            case TAction::Store:
                if (unit == 0x0B) {
                    storeRun();
                    FSink.Store(FRow, FColumn, u"\n");
                } else if (runEnd == text.data() + i) {
                    ++runEnd;
                } else {
                    storeRun();
                    run = text.data() + i;
                    runEnd = run + 1;
                }
                break;
            case TAction::NextField:
                storeRun();
                ++FColumn;
                break;
            case TAction::NextRow:
                storeRun();
                ++FRow;
                FColumn = 0;
                break;
        }

        if (FProgress && InQuotedField(before, unitClass) && FPosition + i >= FNextProgress) {
            storeRun();
            FProgress(FPosition + i + 1, FTotal);
            FNextProgress = FPosition + i + kProgressInterval;
        }
    }
    storeRun();
    FPosition += text.size();
}

}  // namespace quillmark

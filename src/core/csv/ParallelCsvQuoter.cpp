#include "csv/ParallelCsvQuoter.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "base/Threads.h"
#include "csv/CsvParts.h"
#include "csv/QuotedCsvSink.h"

namespace quillmark {

namespace {

// A part without a line feed grows to this many times PartBytes before it
// is cut anyway (the quoter before it then reads it on).
constexpr std::size_t kMostPartsWithoutLineFeed = 8;
constexpr unsigned kMostThreads = 4;
// Parts pay where the processor cores outnumber the three threads that
// read, quote and write. On two, the second core is left half idle by
// reading and writing UTF-8 as it is, and parts quoted on two threads take
// 10 to 30 % off the conversion; where that core decodes Shift_JIS or
// encodes into an ANSI code page, they make it 10 to 25 % slower (measured
// on files of six shapes). Two hardware threads of one core are no better.
constexpr unsigned kPartsFromCores = 4;
constexpr unsigned kQuotingBoundPartsFromCores = 2;
// How far before a part's end a row start is looked for.
constexpr std::size_t kLookBack = std::size_t{1} << 12;
// What the room for a part's output is rounded up to.
constexpr std::size_t kRoomStep = std::size_t{1} << 16;

struct TDiscard final : IByteSink {
    void Write(std::string_view) override {}
};

}  // namespace

void TParallelCsvQuoter::TPart::Write(std::string_view bytes) {
    TByteBuffer buffer;
    buffer.Reserve(bytes.size());
    std::memcpy(buffer.Data.get(), bytes.data(), bytes.size());
    buffer.Size = bytes.size();
    Buffers.push_back(std::move(buffer));
}

void TParallelCsvQuoter::TPart::Take(TByteBuffer& buffer) {
    Buffers.push_back(std::move(buffer));
    buffer = TByteBuffer();
}

TParallelCsvQuoter::TParallelCsvQuoter(IByteSink& out, const TColumnSet& quoteColumns,
                                       std::size_t columnCount, bool growing,
                                       const std::vector<char16_t>& standIns)
    : TParallelCsvQuoter(out, quoteColumns, columnCount, growing, standIns, TOptions()) {}

TParallelCsvQuoter::TParallelCsvQuoter(IByteSink& out, const TColumnSet& quoteColumns,
                                       std::size_t columnCount, bool growing,
                                       const std::vector<char16_t>& standIns, const TOptions& options)
    : FOut(out),
      FQuoteColumns(quoteColumns),
      FStandIns(standIns),
      FGrowing(growing),
      FOptions(options),
      FFirst(out, FQuoteColumns, columnCount, growing, standIns) {
    FOptions.PartBytes = std::max<std::size_t>(FOptions.PartBytes, 1);
}

TParallelCsvQuoter::~TParallelCsvQuoter() {
    {
        const std::lock_guard lock(FMutex);
        FStop = true;
    }
    FJobs.notify_all();
    for (std::thread& thread : FThreads)
        thread.join();
}

void TParallelCsvQuoter::SetCountOn() {
    FCountOn = true;
    FFirst.SetCountOn();
}

void TParallelCsvQuoter::Feed(std::string_view text) {
    if (FMode == EMode::Counting) {
        FCounter->Feed(text);
        return;
    }
    if (FMode == EMode::Parts) {
        FOpen->Text.append(text);
        Cut();
        return;
    }
    // The first part ends at the last line feed of the piece that takes it
    // past FirstBytes, when that is a row start past which the width is
    // settled; else it goes on.
    FFirstFed += text.size();
    // The cores are looked up only for a source this large.
    if (FFirstFed >= FOptions.FirstBytes && FOptions.Threads == 0) {
        const unsigned cores = ProcessorCores();
        // Two threads at least: on fewer cores than kPartsFromCores, parts
        // are only worth it where both cores quote.
        FOptions.Threads = std::clamp(cores, 3u, kMostThreads + 1) - 1;
        if (cores < (FOptions.QuotingBound ? kQuotingBoundPartsFromCores : kPartsFromCores))
            FOptions.FirstBytes = SIZE_MAX;
    }
    const std::size_t lineFeed = FFirstFed < FOptions.FirstBytes ? text.npos : text.rfind('\n');
    if (lineFeed == text.npos) {
        FFirst.Feed(text);
        return;
    }
    FFirst.Feed(text.substr(0, lineFeed + 1));
    FLastEnd = FFirst.EndPart();
    if (!FLastEnd.AtRowStart) {
        FFirst.Feed(text.substr(lineFeed + 1));
        return;
    }
    FMode = EMode::Parts;
    FWidth = FFirst.ColumnCount();
    FEmptyRows = FLastEnd.EmptyRows;
    FMostUnderWay = FOptions.Threads + 1;
    for (unsigned k = 0; k < FOptions.Threads; ++k)
        FThreads.emplace_back([this] { Run(); });
    FOpen = NewPart();
    FOpen->Text.assign(text.substr(lineFeed + 1));
    Cut();
}

std::unique_ptr<TParallelCsvQuoter::TPart> TParallelCsvQuoter::NewPart() {
    if (FFree.empty()) return std::make_unique<TPart>();
    std::unique_ptr<TPart> part = std::move(FFree.back());
    FFree.pop_back();
    return part;
}

// Keeps what a part no longer needs for the parts after it.
void TParallelCsvQuoter::Recycle(std::unique_ptr<TPart> part) {
    for (TByteBuffer& buffer : part->Buffers)
        FSpare.push_back(std::move(buffer));
    part->Buffers.clear();
    part->Quoter.reset();
    part->Text.clear();
    part->Error = nullptr;
    FFree.push_back(std::move(part));
}

// Hands on the open part's text in parts of about PartBytes, each ending at
// a row start, preferably where a few simple rows follow a line feed (one
// inside quotes rarely is, and the part before would have to read on); the
// text after the last stays open.
void TParallelCsvQuoter::Cut() {
    const std::string& text = FOpen->Text;
    FCuts.clear();
    for (std::size_t from = 0; text.size() - from >= FOptions.PartBytes;) {
        const std::size_t near = from + FOptions.PartBytes - std::min(FOptions.PartBytes, kLookBack);
        std::size_t cut = FindRowStart(text, near);
        if (cut == text.npos) {
            const std::size_t lineFeed = text.rfind('\n');
            if (lineFeed != text.npos && lineFeed >= from) {
                cut = lineFeed + 1;
            } else if (text.size() - from >= kMostPartsWithoutLineFeed * FOptions.PartBytes) {
                cut = text.size();
            } else {
                break;
            }
        }
        FCuts.push_back(cut);
        from = cut;
    }
    if (FCuts.empty()) return;
    // Each byte is copied once: the first part keeps the open text.
    std::unique_ptr<TPart> first = std::move(FOpen);
    FOpen = NewPart();
    FOpen->Text.assign(first->Text, FCuts.back());
    std::vector<std::unique_ptr<TPart>> parts;
    for (std::size_t k = 1; k < FCuts.size(); ++k) {
        parts.push_back(NewPart());
        parts.back()->Text.assign(first->Text, FCuts[k - 1], FCuts[k] - FCuts[k - 1]);
    }
    first->Text.resize(FCuts.front());
    Submit(std::move(first));
    for (std::unique_ptr<TPart>& part : parts)
        Submit(std::move(part));
    while (FMode == EMode::Parts && FUnderWay.size() > FMostUnderWay)
        TakeOldest();
}

void TParallelCsvQuoter::Submit(std::unique_ptr<TPart> part) {
    part->Quoter = std::make_unique<TByteCsvQuoter>(*part, FQuoteColumns, FWidth, FGrowing, FStandIns);
    part->Quoter->SetRowsWritten();
    // Room for all the part writes, as the quoter asks for it: a buffer
    // that needs to grow on the way costs a copy and fresh memory. Rounded
    // up, so that the buffers of parts before, of about the same size, serve.
    const std::size_t room = (2 * part->Text.size() + 64 + kRoomStep - 1) / kRoomStep * kRoomStep;
    TByteBuffer buffer;
    if (!FSpare.empty()) {
        buffer = std::move(FSpare.back());
        FSpare.pop_back();
        if (buffer.Capacity < room) buffer = TByteBuffer();
    }
    buffer.Size = 0;
    buffer.Reserve(room);
    part->Quoter->UseBuffer(std::move(buffer));
    part->End = {};
    part->Done = false;
    part->Written = false;
    {
        const std::lock_guard lock(FMutex);
        FQueue.push_back(part.get());
    }
    FJobs.notify_one();
    FUnderWay.push_back(std::move(part));
}

void TParallelCsvQuoter::WaitUntilDone(const TPart& part) {
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [&part] { return part.Done; });
}

// Takes the oldest part under way once it is quoted: its bytes go out when
// the text before it ended at a row start; else the part before reads its
// text on.
void TParallelCsvQuoter::TakeOldest() {
    std::unique_ptr<TPart> part = std::move(FUnderWay.front());
    FUnderWay.pop_front();
    WaitUntilDone(*part);
    TPart* taken = part.get();
    if (FLastEnd.AtRowStart) {
        if (part->Error) {
            try {
                std::rethrow_exception(part->Error);
            } catch (const ECsvWidthGrew&) {
                if (!FCountOn) throw;
            }
            Count(part->Text);
            Recycle(std::move(part));
            return;
        }
        if (FLast) Recycle(std::move(FLast));
        FLast = std::move(part);
        FLastEnd = FLast->End;
    } else {
        // Counting, where it comes to that, goes on in the part before: its
        // text need not be kept.
        if (FCountOn) FLast->Quoter->SetCountOn();
        FLast->Quoter->Feed(part->Text);
        Recycle(std::move(part));
        FLastEnd = FLast->Quoter->EndPart();
        taken = FLast.get();
    }
    Forward(*taken);
    // The empty rows of a part that wrote nothing add to those before it.
    if (FLastEnd.AtRowStart)
        FEmptyRows = FLast->Written ? FLastEnd.EmptyRows : FEmptyRows + FLastEnd.EmptyRows;
}

// Hands on what a part wrote, after the empty rows that come before it.
void TParallelCsvQuoter::Forward(TPart& part) {
    const bool any =
        std::ranges::any_of(part.Buffers, [](const TByteBuffer& buffer) { return buffer.Size > 0; });
    if (any && !part.Written) {
        part.Written = true;
        // The first part's quoter, at the row start where it ended, writes
        // them as it writes its own.
        if (FEmptyRows > 0) FFirst.WriteEmptyRows(FEmptyRows);
        FEmptyRows = 0;
    }
    for (TByteBuffer& buffer : part.Buffers) {
        if (buffer.Size > 0) FOut.Take(buffer);
        if (buffer.Capacity > 0) FSpare.push_back(std::move(buffer));
    }
    part.Buffers.clear();
    if (FSpare.size() > FMostUnderWay + 2) FSpare.resize(FMostUnderWay + 2);
}

// A row wider than the rows written, in `text` read from a row start on:
// the rest is read for the widest row's width alone.
void TParallelCsvQuoter::Count(const std::string& text) {
    static TDiscard discard;
    FCounter = std::make_unique<TByteCsvQuoter>(discard, FQuoteColumns, FWidth, true, FStandIns);
    FCounter->SetRowsWritten();
    FCounter->SetCountOn();
    FMode = EMode::Counting;
    FCounter->Feed(text);
    while (!FUnderWay.empty()) {
        std::unique_ptr<TPart> part = std::move(FUnderWay.front());
        FUnderWay.pop_front();
        WaitUntilDone(*part);
        FCounter->Feed(part->Text);
        Recycle(std::move(part));
    }
    if (FOpen) {
        FCounter->Feed(FOpen->Text);
        Recycle(std::move(FOpen));
    }
}

void TParallelCsvQuoter::Finish() {
    if (FMode == EMode::First) {
        FFirst.Finish();
        return;
    }
    if (FMode == EMode::Parts) {
        if (!FOpen->Text.empty()) Submit(std::move(FOpen));
        while (FMode == EMode::Parts && !FUnderWay.empty())
            TakeOldest();
    }
    if (FMode == EMode::Counting) {
        FCounter->Finish();
        throw ECsvWidthGrew();
    }
    // Text after the last row start: its row is finished as the end of any
    // text finishes it.
    if (!FLastEnd.AtRowStart) {
        FLast->Quoter->Finish();
        Forward(*FLast);
    }
}

void TParallelCsvQuoter::Run() {
    for (;;) {
        TPart* part = nullptr;
        {
            std::unique_lock lock(FMutex);
            FJobs.wait(lock, [this] { return FStop || !FQueue.empty(); });
            if (FStop) return;
            part = FQueue.front();
            FQueue.pop_front();
        }
        try {
            part->Quoter->Feed(part->Text);
            part->End = part->Quoter->EndPart();
        } catch (...) {
            part->Error = std::current_exception();
        }
        {
            const std::lock_guard lock(FMutex);
            part->Done = true;
        }
        FDone.notify_all();
    }
}

}  // namespace quillmark

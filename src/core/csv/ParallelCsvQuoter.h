#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/ByteBuffer.h"
#include "base/ColumnSet.h"
#include "base/FileSystem.h"
#include "csv/ByteCsvQuoter.h"

namespace quillmark {

// TByteCsvQuoter's work on several processors: the same bytes to `out`, in
// the same order, the same ECsvWidthGrew (see SetCountOn).
//
// The first part of the text is quoted in the caller's thread, until the
// width is settled. From a row start on, the text is then cut into parts
// after line feeds, and each part is quoted by a quoter of its own on a
// thread of a small pool, as if a row began there. A line feed can be
// inside quotes, which only the part before it knows once it is quoted:
// the parts are taken in order, and a part whose predecessor did not end at
// a row start is thrown away and its text read on by that predecessor, in
// the caller's thread. What a part writes waits until the parts before it
// are written: a few parts are under way at any time, so memory stays
// bounded.
class TParallelCsvQuoter {
  public:
    struct TOptions {
        std::size_t PartBytes = std::size_t{1} << 18;   // the size of a part, give or take a row
        std::size_t FirstBytes = std::size_t{4} << 20;  // text quoted in the caller's thread first
        // Threads that quote parts; 0: one fewer than the processor cores,
        // two at least and four at most, and no parts on fewer than four
        // cores (but see QuotingBound).
        unsigned Threads = 0;
        // The threads that read and write the text have little to do (UTF-8
        // read and written as it is): parts then pay from two cores on, on
        // two threads.
        bool QuotingBound = false;
    };

    TParallelCsvQuoter(IByteSink& out, const TColumnSet& quoteColumns, std::size_t columnCount, bool growing,
                       const std::vector<char16_t>& standIns);
    TParallelCsvQuoter(IByteSink& out, const TColumnSet& quoteColumns, std::size_t columnCount, bool growing,
                       const std::vector<char16_t>& standIns, const TOptions& options);
    ~TParallelCsvQuoter();
    TParallelCsvQuoter(const TParallelCsvQuoter&) = delete;
    TParallelCsvQuoter& operator=(const TParallelCsvQuoter&) = delete;

    void Feed(std::string_view text);
    void Finish();
    // As TByteCsvQuoter's: the widest row's width comes with ECsvWidthGrew
    // when a row proves wider than the rows written once this is set.
    void SetCountOn();

  private:
    // A part of the text, quoted apart; what it writes is kept in Buffers.
    struct TPart final : IByteSink {
        void Write(std::string_view bytes) override;
        void Take(TByteBuffer& buffer) override;

        std::string Text;
        std::unique_ptr<TByteCsvQuoter> Quoter;
        std::vector<TByteBuffer> Buffers;  // written, in order
        TByteCsvQuoter::TPartEnd End;
        std::exception_ptr Error;
        bool Done = false;     // quoted by the pool (under FMutex)
        bool Written = false;  // some of its bytes went out
    };

    enum class EMode { First, Parts, Counting };

    std::unique_ptr<TPart> NewPart();
    void Recycle(std::unique_ptr<TPart> part);
    void Cut();
    void Submit(std::unique_ptr<TPart> part);
    void WaitUntilDone(const TPart& part);
    void TakeOldest();
    void Forward(TPart& part);
    void Count(const std::string& text);
    void Run();

    IByteSink& FOut;
    const TColumnSet FQuoteColumns;  // a copy: the parts' quoters are made later
    std::vector<char16_t> FStandIns;
    bool FGrowing;
    TOptions FOptions;
    EMode FMode = EMode::First;
    bool FCountOn = false;
    std::size_t FFirstFed = 0;

    TByteCsvQuoter FFirst;                     // the first part's quoter, writing to FOut
    std::unique_ptr<TByteCsvQuoter> FCounter;  // reads the rest for the width alone
    std::size_t FWidth = 0;                    // the width once the first part is quoted
    std::size_t FEmptyRows = 0;                // rows read that stored nothing, not yet written
    std::unique_ptr<TPart> FLast;              // the part taken last (none: the first part)
    TByteCsvQuoter::TPartEnd FLastEnd;         // how the text taken so far ends
    std::unique_ptr<TPart> FOpen;              // the part being filled
    std::deque<std::unique_ptr<TPart>> FUnderWay;
    std::vector<std::unique_ptr<TPart>> FFree;
    std::vector<TByteBuffer> FSpare;
    std::vector<std::size_t> FCuts;  // where Cut ends parts
    std::size_t FMostUnderWay = 0;

    std::mutex FMutex;
    std::condition_variable FJobs;
    std::condition_variable FDone;
    std::deque<TPart*> FQueue;
    bool FStop = false;
    std::vector<std::thread> FThreads;
};

}  // namespace quillmark

#include "base/ReadAhead.h"

#include "base/Threads.h"

namespace quillmark {

TReadAhead::TReadAhead(TNext next) : FNext(std::move(next)) {}

TReadAhead::~TReadAhead() {
    {
        const std::lock_guard lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
}

void TReadAhead::Run() {
    MarkBackgroundThread();
    std::unique_lock lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return FStop || FReady.size() < kMostReady; });
        if (FStop) return;
        TPiece piece;
        if (!FSpare.empty()) {
            piece.Bytes = std::move(FSpare.back());
            FSpare.pop_back();
        }
        lock.unlock();
        bool more = false;
        std::exception_ptr error;
        try {
            more = FNext(piece.Bytes, piece.Count);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (more) FReady.push_back(std::move(piece));
        FEnded = !more;
        FError = error;
        FChanged.notify_all();
        if (FEnded) return;
    }
}

bool TReadAhead::Next(std::string& piece, std::uint64_t& count) {
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return !FReady.empty() || FEnded; });
    if (FReady.empty()) {
        if (FError) std::rethrow_exception(FError);
        return false;
    }
    // The caller's old piece becomes a spare for the reading thread.
    TPiece& ready = FReady.front();
    std::swap(piece, ready.Bytes);
    count = ready.Count;
    FSpare.push_back(std::move(ready.Bytes));
    FReady.pop_front();
    lock.unlock();
    FChanged.notify_all();
    return true;
}

}  // namespace quillmark

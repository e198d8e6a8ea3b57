#include "base/BackgroundWriter.h"

#include <cstring>

#include "base/Threads.h"

namespace quillmark {

namespace {

// Bytes gathered before they are handed over, buffers taken as they are
// from this size on, and buffers allowed to wait.
constexpr std::size_t kHandOverBytes = std::size_t{1} << 20;
constexpr std::size_t kTakenFrom = std::size_t{1} << 16;
constexpr std::size_t kMostWaiting = 8;

}  // namespace

TBackgroundWriter::TBackgroundWriter(IByteSink& out) : FOut(out) {}

TBackgroundWriter::~TBackgroundWriter() {
    {
        const std::lock_guard lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
}

void TBackgroundWriter::Write(std::string_view bytes) {
    RethrowError();
    FCurrent.Reserve(bytes.size());
    std::memcpy(FCurrent.Data.get() + FCurrent.Size, bytes.data(), bytes.size());
    FCurrent.Size += bytes.size();
    if (FCurrent.Size >= kHandOverBytes) HandOver(FCurrent);
}

void TBackgroundWriter::Take(TByteBuffer& buffer) {
    // Small pieces are gathered as Write gathers them.
    if (buffer.Size < kTakenFrom || FCurrent.Size > 0) {
        Write(buffer.View());
        buffer.Size = 0;
        return;
    }
    RethrowError();
    HandOver(buffer);
}

// Queues `buffer` for the thread and puts a spare one, or none, in its place.
void TBackgroundWriter::HandOver(TByteBuffer& buffer) {
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FWaiting.size() < kMostWaiting || FError; });
    if (FError) return;
    FWaiting.push_back(std::move(buffer));
    buffer = TByteBuffer();
    if (!FSpare.empty()) {
        buffer = std::move(FSpare.back());
        FSpare.pop_back();
    }
    lock.unlock();
    FChanged.notify_all();
}

void TBackgroundWriter::Run() {
    MarkBackgroundThread();
    std::unique_lock lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return FStop || !FWaiting.empty(); });
        if (FStop) return;
        TByteBuffer buffer = std::move(FWaiting.front());
        FWaiting.pop_front();
        FWriting = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            FOut.Write(buffer.View());
        } catch (...) {
            error = std::current_exception();
        }
        buffer.Size = 0;
        lock.lock();
        FWriting = false;
        FSpare.push_back(std::move(buffer));
        if (error) {
            // Nothing after a failed write may reach `out`.
            FError = error;
            FWaiting.clear();
        }
        FChanged.notify_all();
    }
}

void TBackgroundWriter::RethrowError() {
    if (!FThread.joinable()) return;
    const std::lock_guard lock(FMutex);
    if (FError) std::rethrow_exception(FError);
}

void TBackgroundWriter::Finish() {
    if (FThread.joinable()) {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [this] { return (FWaiting.empty() && !FWriting) || FError; });
        if (FError) std::rethrow_exception(FError);
    }
    // The rest goes from this thread: the other one is idle now.
    if (FCurrent.Size > 0) FOut.Write(FCurrent.View());
    FCurrent.Size = 0;
}

}  // namespace quillmark

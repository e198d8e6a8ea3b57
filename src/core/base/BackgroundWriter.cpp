#include "base/BackgroundWriter.h"

namespace quillmark {

namespace {

// Bytes gathered before they are handed over, and buffers allowed to wait.
constexpr std::size_t kHandOverBytes = std::size_t{1} << 20;
constexpr std::size_t kMostWaiting = 2;

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
    FCurrent.append(bytes);
    if (FCurrent.size() >= kHandOverBytes) HandOver();
}

void TBackgroundWriter::HandOver() {
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FWaiting.size() < kMostWaiting || FError; });
    if (FError) return;
    FWaiting.push_back(std::move(FCurrent));
    FCurrent.clear();
    if (!FSpare.empty()) {
        FCurrent = std::move(FSpare.back());
        FSpare.pop_back();
    }
    lock.unlock();
    FChanged.notify_all();
}

void TBackgroundWriter::Run() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return FStop || !FWaiting.empty(); });
        if (FStop) return;
        std::string buffer = std::move(FWaiting.front());
        FWaiting.pop_front();
        FWriting = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            FOut.Write(buffer);
        } catch (...) {
            error = std::current_exception();
        }
        buffer.clear();
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
    if (!FCurrent.empty()) FOut.Write(FCurrent);
    FCurrent.clear();
}

}  // namespace quillmark

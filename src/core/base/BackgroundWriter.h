#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "base/FileSystem.h"

namespace quillmark {

// Hands what is written to `out` on from a thread of its own, so that
// writing (the system copying the bytes, an encoder working on them)
// overlaps the work that makes the next bytes. `out` sees the same bytes in
// the same order, from one thread at a time. The thread starts with the
// first megabyte: a small target is written by the caller's thread in
// Finish. At most a few megabytes wait at any time.
//
// An error `out` throws comes back from a later Write or from Finish.
// Finish must be called to write everything; destroying the writer before
// stops its thread and drops what was not written yet.
class TBackgroundWriter final : public IByteSink {
  public:
    explicit TBackgroundWriter(IByteSink& out);
    ~TBackgroundWriter();
    TBackgroundWriter(const TBackgroundWriter&) = delete;
    TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

    void Write(std::string_view bytes) override;
    // Keeps a full buffer instead of copying it, and leaves a written one.
    void Take(TByteBuffer& buffer) override;
    // Writes what is still waiting and returns once `out` has it all.
    void Finish();

  private:
    void HandOver(TByteBuffer& buffer);
    void Run();
    void RethrowError();

    IByteSink& FOut;
    TByteBuffer FCurrent;  // bytes gathered by the caller's thread
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TByteBuffer> FWaiting;  // full buffers, oldest first
    std::vector<TByteBuffer> FSpare;   // written buffers, for reuse
    bool FWriting = false;             // the thread holds a buffer
    bool FStop = false;
    std::exception_ptr FError;
    std::thread FThread;
};

}  // namespace quillmark

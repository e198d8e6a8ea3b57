#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillmark {

// Runs a source of pieces in a thread of its own, a few pieces ahead
// of the caller, so that reading and decoding overlap what the caller does
// with the pieces. `next` replaces its string with the next piece (the
// string holds an old piece, to be reused or dropped) and sets the count
// that goes with it (bytes read so far, say); it returns false at the end.
// It runs only in the other thread, from the first call to Next on.
class TReadAhead {
  public:
    using TNext = std::function<bool(std::string& piece, std::uint64_t& count)>;

    // Pieces read ahead at most.
    static constexpr std::size_t kMostReady = 8;

    explicit TReadAhead(TNext next);
    // Stops the thread (after the piece it is reading) and waits for it.
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // The next piece, in place of `piece`; false at the end. An error of
    // `next` comes back here, after the pieces read before it.
    bool Next(std::string& piece, std::uint64_t& count);

  private:
    struct TPiece {
        std::string Bytes;
        std::uint64_t Count = 0;
    };

    void Run();

    TNext FNext;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<TPiece> FReady;
    std::vector<std::string> FSpare;
    bool FEnded = false;  // `next` returned false or threw
    bool FStop = false;
    std::exception_ptr FError;
    std::thread FThread;
};

}  // namespace quillmark

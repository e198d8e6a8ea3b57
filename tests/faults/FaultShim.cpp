// Preloaded into a program under test (LD_PRELOAD) to make the file system
// fail on cue:
//   QUILLMARK_FAIL_WRITE_AFTER=N   writes to regular files fail with ENOSPC
//                                  once N bytes have been written to them
//   QUILLMARK_SHRINK=PATH:N        PATH is cut to N bytes as soon as N bytes
//                                  of it have been read (read or pread)
//   QUILLMARK_REWRITE=PATH:N       PATH's first byte is overwritten with "#",
//                                  in place, as soon as N bytes of it have
//                                  been read
//   QUILLMARK_SYNC_LOG=PATH        each fsync appends a line to PATH: "file"
//                                  or "folder"
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using TWrite = ssize_t (*)(int, const void*, size_t);
using TRead = ssize_t (*)(int, void*, size_t);

bool IsRegular(int fd) {
    struct stat status;
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

std::string PathOf(int fd) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    return length < 0 ? std::string() : std::string(path, static_cast<size_t>(length));
}

long long gWritten = 0;
std::atomic<long long> gRead = 0;
std::atomic<bool> gShrunk = false;

// Counts what is read of the file QUILLMARK_SHRINK or QUILLMARK_REWRITE
// names, by read or pread (from any thread), and changes the file once
// enough is.
void CountRead(int fd, ssize_t got) {
    static const char* shrink = std::getenv("QUILLMARK_SHRINK");
    static const char* rewrite = std::getenv("QUILLMARK_REWRITE");
    const char* change = shrink != nullptr ? shrink : rewrite;
    if (change == nullptr || gShrunk || got <= 0) return;
    const char* colon = std::strrchr(change, ':');
    const std::string path(change, colon ? static_cast<size_t>(colon - change) : std::strlen(change));
    if (colon == nullptr || PathOf(fd) != path) return;
    const long long at = std::atoll(colon + 1);
    if ((gRead += got) < at || gShrunk.exchange(true)) return;
    if (change == shrink) {
        truncate(path.c_str(), at);
        return;
    }
    const int file = open(path.c_str(), O_WRONLY);
    if (file >= 0) {
        (void)!pwrite(file, "#", 1, 0);
        close(file);
    }
}

// pread and pread64 alike: which of them the program calls depends on how
// it was built.
using TPread = ssize_t (*)(int, void*, size_t, off_t);

ssize_t CountedPread(TPread real, int fd, void* buffer, size_t count, off_t offset) {
    const ssize_t got = real(fd, buffer, count, offset);
    CountRead(fd, got);
    return got;
}

}  // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    static const auto real = reinterpret_cast<TWrite>(dlsym(RTLD_NEXT, "write"));
    static const char* limitText = std::getenv("QUILLMARK_FAIL_WRITE_AFTER");
    if (limitText != nullptr && IsRegular(fd)) {
        const long long limit = std::atoll(limitText);
        if (gWritten >= limit) {
            errno = ENOSPC;
            return -1;
        }
        if (gWritten + static_cast<long long>(count) > limit) count = static_cast<size_t>(limit - gWritten);
        const ssize_t written = real(fd, buffer, count);
        if (written > 0) gWritten += written;
        return written;
    }
    return real(fd, buffer, count);
}

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const auto real = reinterpret_cast<TRead>(dlsym(RTLD_NEXT, "read"));
    const ssize_t got = real(fd, buffer, count);
    CountRead(fd, got);
    return got;
}

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    static const auto real = reinterpret_cast<TPread>(dlsym(RTLD_NEXT, "pread"));
    return CountedPread(real, fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
    static const auto real = reinterpret_cast<TPread>(dlsym(RTLD_NEXT, "pread64"));
    return CountedPread(real, fd, buffer, count, offset);
}

extern "C" int fsync(int fd) {
    using TSync = int (*)(int);
    static const auto real = reinterpret_cast<TSync>(dlsym(RTLD_NEXT, "fsync"));
    if (const char* log = std::getenv("QUILLMARK_SYNC_LOG")) {
        struct stat status;
        const bool folder = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
        if (FILE* file = std::fopen(log, "a")) {
            std::fputs(folder ? "folder\n" : "file\n", file);
            std::fclose(file);
        }
    }
    return real(fd);
}

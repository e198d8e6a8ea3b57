// POSIX side of the file seam: file streams, existence tests, error texts and
// the safe writer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Stream.h"
#include "base/Utf.h"

namespace quillmark {
namespace {

constexpr std::size_t kWriteBufferSize = 1 << 20;
// Written bytes handed to the disk at a time while writing goes on, so that
// the flush before the commit has little left to wait for.
constexpr std::uint64_t kWritebackBytes = std::uint64_t{8} << 20;

int OpenNoInterrupt(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

[[noreturn]] void RaiseCreateError(std::u16string_view path, int error) {
    throw EFCreateError(Format(messages::CreateErrorPattern, {ExpandFileName(path), SystemErrorText(error)}));
}

// Makes a rename in the folder of `file` durable. Failure is not an error:
// the new file is in place either way.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int fd = OpenNoInterrupt(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::u16string RandomSuffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char16_t kDigits[] = u"0123456789abcdefghijklmnopqrstuvwxyz";
    std::u16string suffix;
    auto value = generator();
    for (int i = 0; i < 10; ++i, value /= 36)
        suffix.push_back(kDigits[value % 36]);
    return suffix;
}

}  // namespace

std::filesystem::path ToNativePath(std::u16string_view path) {
    return std::filesystem::path(UnicodeToNative(path));
}

std::u16string FromNativePath(const std::filesystem::path& path) {
    return NativeToUnicode(path.native());
}

bool FileExists(std::u16string_view path) {
    if (path.empty()) return false;
    struct stat info;
    return ::stat(ToNativePath(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::u16string ExpandFileName(std::u16string_view path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(ToNativePath(path), error);
    if (error) return std::u16string(path);
    return FromNativePath(absolute.lexically_normal());
}

std::u16string ApplicationExeName() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::u16string() : FromNativePath(path);
}

std::u16string SystemErrorText(int error) {
    char buffer[512];
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return NativeToUnicode(text);
}

int LastSystemError() {
    return errno;
}

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const std::u16string& path) : FPath(path), FHandle(-1) {
    const int fd = OpenNoInterrupt(ToNativePath(path).c_str(), O_RDONLY);
    int error = errno;
    if (fd >= 0) {
        struct stat info;
        if (::fstat(fd, &info) != 0) {
            error = errno;
        } else if (S_ISDIR(info.st_mode)) {
            error = EISDIR;
        } else {
            FHandle = fd;
            return;
        }
        ::close(fd);
    }
    throw EFOpenError(Format(messages::OpenErrorPattern, {ExpandFileName(path), SystemErrorText(error)}));
}

TFileStream::~TFileStream() {
    ::close(static_cast<int>(FHandle));
}

std::uint64_t TFileStream::Size() {
    struct stat info;
    if (::fstat(static_cast<int>(FHandle), &info) != 0) {
        throw EReadError(Format(messages::ReadErrorPattern, {ExpandFileName(FPath), SystemErrorText(errno)}));
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::uint64_t TFileStream::Position() {
    const off_t position = ::lseek(static_cast<int>(FHandle), 0, SEEK_CUR);
    return position < 0 ? 0 : static_cast<std::uint64_t>(position);
}

void TFileStream::Seek(std::uint64_t position) {
    if (::lseek(static_cast<int>(FHandle), static_cast<off_t>(position), SEEK_SET) < 0) {
        throw EReadError(Format(messages::ReadErrorPattern, {ExpandFileName(FPath), SystemErrorText(errno)}));
    }
}

namespace {

// Reads until `count` bytes are in or the file ends: from the file's
// position, or from `position` when it is set.
std::size_t ReadFully(int fd, const std::u16string& path, void* buffer, std::size_t count,
                      std::optional<std::uint64_t> position) {
    auto* out = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        const ssize_t got =
            position ? ::pread(fd, out + total, count - total, static_cast<off_t>(*position + total))
                     : ::read(fd, out + total, count - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw EReadError(
                Format(messages::ReadErrorPattern, {ExpandFileName(path), SystemErrorText(errno)}));
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

}  // namespace

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    return ReadFully(static_cast<int>(FHandle), FPath, buffer, count, std::nullopt);
}

std::size_t TFileStream::ReadAt(std::uint64_t position, void* buffer, std::size_t count) {
    return ReadFully(static_cast<int>(FHandle), FPath, buffer, count, position);
}

// ------------------------------------------------------------ TSafeFileWriter

TSafeFileWriter::TSafeFileWriter(std::u16string_view targetPath) : FTargetPath(targetPath) {
    if (targetPath.empty()) RaiseCreateError(targetPath, ENOENT);
    FTarget = ToNativePath(targetPath);

    // Replace what a symbolic link points to, not the link itself.
    struct stat info;
    if (::lstat(FTarget.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::error_code error;
        std::filesystem::path resolved = std::filesystem::weakly_canonical(FTarget, error);
        if (!error) FTarget = resolved;
    }
    if (::stat(FTarget.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) RaiseCreateError(targetPath, EISDIR);
        // A file we may not write stays protected, as creating over it would fail.
        if (::faccessat(AT_FDCWD, FTarget.c_str(), W_OK, AT_EACCESS) != 0)
            RaiseCreateError(targetPath, errno);
        if (!S_ISREG(info.st_mode)) {
            // A device or a pipe (/dev/stdout, a FIFO) cannot be replaced: write into it.
            FDescriptor = OpenNoInterrupt(FTarget.c_str(), O_WRONLY | O_TRUNC);
            if (FDescriptor < 0) RaiseCreateError(targetPath, errno);
            FBuffer.reserve(kWriteBufferSize);
            return;
        }
        FHasPermissions = true;
        FPermissions = static_cast<std::filesystem::perms>(info.st_mode & 07777);
        FReplacing = true;
    }

    const std::filesystem::path folder = FTarget.has_parent_path() ? FTarget.parent_path() : ".";
    // Keep the temporary name within the 255 bytes a file name may have.
    const std::string name = FTarget.filename().string().substr(0, 200);
    for (int attempt = 0; FDescriptor < 0; ++attempt) {
        FTemporary = folder / ("." + name + "." + UnicodeToNative(RandomSuffix()) + ".tmp");
        FDescriptor = OpenNoInterrupt(FTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (FDescriptor < 0 && (errno != EEXIST || attempt > 100)) RaiseCreateError(targetPath, errno);
    }
    FBuffer.reserve(kWriteBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
    Discard();
}

void TSafeFileWriter::SetPermissions(std::filesystem::perms permissions) {
    FHasPermissions = true;
    FPermissions = permissions;
}

void TSafeFileWriter::Write(std::string_view bytes) {
    if (FDescriptor < 0) RaiseWriteError(EBADF);
    if (FBuffer.size() + bytes.size() > kWriteBufferSize) Flush();
    if (bytes.size() >= kWriteBufferSize) {
        WriteAll(bytes.data(), bytes.size());
    } else {
        FBuffer.append(bytes);
    }
}

void TSafeFileWriter::Flush() {
    WriteAll(FBuffer.data(), FBuffer.size());
    FBuffer.clear();
}

void TSafeFileWriter::WriteAll(const char* data, std::size_t left) {
    while (left > 0) {
        const ssize_t written = ::write(FDescriptor, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            RaiseWriteError(errno);
        }
        if (written == 0) RaiseWriteError(ENOSPC);
        data += written;
        left -= static_cast<std::size_t>(written);
        FWritten += static_cast<std::uint64_t>(written);
    }
#if defined(__linux__)
    if (FReplacing && FWritten - FWrittenBack >= kWritebackBytes) {
        // Only a hint: an error shows again at the flush.
        ::sync_file_range(FDescriptor, static_cast<off_t>(FWrittenBack),
                          static_cast<off_t>(FWritten - FWrittenBack), SYNC_FILE_RANGE_WRITE);
        FWrittenBack = FWritten;
    }
#endif
}

void TSafeFileWriter::Commit() {
    if (FDescriptor < 0) RaiseWriteError(EBADF);
    Flush();
    const bool renaming = !FTemporary.empty();
    // A file that takes the place of another is on disk first, so that a
    // crash leaves the one or the other. A new file has nothing to protect:
    // waiting for the disk would only make it slower (one that appeared in
    // the meantime is protected all the same).
    struct stat info;
    const bool durable = renaming && (FReplacing || ::stat(FTarget.c_str(), &info) == 0);
    if (renaming) {
        if (FHasPermissions && ::fchmod(FDescriptor, static_cast<mode_t>(FPermissions)) != 0) {
            RaiseWriteError(errno);
        }
        if (durable && ::fsync(FDescriptor) != 0) RaiseWriteError(errno);
    }
    const int descriptor = FDescriptor;
    FDescriptor = -1;
    if (::close(descriptor) != 0) RaiseWriteError(errno);
    if (renaming) {
        if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0) RaiseWriteError(errno);
        FTemporary.clear();
        if (durable) SyncFolder(FTarget);
    }
}

void TSafeFileWriter::Discard() noexcept {
    if (FDescriptor >= 0) {
        ::close(FDescriptor);
        FDescriptor = -1;
    }
    if (!FTemporary.empty()) {
        ::unlink(FTemporary.c_str());
        FTemporary.clear();
    }
}

void TSafeFileWriter::RaiseWriteError(int error) {
    Discard();
    throw EWriteError(
        Format(messages::WriteErrorPattern, {ExpandFileName(FTargetPath), SystemErrorText(error)}));
}

}  // namespace quillmark

// POSIX side of the file seam: file streams, existence tests, error texts and
// the safe writer.
#include <fcntl.h>
#include <libintl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Interrupt.h"
#include "base/Messages.h"
#include "base/Stream.h"
#include "base/Utf.h"

#if defined(__linux__)
#include <acl/libacl.h>
#include <attr/libattr.h>
#include <sys/acl.h>
#endif

namespace quillmark {
namespace {

constexpr std::size_t kWriteBufferSize = 1 << 20;
// Bytes written as they come, not copied into the buffer, from this size on.
constexpr std::size_t kWrittenAsTheyComeFrom = 1 << 16;
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

std::optional<TFileStamp> FileStampOf(std::u16string_view path) {
    struct stat info;
    if (path.empty() || ::stat(ToNativePath(path).c_str(), &info) != 0) return std::nullopt;
    return TFileStamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                      static_cast<std::uint64_t>(info.st_size),
                      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// Read from the system where it tells it: umask() itself can only be read
// by setting it, which another thread creating a file might notice.
unsigned CurrentUmask() {
#if defined(__linux__)
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return mask;
    }
#endif
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool IsPathTooLong(std::u16string_view path) {
    // A code unit takes at least one byte; only a path near the limit is
    // worth converting to count them.
    if (path.size() >= PATH_MAX) return true;
    return path.size() * 3 >= PATH_MAX && UnicodeToNative(path).size() >= PATH_MAX;
}

std::u16string PathTooLongText() {
    return SystemErrorText(ENAMETOOLONG);
}

std::u16string ExpandFileName(std::u16string_view path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(ToNativePath(path), error);
    if (error) return std::u16string(path);
    return FromNativePath(absolute.lexically_normal());
}

std::u16string ApplicationExeName() {
    std::error_code error;
    std::string path = std::filesystem::read_symlink("/proc/self/exe", error).native();
    if (error) return {};
    // A program replaced while it runs (a package upgrade) is shown as
    // "PATH (deleted)": the new one is installed at PATH.
    constexpr std::string_view kDeleted = " (deleted)";
    struct stat info;
    if (path.ends_with(kDeleted) && ::stat(path.c_str(), &info) != 0) {
        path.resize(path.size() - kDeleted.size());
        if (::stat(path.c_str(), &info) != 0) return {};
    }
    return NativeToUnicode(path);
}

std::u16string SystemErrorText(int error) {
    // The texts come in the language of LC_MESSAGES but in the character
    // set of LC_CTYPE, which the console program leaves at "C": a Japanese
    // text would be all "?". They are asked for in UTF-8 whatever it is.
    static const bool inUtf8 = ::bind_textdomain_codeset("libc", "UTF-8") != nullptr;
    (void)inUtf8;
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
    const std::string native = UnicodeToNative(path);
    // A path longer than the system takes is refused before any work; a
    // FIFO is opened without waiting for a writer, and refused like any
    // file that is not a regular one (devices, sockets): its bytes cannot
    // be read twice, nor do they end.
    int error = ENAMETOOLONG;
    int fd = -1;
    if (native.size() < PATH_MAX) {
        fd = OpenNoInterrupt(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
        error = errno;
    }
    if (fd >= 0) {
        struct stat info;
        if (::fstat(fd, &info) != 0) {
            error = errno;
        } else if (S_ISDIR(info.st_mode)) {
            error = EISDIR;
        } else if (!S_ISREG(info.st_mode)) {
            error = EINVAL;
        } else {
            FHandle = fd;
            if (info.st_size != 0) return;
            try {
                ReadSizelessFile();
            } catch (...) {
                ::close(fd);
                throw;
            }
            return;
        }
        ::close(fd);
    }
    throw EFOpenError(Format(messages::OpenErrorPattern, {ExpandFileName(path), SystemErrorText(error)}));
}

TFileStream::~TFileStream() {
    ::close(static_cast<int>(FHandle));
}

void TFileStream::ReadSizelessFile() {
    // Files of the kernel (/proc, /sys) report no size; their content is
    // made when read, and small.
    constexpr std::size_t kLimit = std::size_t{64} << 20;
    char buffer[65536];
    const TInterruptibleWait wait;
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(FHandle), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                CheckInterrupt();
                continue;
            }
            throw EReadError(
                Format(messages::ReadErrorPattern, {ExpandFileName(FPath), SystemErrorText(errno)}));
        }
        if (got == 0) break;
        FContent.append(buffer, static_cast<std::size_t>(got));
        if (FContent.size() > kLimit)
            throw EReadError(
                Format(messages::ReadErrorPattern, {ExpandFileName(FPath), SystemErrorText(EFBIG)}));
    }
    FInMemory = true;
}

std::uint64_t TFileStream::Size() {
    if (FInMemory) return FContent.size();
    struct stat info;
    if (::fstat(static_cast<int>(FHandle), &info) != 0) {
        throw EReadError(Format(messages::ReadErrorPattern, {ExpandFileName(FPath), SystemErrorText(errno)}));
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::uint64_t TFileStream::Position() {
    if (FInMemory) return FContentPosition;
    const off_t position = ::lseek(static_cast<int>(FHandle), 0, SEEK_CUR);
    return position < 0 ? 0 : static_cast<std::uint64_t>(position);
}

void TFileStream::Seek(std::uint64_t position) {
    if (FInMemory) {
        FContentPosition = std::min<std::uint64_t>(position, FContent.size());
        return;
    }
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
    // A FIFO's writer may never write.
    const TInterruptibleWait wait;
    while (total < count) {
        const ssize_t got =
            position ? ::pread(fd, out + total, count - total, static_cast<off_t>(*position + total))
                     : ::read(fd, out + total, count - total);
        if (got < 0) {
            if (errno == EINTR) {
                CheckInterrupt();
                continue;
            }
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
    if (FInMemory) {
        const std::size_t done = ReadAt(FContentPosition, buffer, count);
        FContentPosition += done;
        return done;
    }
    return ReadFully(static_cast<int>(FHandle), FPath, buffer, count, std::nullopt);
}

std::size_t TFileStream::ReadAt(std::uint64_t position, void* buffer, std::size_t count) {
    if (FInMemory) {
        if (position >= FContent.size()) return 0;
        const std::size_t done =
            std::min<std::size_t>(count, FContent.size() - static_cast<std::size_t>(position));
        std::memcpy(buffer, FContent.data() + position, done);
        return done;
    }
    return ReadFully(static_cast<int>(FHandle), FPath, buffer, count, position);
}

// ------------------------------------------------------------ TSafeFileWriter

namespace {

// Where a target path leads once its symbolic links are followed.
struct TResolvedTarget {
    int Descriptor = -1;         // one of the process's own descriptors, or -1
    std::filesystem::path Path;  // else the file, whose folder exists
};

// The number N of a process descriptor path "/proc/<this process>/fd/N"
// (or of one of its threads), given its folder with links resolved.
int OwnDescriptorNumber(const std::string& folder, const std::string& name) {
    if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const std::string process = "/proc/" + std::to_string(::getpid());
    const bool own =
        folder == process + "/fd" || (folder.starts_with(process + "/task/") && folder.ends_with("/fd") &&
                                      folder.find('/', process.size() + 6) == folder.size() - 3);
    return own ? std::stoi(name) : -1;
}

// Follows `path` link by link, as opening it would, but stops at a link into
// the process's own descriptor table (/dev/stdout leads to /proc/self/fd/1,
// which the system would follow to the file behind the descriptor, losing
// its position and append mode). Returns the error number, or 0.
int ResolveTarget(std::filesystem::path path, TResolvedTarget& resolved) {
    for (int hop = 0; hop <= 40; ++hop) {
        const std::filesystem::path name = path.filename();
        if (name.empty() || name == "." || name == "..") return EISDIR;
        const std::filesystem::path parent = path.has_parent_path() ? path.parent_path() : ".";
        char* real = ::realpath(parent.c_str(), nullptr);
        if (real == nullptr) return errno;
        const std::string folder = real;
        std::free(real);
        const int descriptor = OwnDescriptorNumber(folder, name.native());
        if (descriptor >= 0) {
            resolved.Descriptor = descriptor;
            return 0;
        }
        const std::filesystem::path file = std::filesystem::path(folder) / name;
        struct stat info;
        if (::lstat(file.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            resolved.Path = file;
            return 0;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(file.c_str(), link.data(), link.size());
        if (length < 0) return errno;
        if (static_cast<std::size_t>(length) >= link.size()) return ENAMETOOLONG;
        link.resize(static_cast<std::size_t>(length));
        path = link.starts_with('/') ? std::filesystem::path(link) : std::filesystem::path(folder) / link;
    }
    return ELOOP;
}

// Gives the new file `fd` what the old one had: owner and group where this
// process may set them, access control list, extended attributes, mode
// bits; never the set-user-ID and set-group-ID bits. Failures to keep owner
// or attributes are not errors (a user cannot give files away); a failure
// to set the mode is.
int TakeAttributes(int fd, const std::filesystem::path& oldPath, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    const mode_t mode = old.st_mode & 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID);
#if defined(__linux__)
    const int oldFile = OpenNoInterrupt(oldPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (oldFile >= 0) {
        struct stat same;
        if (::fstat(oldFile, &same) == 0 && same.st_dev == old.st_dev && same.st_ino == old.st_ino) {
            // perm_copy_fd sets the mode bits with the list; a file system
            // without lists gets the mode alone.
            (void)::perm_copy_fd(oldPath.c_str(), oldFile, nullptr, fd, nullptr);
            (void)::attr_copy_fd(oldPath.c_str(), oldFile, nullptr, fd, nullptr, nullptr);
        }
        ::close(oldFile);
    }
    struct stat now;
    if (::fstat(fd, &now) != 0) return errno;
    // With an access control list the group bits are its mask, which the
    // copy has already set: a chmod with the same bits keeps it.
    if ((now.st_mode & 07777) == mode) return 0;
    if ((now.st_mode & 0777) == (mode & 0777) && !(now.st_mode & (S_ISUID | S_ISGID)))
        return ::fchmod(fd, mode) == 0 ? 0 : errno;
#else
    (void)oldPath;
#endif
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

// Gives the new file `fd`, made in `folder` under a temporary name with
// no access for others, what a file created there with `mode` gets: the
// folder's default access control list, its owner's, mask's (owning
// group's without a mask) and others' entries cut down to `mode`, where it
// has one (the umask does not apply then); else `mode` less the umask.
int GiveNewFileAccess(int fd, const std::filesystem::path& folder, mode_t mode) {
#if defined(__linux__)
    if (acl_t inherited = ::acl_get_file(folder.c_str(), ACL_TYPE_DEFAULT); inherited != nullptr) {
        int result = -1;
        if (::acl_entries(inherited) > 0) {
            bool hasMask = false;
            acl_entry_t entry;
            for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(inherited, which, &entry) == 1;
                 which = ACL_NEXT_ENTRY) {
                acl_tag_t tag;
                if (::acl_get_tag_type(entry, &tag) == 0 && tag == ACL_MASK) hasMask = true;
            }
            for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(inherited, which, &entry) == 1;
                 which = ACL_NEXT_ENTRY) {
                acl_tag_t tag;
                acl_permset_t permissions;
                if (::acl_get_tag_type(entry, &tag) != 0 || ::acl_get_permset(entry, &permissions) != 0)
                    continue;
                const mode_t allowed = tag == ACL_USER_OBJ                           ? mode >> 6
                                       : tag == (hasMask ? ACL_MASK : ACL_GROUP_OBJ) ? mode >> 3
                                       : tag == ACL_OTHER                            ? mode
                                                                                     : 07;
                for (const auto& [bit, permission] :
                     {std::pair{04, ACL_READ}, std::pair{02, ACL_WRITE}, std::pair{01, ACL_EXECUTE}})
                    if ((allowed & static_cast<mode_t>(bit)) == 0) ::acl_delete_perm(permissions, permission);
                ::acl_set_permset(entry, permissions);
            }
            result = ::acl_set_fd(fd, inherited) == 0 ? 0 : errno;
        }
        ::acl_free(inherited);
        if (result >= 0) return result;
    }
#else
    (void)folder;
#endif
    return ::fchmod(fd, mode & ~static_cast<mode_t>(CurrentUmask())) == 0 ? 0 : errno;
}

// Gives the unnamed file `fd` the name `path`: through /proc, which needs no
// privilege, or else by the descriptor itself. Returns the error number, or 0.
int LinkUnnamed(int fd, const std::filesystem::path& path) {
#if defined(O_TMPFILE)
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    const int error = errno;
    if (error == EEXIST || error == ENOSPC || error == EDQUOT) return error;
    return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0 ? 0 : error;
#else
    (void)fd;
    (void)path;
    return ENOTSUP;
#endif
}

}  // namespace

TSafeFileWriter::TSafeFileWriter(std::u16string_view targetPath) : FTargetPath(targetPath) {
    if (targetPath.empty()) RaiseCreateError(targetPath, ENOENT);
    FTarget = ToNativePath(targetPath);
    // A path longer than the system takes is refused before any work.
    if (FTarget.native().size() >= PATH_MAX) RaiseCreateError(targetPath, ENAMETOOLONG);

    TResolvedTarget resolved;
    if (const int error = ResolveTarget(FTarget, resolved)) RaiseCreateError(targetPath, error);
    FBuffer.reserve(kWriteBufferSize);
    if (resolved.Descriptor >= 0) {
        // Written through the descriptor itself: at its position, in its
        // mode (append included), never truncated or replaced.
        const int flags = ::fcntl(resolved.Descriptor, F_GETFL);
        if (flags < 0) RaiseCreateError(targetPath, EBADF);
        if ((flags & O_ACCMODE) == O_RDONLY) RaiseCreateError(targetPath, EBADF);
        FDescriptor = ::fcntl(resolved.Descriptor, F_DUPFD_CLOEXEC, 3);
        if (FDescriptor < 0) RaiseCreateError(targetPath, errno);
        FDirect = true;
        return;
    }
    FTarget = resolved.Path;

    struct stat info;
    if (::stat(FTarget.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) RaiseCreateError(targetPath, EISDIR);
        // A file we may not write stays protected, as creating over it would fail.
        if (::faccessat(AT_FDCWD, FTarget.c_str(), W_OK, AT_EACCESS) != 0)
            RaiseCreateError(targetPath, errno);
        if (!S_ISREG(info.st_mode)) {
            // A pipe, a FIFO or a device cannot be replaced: write into it.
            // Without blocking, a FIFO nobody reads is an error, not a hang.
            FDescriptor = OpenNoInterrupt(FTarget.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY);
            if (FDescriptor < 0) RaiseCreateError(targetPath, errno == ENXIO ? EPIPE : errno);
            const int flags = ::fcntl(FDescriptor, F_GETFL);
            if (flags >= 0) ::fcntl(FDescriptor, F_SETFL, flags & ~O_NONBLOCK);
            FDirect = true;
            return;
        }
        FReplacing = true;
    }

    const std::filesystem::path folder = FTarget.parent_path();
#if defined(O_TMPFILE)
    // A file without a name until the commit: nothing is left behind
    // whatever ends the process.
    FDescriptor = OpenNoInterrupt(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    FUnnamed = FDescriptor >= 0;
#endif
    // Keep the temporary name within the 255 bytes a file name may have.
    const std::string name = FTarget.filename().string().substr(0, 200);
    for (int attempt = 0; FDescriptor < 0; ++attempt) {
        FTemporary = folder / ("." + name + "." + UnicodeToNative(RandomSuffix()) + ".tmp");
        FDescriptor = OpenNoInterrupt(FTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (FDescriptor < 0) {
            const int error = errno;
            FTemporary.clear();
            if (error != EEXIST || attempt > 100) RaiseCreateError(targetPath, error);
        }
    }
    if (FUnnamed) FTemporary = folder / ("." + name + "." + UnicodeToNative(RandomSuffix()) + ".tmp");

    // Owner, group, mode and attributes are in place before the first byte.
    const int error = FReplacing ? TakeAttributes(FDescriptor, FTarget, info)
                                 : GiveNewFileAccess(FDescriptor, folder, 0666);
    if (error != 0) {
        Discard();
        RaiseCreateError(targetPath, error);
    }
}

TSafeFileWriter::~TSafeFileWriter() {
    Discard();
}

void TSafeFileWriter::SetCreationMode(unsigned mode) {
    if (FDirect || FReplacing || FDescriptor < 0) return;
    if (const int error =
            GiveNewFileAccess(FDescriptor, FTarget.parent_path(), static_cast<mode_t>(mode) & 0777))
        RaiseWriteError(error);
}

void TSafeFileWriter::Write(std::string_view bytes) {
    if (FDescriptor < 0) RaiseWriteError(EBADF);
    if (FBuffer.size() + bytes.size() > kWriteBufferSize || bytes.size() >= kWrittenAsTheyComeFrom) Flush();
    if (bytes.size() >= kWrittenAsTheyComeFrom) {
        WriteAll(bytes.data(), bytes.size());
    } else {
        FBuffer.append(bytes);
    }
}

void TSafeFileWriter::Flush() {
    if (FBuffer.empty()) return;
    WriteAll(FBuffer.data(), FBuffer.size());
    FBuffer.clear();
}

void TSafeFileWriter::WriteAll(const char* data, std::size_t left) {
    // A pipe's or FIFO's reader may never read.
    const TInterruptibleWait wait;
    while (left > 0) {
        // An interrupt that came between two writes, or cut one short (it
        // returns what it wrote), is seen before the next one waits.
        CheckInterrupt();
        const ssize_t written = ::write(FDescriptor, data, left);
        if (written < 0) {
            // A write that waits on a pipe returns early for an interrupt.
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
    if (FDirect) {
        const int descriptor = FDescriptor;
        FDescriptor = -1;
        if (::close(descriptor) != 0 && errno != EINTR) RaiseWriteError(errno);
        return;
    }
    // A file that takes the place of another is on disk first, so that a
    // crash leaves the one or the other. A new file has nothing to protect:
    // waiting for the disk would only make it slower (one that appeared in
    // the meantime is protected all the same).
    struct stat info;
    const bool durable = FReplacing || ::stat(FTarget.c_str(), &info) == 0;
    if (durable && ::fsync(FDescriptor) != 0) RaiseWriteError(errno);
    // The last moment an interrupt can still leave everything as it was.
    CheckInterrupt();
    if (FUnnamed) {
        // A new file takes its name directly; one that replaces another is
        // named beside it first and renamed over it.
        if (!durable && LinkUnnamed(FDescriptor, FTarget) == 0) {
            FTemporary.clear();
        } else if (const int error = LinkUnnamed(FDescriptor, FTemporary)) {
            FTemporary.clear();
            RaiseWriteError(error);
        }
        FUnnamed = false;
    }
    // The name beside the target goes at once: a kill between the two calls
    // is all that can still leave it behind.
    if (!FTemporary.empty()) {
        if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0) RaiseWriteError(errno);
        FTemporary.clear();
    }
    const int descriptor = FDescriptor;
    FDescriptor = -1;
    if (::close(descriptor) != 0) RaiseWriteError(errno);
    if (durable) SyncFolder(FTarget);
}

void TSafeFileWriter::Discard() noexcept {
    if (FDescriptor >= 0) {
        ::close(FDescriptor);
        FDescriptor = -1;
    }
    if (!FTemporary.empty() && !FUnnamed) ::unlink(FTemporary.c_str());
    FTemporary.clear();
    FUnnamed = false;
}

void TSafeFileWriter::RaiseWriteError(int error) {
    Discard();
    throw EWriteError(
        Format(messages::WriteErrorPattern, {ExpandFileName(FTargetPath), SystemErrorText(error)}));
}

}  // namespace quillmark

#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/ByteBuffer.h"

namespace quillmark {

// The path as the operating system takes it.
std::filesystem::path ToNativePath(std::u16string_view path);
std::u16string FromNativePath(const std::filesystem::path& path);

// True when something that is not a directory exists at `path`, following
// symbolic links. An empty path gives false.
bool FileExists(std::u16string_view path);

// One state of a file: where it is stored, its size and when it was last
// written. Two equal stamps of a path: the same file, unchanged as far as
// the system tells.
struct TFileStamp {
    std::uint64_t Device = 0;
    std::uint64_t Index = 0;  // inode, or the file index on Windows
    std::uint64_t Size = 0;
    std::int64_t Written = 0;  // in the system's units
    bool operator==(const TFileStamp&) const = default;
};

// The stamp of the file at `path` (links followed), nothing when there is none.
std::optional<TFileStamp> FileStampOf(std::u16string_view path);

// True when `path` is longer than the system takes (PATH_MAX bytes on
// POSIX): such a path is refused before any work is done for it.
bool IsPathTooLong(std::u16string_view path);

// The system's text for such a path, for the create and open messages.
std::u16string PathTooLongText();

// The process's file-creation mask (umask on POSIX, 0 on Windows), read
// without changing it.
unsigned CurrentUmask();

// The absolute form of `path`, made against the current folder, with "." and
// ".." resolved by text. An empty path gives the current folder.
std::u16string ExpandFileName(std::u16string_view path);

// The full path of the running program (GetModuleFileName on Windows), or
// "" when the system cannot tell.
std::u16string ApplicationExeName();

// The system's description of an error number (errno, or GetLastError on Windows).
std::u16string SystemErrorText(int error);

// The error numbers this code inspects, for the error texts above.
int LastSystemError();

// Where written bytes go: a file, or memory.
class IByteSink {
  public:
    virtual void Write(std::string_view bytes) = 0;
    // Writes the bytes of `buffer` and leaves it empty. A sink may keep the
    // buffer itself instead of copying from it, and leave another one, of
    // any capacity, in its place.
    virtual void Take(TByteBuffer& buffer) {
        Write(buffer.View());
        buffer.Size = 0;
    }

  protected:
    ~IByteSink() = default;
};

// Writes a file so that a failure never harms what was there before: the
// bytes go to a new temporary file beside the target, every write, the
// flush and the close are checked, and only Commit() puts the file in place,
// in one atomic rename. Without Commit() (an error, an exception, a cancel,
// an interrupt) the temporary file is removed and the target stays exactly
// as it was. The temporary file is private to its owner from the start and
// takes the old file's owner, group, mode (set-user-ID and set-group-ID
// bits dropped), access control list and extended attributes before its
// first byte; on Linux it has no name until the commit. A file that replaces
// another is synced to disk before the rename; a new file is left to the
// system's own writeback.
// Symbolic links are followed to the file they name, which a dangling link
// gets created. A target that cannot be replaced is written in place: one of
// the process's own descriptors (/dev/stdout, /dev/fd/N, a link to one) at
// its position and in its mode, a pipe, a FIFO or a device (see IsDirect).
class TSafeFileWriter final : public IByteSink {
  public:
    // Throws EFCreateError "ファイル "%s" を作成できません。%s" (full path,
    // system text) when the target cannot be created or replaced: missing
    // folder, no permission, a read-only file, a directory in the way.
    explicit TSafeFileWriter(std::u16string_view targetPath);
    ~TSafeFileWriter();
    TSafeFileWriter(const TSafeFileWriter&) = delete;
    TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

    // Throw EWriteError "ファイル "%s" に書き込めません。%s" on any failure.
    void Write(std::string_view bytes) override;
    void Commit();

    // A new file gets what a file created in its folder with `mode` gets
    // (default 0666): the folder's default access control list cut down to
    // `mode`, or `mode` less the umask. A file replaced keeps its own.
    void SetCreationMode(unsigned mode);

    // True when the target is written in place (a descriptor, pipe, FIFO or
    // device): written bytes cannot be taken back, so a caller that might
    // start over must settle everything before its first Write.
    bool IsDirect() const noexcept { return FDirect; }

  private:
    void Flush();
    void WriteAll(const char* data, std::size_t size);
    void Discard() noexcept;
    [[noreturn]] void RaiseWriteError(int error);

    std::u16string FTargetPath;     // as given, for messages
    std::filesystem::path FTarget;  // where the file lands (symbolic links resolved)
    std::filesystem::path FTemporary;
    int FDescriptor = -1;
    std::string FBuffer;
    std::uint64_t FWritten = 0;      // bytes in the file so far
    std::uint64_t FWrittenBack = 0;  // of those, bytes handed to the disk early
    bool FReplacing = false;         // a file stood at the target to begin with
    bool FDirect = false;            // written in place, see IsDirect
    bool FUnnamed = false;           // the temporary file has no name yet (O_TMPFILE)
};

}  // namespace quillmark

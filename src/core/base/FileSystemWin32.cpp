// Windows side of the file seam: file streams, existence tests, error texts
// and the safe writer, on the Unicode API. Paths too long for the classic
// limit of 260 characters go to the system in their \\?\ form.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <random>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Interrupt.h"
#include "base/Messages.h"
#include "base/Stream.h"

namespace quillmark {
namespace {

constexpr std::size_t kWriteBufferSize = 1 << 20;
// Bytes written as they come, not copied into the buffer, from this size on.
constexpr std::size_t kWrittenAsTheyComeFrom = 1 << 16;
// The most handed to one ReadFile or WriteFile, whose counts are 32-bit.
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FullPathName(std::u16string_view path) {
    const std::u16string given(path.empty() ? u"." : path);
    std::u16string full(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(Wide(given), static_cast<DWORD>(full.size()),
                                                reinterpret_cast<wchar_t*>(full.data()), nullptr);
        if (length == 0) return given;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

// The path as the file functions take it: absolute, and in the \\?\ form
// when it is too long for the classic limit (folders have 12 characters
// less, for the 8.3 name of a file inside).
std::u16string SystemPath(std::u16string_view path) {
    if (path.starts_with(u"\\\\?\\") || path.starts_with(u"\\\\.\\")) return std::u16string(path);
    const std::u16string full = FullPathName(path);
    if (full.size() < MAX_PATH - 12 || full.starts_with(u"\\\\?\\") || full.starts_with(u"\\\\.\\"))
        return full;
    if (full.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + full.substr(2);
    return u"\\\\?\\" + full;
}

[[noreturn]] void RaiseCreateError(std::u16string_view path, DWORD error) {
    throw EFCreateError(Format(messages::CreateErrorPattern,
                               {ExpandFileName(path), SystemErrorText(static_cast<int>(error))}));
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

// What TFileStream::FHandle points to: the handle and the position Read
// reads from. Reads give the position explicitly, so that ReadAt from
// other threads does not move it.
struct TOpenFile {
    HANDLE Handle;
    std::uint64_t Position = 0;
};

TOpenFile& OpenFileOf(std::intptr_t handle) {
    return *reinterpret_cast<TOpenFile*>(handle);
}

HANDLE HandleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

}  // namespace

std::filesystem::path ToNativePath(std::u16string_view path) {
    return std::filesystem::path(std::wstring(path.begin(), path.end()));
}

std::u16string FromNativePath(const std::filesystem::path& path) {
    const std::wstring& native = path.native();
    return std::u16string(native.begin(), native.end());
}

namespace {

// What the system tells of the file or folder at `systemPath`, links followed.
std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(const std::u16string& systemPath) {
    const HANDLE handle =
        ::CreateFileW(Wide(systemPath), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = ::GetFileInformationByHandle(handle, &information);
    ::CloseHandle(handle);
    if (!known) return std::nullopt;
    return information;
}

}  // namespace

bool FileExists(std::u16string_view path) {
    if (path.empty()) return false;
    const std::u16string system = SystemPath(path);
    const DWORD attributes = ::GetFileAttributesW(Wide(system));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    // A link counts by what it points to.
    const std::optional<BY_HANDLE_FILE_INFORMATION> information = InformationOf(system);
    return information && (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<TFileStamp> FileStampOf(std::u16string_view path) {
    if (path.empty()) return std::nullopt;
    const std::optional<BY_HANDLE_FILE_INFORMATION> information = InformationOf(SystemPath(path));
    if (!information) return std::nullopt;
    return TFileStamp{
        information->dwVolumeSerialNumber,
        std::uint64_t{information->nFileIndexHigh} << 32 | information->nFileIndexLow,
        std::uint64_t{information->nFileSizeHigh} << 32 | information->nFileSizeLow,
        static_cast<std::int64_t>(std::uint64_t{information->ftLastWriteTime.dwHighDateTime} << 32 |
                                  information->ftLastWriteTime.dwLowDateTime)};
}

bool IsPathTooLong(std::u16string_view path) {
    // The "\\?\" form takes paths of up to 32,767 characters, terminator
    // and prefix included.
    return path.size() >= 32767 - 8;
}

std::u16string PathTooLongText() {
    return SystemErrorText(ERROR_FILENAME_EXCED_RANGE);
}

unsigned CurrentUmask() {
    return 0;
}

std::u16string ExpandFileName(std::u16string_view path) {
    return FullPathName(path);
}

std::u16string ApplicationExeName() {
    std::u16string name(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(name.data()),
                                                  static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(name.size() * 2);
    }
}

std::u16string SystemErrorText(int error) {
    wchar_t* buffer = nullptr;
    // The system's text in the user's language.
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length > 0 && buffer != nullptr) text.assign(buffer, buffer + length);
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' '))
        text.pop_back();
    if (text.empty()) {
        const std::string number = std::to_string(static_cast<DWORD>(error));
        text = u"Error " + std::u16string(number.begin(), number.end());
    }
    return text;
}

int LastSystemError() {
    return static_cast<int>(::GetLastError());
}

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const std::u16string& path) : FPath(path), FHandle(0) {
    // Other readers are welcome; writers are kept out while the file is read.
    const HANDLE handle = ::CreateFileW(Wide(SystemPath(path)), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        throw EFOpenError(Format(messages::OpenErrorPattern,
                                 {ExpandFileName(path), SystemErrorText(static_cast<int>(error))}));
    }
    FHandle = reinterpret_cast<std::intptr_t>(new TOpenFile{handle});
}

TFileStream::~TFileStream() {
    TOpenFile* file = &OpenFileOf(FHandle);
    ::CloseHandle(file->Handle);
    delete file;
}

std::uint64_t TFileStream::Size() {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(OpenFileOf(FHandle).Handle, &size)) {
        throw EReadError(
            Format(messages::ReadErrorPattern,
                   {ExpandFileName(FPath), SystemErrorText(static_cast<int>(::GetLastError()))}));
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint64_t TFileStream::Position() {
    return OpenFileOf(FHandle).Position;
}

void TFileStream::Seek(std::uint64_t position) {
    OpenFileOf(FHandle).Position = position;
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    TOpenFile& file = OpenFileOf(FHandle);
    const std::size_t got = ReadAt(file.Position, buffer, count);
    file.Position += got;
    return got;
}

std::size_t TFileStream::ReadAt(std::uint64_t position, void* buffer, std::size_t count) {
    const HANDLE handle = OpenFileOf(FHandle).Handle;
    auto* out = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        OVERLAPPED at{};
        const std::uint64_t offset = position + total;
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const auto wanted = static_cast<DWORD>(std::min(count - total, kMostPerCall));
        DWORD got = 0;
        if (!::ReadFile(handle, out + total, wanted, &got, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            throw EReadError(Format(messages::ReadErrorPattern,
                                    {ExpandFileName(FPath), SystemErrorText(static_cast<int>(error))}));
        }
        if (got == 0) break;
        total += got;
    }
    return total;
}

// ------------------------------------------------------------ TSafeFileWriter

TSafeFileWriter::TSafeFileWriter(std::u16string_view targetPath) : FTargetPath(targetPath) {
    if (targetPath.empty()) RaiseCreateError(targetPath, ERROR_PATH_NOT_FOUND);
    const std::u16string target = SystemPath(targetPath);
    FTarget = ToNativePath(target);

    // What stands at the target now: opening it for writing (without
    // changing it) finds a folder, a read-only file and a file another
    // program holds open without sharing before anything is written.
    const HANDLE existing =
        ::CreateFileW(Wide(target), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) RaiseCreateError(targetPath, error);
    } else if (const DWORD attributes = ::GetFileAttributesW(Wide(target));
               attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        // Read-only means "do not replace me", also to an administrator.
        ::CloseHandle(existing);
        RaiseCreateError(targetPath, ERROR_ACCESS_DENIED);
    } else if (::GetFileType(existing) != FILE_TYPE_DISK) {
        // A device or a pipe (NUL, CON, \\.\pipe\...) cannot be replaced: write into it.
        FDescriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(existing), _O_WRONLY | _O_BINARY);
        if (FDescriptor < 0) {
            ::CloseHandle(existing);
            RaiseCreateError(targetPath, ERROR_INVALID_HANDLE);
        }
        FBuffer.reserve(kWriteBufferSize);
        return;
    } else {
        ::CloseHandle(existing);
        FReplacing = true;
    }

    const std::u16string folder = target.substr(0, target.find_last_of(u"\\/") + 1);
    const std::u16string name = target.substr(folder.size()).substr(0, 200);
    for (int attempt = 0; FDescriptor < 0; ++attempt) {
        const std::u16string temporary = folder + u"." + name + u"." + RandomSuffix() + u".tmp";
        const HANDLE handle = ::CreateFileW(Wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS && attempt < 100) continue;
            RaiseCreateError(targetPath, error);
        }
        FTemporary = ToNativePath(temporary);
        FDescriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (FDescriptor < 0) {
            ::CloseHandle(handle);
            Discard();
            RaiseCreateError(targetPath, ERROR_INVALID_HANDLE);
        }
    }
    FBuffer.reserve(kWriteBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
    Discard();
}

// Windows files have no mode bits: the replaced file's attributes and
// security carry over through ReplaceFileW, a new file takes the folder's.
void TSafeFileWriter::SetCreationMode(unsigned) {}

void TSafeFileWriter::Write(std::string_view bytes) {
    // Ctrl+C or a closed console stops the writing here, where the old
    // target is still whole: the temporary file goes with the writer.
    CheckInterrupt();
    if (FDescriptor < 0) RaiseWriteError(ERROR_INVALID_HANDLE);
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
    const HANDLE handle = HandleOf(FDescriptor);
    // A pipe's reader may never read.
    const TInterruptibleWait wait(handle);
    while (left > 0) {
        CheckInterrupt();
        DWORD written = 0;
        if (!::WriteFile(handle, data, static_cast<DWORD>(std::min(left, kMostPerCall)), &written, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_OPERATION_ABORTED) CheckInterrupt();
            RaiseWriteError(static_cast<int>(error));
        }
        if (written == 0) RaiseWriteError(ERROR_DISK_FULL);
        data += written;
        left -= written;
        FWritten += written;
    }
}

void TSafeFileWriter::Commit() {
    CheckInterrupt();
    if (FDescriptor < 0) RaiseWriteError(ERROR_INVALID_HANDLE);
    Flush();
    const bool renaming = !FTemporary.empty();
    // Every byte is on the disk before the file takes its place, so that a
    // crash leaves the old file or the new one.
    if (renaming && !::FlushFileBuffers(HandleOf(FDescriptor)))
        RaiseWriteError(static_cast<int>(::GetLastError()));
    const int descriptor = FDescriptor;
    FDescriptor = -1;
    if (::_close(descriptor) != 0) RaiseWriteError(ERROR_WRITE_FAULT);
    if (!renaming) return;

    const std::u16string target = FromNativePath(FTarget);
    const std::u16string temporary = FromNativePath(FTemporary);
    if (FReplacing) {
        // A program that opened the old file without sharing in the
        // meantime keeps it: it is not replaced under that program's feet.
        const HANDLE existing = ::CreateFileW(Wide(target), GENERIC_WRITE | DELETE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (existing != INVALID_HANDLE_VALUE) {
            ::CloseHandle(existing);
        } else if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND) {
            RaiseWriteError(static_cast<int>(error));
        }
        // Keeps the old file's attributes, security and alternate streams.
        if (::ReplaceFileW(Wide(target), Wide(temporary), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                           nullptr)) {
            FTemporary.clear();
            return;
        }
        const DWORD error = ::GetLastError();
        // Gone in the meantime, or removed by ReplaceFileW before it failed
        // to move the new file in: the new file is moved in as a new one.
        // Anything else leaves the old file as it was.
        const bool targetGone = ::GetFileAttributesW(Wide(target)) == INVALID_FILE_ATTRIBUTES &&
                                ::GetLastError() == ERROR_FILE_NOT_FOUND;
        if (!targetGone) RaiseWriteError(static_cast<int>(error));
    }
    if (!::MoveFileExW(Wide(temporary), Wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RaiseWriteError(static_cast<int>(::GetLastError()));
    FTemporary.clear();
}

void TSafeFileWriter::Discard() noexcept {
    if (FDescriptor >= 0) {
        ::_close(FDescriptor);
        FDescriptor = -1;
    }
    if (!FTemporary.empty()) {
        ::DeleteFileW(FTemporary.c_str());
        FTemporary.clear();
    }
}

void TSafeFileWriter::RaiseWriteError(int error) {
    Discard();
    throw EWriteError(
        Format(messages::WriteErrorPattern, {ExpandFileName(FTargetPath), SystemErrorText(error)}));
}

}  // namespace quillmark

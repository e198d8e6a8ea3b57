#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// A readable, seekable byte stream. Sizes and positions are 64-bit.
class TStream {
  public:
    virtual ~TStream() = default;

    virtual std::uint64_t Size() = 0;
    virtual std::uint64_t Position() = 0;
    virtual void Seek(std::uint64_t position) = 0;
    // Reads up to `count` bytes; fewer only at the end of the stream.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;

    // Reads exactly `count` bytes or throws EReadError.
    void ReadBuffer(void* buffer, std::size_t count);
};

// A stream over bytes held in memory.
class TMemoryStream final : public TStream {
  public:
    explicit TMemoryStream(std::string bytes = {});

    std::uint64_t Size() override { return FBytes.size(); }
    std::uint64_t Position() override { return FPosition; }
    void Seek(std::uint64_t position) override;
    std::size_t Read(void* buffer, std::size_t count) override;

    const std::string& Bytes() const { return FBytes; }

  private:
    std::string FBytes;
    std::uint64_t FPosition = 0;
};

// A file opened for reading. Other readers are welcome; on Windows other
// writers are denied while it is open (POSIX has no mandatory share modes,
// so there it is simply opened read-only).
class TFileStream final : public TStream {
  public:
    // Throws EFOpenError "ファイル %s は開けません。 %s " when the file cannot be
    // opened, directories included.
    explicit TFileStream(const std::u16string& path);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::uint64_t Size() override;
    std::uint64_t Position() override;
    void Seek(std::uint64_t position) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    // Reads up to `count` bytes from `position` on, fewer only at the end,
    // without moving the position Read reads from: several threads may read
    // at once.
    std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t count);

  private:
    void ReadSizelessFile();

    std::u16string FPath;
    std::intptr_t FHandle;
    // A file whose size reads as 0 while it has content (under /proc) is
    // read whole at the start and served from here.
    bool FInMemory = false;
    std::string FContent;
    std::uint64_t FContentPosition = 0;
};

// Bytes `from` to `to` of a file as a stream of their own, read with
// TFileStream::ReadAt: beside another reader of the same file, in another
// thread.
class TFileSection final : public TStream {
  public:
    TFileSection(TFileStream& file, std::uint64_t from, std::uint64_t to)
        : FFile(file), FFrom(from), FTo(to < from ? from : to) {}

    std::uint64_t Size() override { return FTo - FFrom; }
    std::uint64_t Position() override { return FPosition; }
    void Seek(std::uint64_t position) override { FPosition = position < Size() ? position : Size(); }
    std::size_t Read(void* buffer, std::size_t count) override;

  private:
    TFileStream& FFile;
    std::uint64_t FFrom;
    std::uint64_t FTo;
    std::uint64_t FPosition = 0;
};

}  // namespace quillmark

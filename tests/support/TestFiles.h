#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillmark::test {

// A fresh, empty folder for one test, removed with everything in it when the
// object goes.
class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The path of `name` inside the folder, as the system's Unicode string.
    std::u16string File(std::string_view name) const;
    std::filesystem::path operator/(std::string_view name) const { return FPath / name; }
    // Names of the entries in the folder, sorted.
    std::string Listing() const;

  private:
    std::filesystem::path FPath;
};

// A listening Unix socket at `path`: it exists as a file, but opening it
// fails even for root, which makes it an unreadable file for any test. On
// Windows, a file the test holds open without sharing.
class TUnixSocket {
  public:
    explicit TUnixSocket(const std::filesystem::path& path);
    ~TUnixSocket();
    TUnixSocket(const TUnixSocket&) = delete;
    TUnixSocket& operator=(const TUnixSocket&) = delete;

  private:
    int FDescriptor = -1;
};

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// Readable form of bytes for failure output: printable ASCII as is, the
// rest as \xHH.
std::string Escape(std::string_view bytes);

}  // namespace quillmark::test

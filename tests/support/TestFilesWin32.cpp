#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <stdexcept>

#include "support/Platform.h"
#include "support/TestFiles.h"

namespace quillmark::test {

// Windows has no sockets in the file system: a file held open without
// sharing is as unopenable for everyone else.
TUnixSocket::TUnixSocket(const std::filesystem::path& path) {
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot hold " + path.string());
    FDescriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDWR);
}

TUnixSocket::~TUnixSocket() {
    ::_close(FDescriptor);
}

}  // namespace quillmark::test

namespace quillmark::test {

bool SystemConverts(std::uint32_t codePage) {
    return ::IsValidCodePage(codePage);
}

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace quillmark::test

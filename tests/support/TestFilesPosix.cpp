#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "support/Platform.h"
#include "support/TestFiles.h"

namespace quillmark::test {

TUnixSocket::TUnixSocket(const std::filesystem::path& path) : FDescriptor(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = path.string();
    if (FDescriptor < 0 || name.size() >= sizeof address.sun_path)
        throw std::runtime_error("cannot bind " + name);
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    if (::bind(FDescriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(FDescriptor);
        throw std::runtime_error("cannot bind " + name);
    }
}

TUnixSocket::~TUnixSocket() {
    ::close(FDescriptor);
}

}  // namespace quillmark::test

namespace quillmark::test {

bool SystemConverts(std::uint32_t) {
    return true;
}

bool UnderWine() {
    return false;
}

}  // namespace quillmark::test

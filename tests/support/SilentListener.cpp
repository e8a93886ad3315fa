#include "SilentListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace brisfold::test {

SilentListener::SilentListener()
{
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
        throw std::runtime_error("no socket for the silent listener");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket_, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(socket_, 16) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(socket_);
        throw std::runtime_error("the silent listener found no port");
    }
    port_ = ntohs(address.sin_port);
}

SilentListener::~SilentListener()
{
    ::close(socket_);
}

QString SilentListener::baseUrl() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(port_);
}

} // namespace brisfold::test

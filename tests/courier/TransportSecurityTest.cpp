#include "CourierFixture.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

// A plain TCP port on loopback that never accepts: a connection attempt shows up as a pending
// connection, so the test can tell whether anything was sent in clear.
class PlainListener final
{
public:
    PlainListener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr *>(&address), size) != 0 || ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            ADD_FAILURE() << "no loopback port";
        port_ = ntohs(address.sin_port);
    }
    ~PlainListener() { ::close(fd_); }
    PlainListener(const PlainListener &) = delete;
    PlainListener &operator=(const PlainListener &) = delete;

    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(QLatin1StringView(path));
    }
    bool contacted() const
    {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace

TEST_F(CourierTest, CredentialsNeverTravelWithoutTls)
{
    PlainListener plain;
    FakeReply toPlain = FakeReply::json("", 302);
    toPlain.headers = {{"Location", plain.url("/api/integracao/abrirEntrega").toUtf8()}};
    fake.setReply("POST", "/api/integracao/abrirEntrega", toPlain);

    struct Case
    {
        const char *what;
        QString baseUrl;
    };
    for (const Case &c : {Case{"plain address", plain.url("")}, Case{"redirect to plain", fake.baseUrl()}}) {
        SCOPED_TRACE(c.what);
        const QString result =
            CourierClient(settingsFor(c.baseUrl))
                .AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}"));
        EXPECT_NE(result, u"TRUE");
        EXPECT_FALSE(plain.contacted());
        // The failure text names the problem, never the secrets that would have gone with it.
        EXPECT_FALSE(result.contains(companyPassword)) << result.toStdString();
        EXPECT_FALSE(result.contains(platformKey)) << result.toStdString();
    }
}

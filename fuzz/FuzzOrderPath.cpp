// The marketplace detail path: an order id from the search reply becomes exactly one path segment.
//
// Input: the order id as UTF-8.

#include "FuzzSupport.h"
#include "marketplace/MarketplaceClient.h"

using namespace brisfold;
using brisfold::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString orderId = QString::fromUtf8(fuzz::bytes(data, size));
    // The search skips an empty id before it asks for a detail.
    if (orderId.isEmpty())
        return 0;

    const QByteArray prefix = "/alfredo/orders/";
    const QByteArray path = MarketplaceClient::orderPath(orderId);
    const QString shown = QString::fromLatin1(path);
    require(path.startsWith(prefix), "the path starts with the detail prefix", shown);

    const QByteArray segment = path.mid(prefix.size());
    require(!segment.isEmpty(), "the id makes a segment", shown);
    for (char c : segment) {
        const auto u = static_cast<unsigned char>(c);
        require(u > 0x20 && u < 0x7F && c != '/' && c != '?' && c != '#' && c != '\\',
                "the segment holds no separator, blank or control character", shown);
    }
    // Clients and servers resolve dot segments, so "." and ".." would leave the order's resource.
    require(segment != "." && segment != "..", "the segment is no dot segment", shown);
    require(QString::fromUtf8(QByteArray::fromPercentEncoding(segment)) == orderId,
            "decoding the segment gives back the id", shown);
    return 0;
}

#include "labels/QrCode.h"

#include <memory>
#include <qrencode.h>

namespace brisfold {

std::optional<QrCode> QrCode::encode(const QByteArray &text)
{
    // 8-bit mode takes the UTF-8 bytes as they are; version 0 lets the encoder pick the size.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> symbol(
        QRcode_encodeData(int(text.size()), reinterpret_cast<const unsigned char *>(text.constData()), 0,
                          QR_ECLEVEL_M),
        &QRcode_free);
    if (!symbol || symbol->width <= 0)
        return std::nullopt;
    const int size = symbol->width;
    std::vector<bool> modules(size_t(size) * size_t(size));
    for (size_t i = 0; i < modules.size(); ++i)
        modules[i] = (symbol->data[i] & 1) != 0; // the lowest bit is the module's colour
    return QrCode(size, std::move(modules));
}

} // namespace brisfold

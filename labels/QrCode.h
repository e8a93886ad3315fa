#pragma once

#include <QByteArray>
#include <optional>
#include <utility>
#include <vector>

namespace brisfold {

// A QR code symbol as a square of dark and light modules, without its quiet zone.
class QrCode final
{
public:
    // Encodes `text` as bytes with medium error correction; none when it does not fit a symbol.
    static std::optional<QrCode> encode(const QByteArray &text);

    int size() const { return size_; }
    bool isDark(int x, int y) const { return modules_[size_t(y) * size_t(size_) + size_t(x)]; }

    // The light border every reader needs around the symbol, in modules.
    static constexpr int quietZone = 4;

private:
    QrCode(int size, std::vector<bool> modules)
        : size_(size)
        , modules_(std::move(modules))
    {}

    int size_ = 0;
    std::vector<bool> modules_;
};

} // namespace brisfold

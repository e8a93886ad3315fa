#include "FakePlatform.h"

namespace brisfold::test {

namespace {

class CountingSound final : public AlertSound
{
public:
    explicit CountingSound(std::atomic<int> &plays)
        : plays_(plays)
    {}
    void play() override { ++plays_; }

private:
    std::atomic<int> &plays_;
};

} // namespace

std::unique_ptr<AlertSound> FakePlatform::createAlertSound(const QByteArray &)
{
    return std::make_unique<CountingSound>(alertPlays);
}

} // namespace brisfold::test

#pragma once

#include <QByteArray>

namespace brisfold {

// The alert's sound as the alerts use it: one short WAV, played on request. Each system's platform
// makes the real one; the alert logic's tests stand a recorder in for it.
class AlertSound
{
public:
    virtual ~AlertSound() = default;

    // Starts the sound and returns at once. A machine without a sound device plays nothing and
    // reports nothing.
    virtual void play() = 0;
};

// The program's new-order alert, novo-pedido.wav, embedded from resources/sounds.
QByteArray newOrderAlertWav();

} // namespace brisfold

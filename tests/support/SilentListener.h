#pragma once

#include <QString>

namespace brisfold::test {

// A port on 127.0.0.1 that takes connections and never says a word: the kernel completes the
// TCP handshake from the backlog, but nobody reads, so neither TLS nor HTTP ever starts.
class SilentListener final
{
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener &) = delete;
    SilentListener &operator=(const SilentListener &) = delete;

    QString baseUrl() const; // "https://127.0.0.1:PORT"

private:
    int socket_ = -1;
    int port_ = 0;
};

} // namespace brisfold::test

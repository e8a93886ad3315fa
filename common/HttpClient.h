#pragma once

#include "common/HttpRequest.h"

namespace brisfold {

// Performs web requests with libcurl: one new handle per call, so calls on several threads
// share nothing but the trust settings below.
class HttpClient final
{
public:
    HttpClient() = delete;

    // Blocks until the reply has arrived or a fault ended the request; never throws.
    static HttpReply perform(const HttpRequest &request);

    // Server certificates are verified against the system store plus this PEM bundle. The build
    // setting is the default; a missing or empty file means the system store only.
    static void setExtraCaFile(const QString &path);
    static QString extraCaFile();
};

} // namespace brisfold

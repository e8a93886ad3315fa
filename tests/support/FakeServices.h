#pragma once

#include "common/HttpClient.h"
#include "support/HttpsFake.h"
#include "support/MainWindowHarness.h"

namespace brisfold::test {

// The main window's options that point both web services at loopback fakes it trusts.
inline MainWindowHarness::Options servicesAt(const HttpsFake &courier, const HttpsFake &marketplace)
{
    HttpClient::setExtraCaFile(HttpsFake::caFile());
    MainWindowHarness::Options options;
    options.courierUrl = courier.baseUrl();
    options.marketplaceUrl = marketplace.baseUrl();
    return options;
}

} // namespace brisfold::test

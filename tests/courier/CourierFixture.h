#pragma once

#include "common/HttpClient.h"
#include "courier/CourierClient.h"
#include "support/HttpsFake.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace brisfold::test {

inline const QString platformKey = QStringLiteral("test_platform_key_0123456789ABCD");
inline const QString companyEmail = QStringLiteral("loja@exemplo.com.br");
inline const QString companyPassword = QStringLiteral("s3nh@:çx");
inline const QString noConnection = QStringLiteral("Sem Conexão - Verifique sua Internet! ,");

// Short time-outs so that a silent server costs a second, not ten.
inline CourierSettings settingsFor(const QString &baseUrl)
{
    CourierSettings s;
    s.baseUrl = baseUrl;
    s.timeouts.connect = std::chrono::seconds(5);
    s.timeouts.read = std::chrono::seconds(1);
    s.timeouts.overall = std::chrono::seconds(20);
    return s;
}

// A platform fake that the client trusts, and a real database made from the schema.
class CourierTest : public ::testing::Test
{
protected:
    void SetUp() override { HttpClient::setExtraCaFile(HttpsFake::caFile()); }

    CourierClient client() const { return CourierClient(settingsFor(fake.baseUrl())); }
    Database &db() { return database.db(); }

    HttpsFake fake;
    TestDatabase database;
};

} // namespace brisfold::test

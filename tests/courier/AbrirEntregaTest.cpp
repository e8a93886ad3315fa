#include "CourierFixture.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace brisfold;
using namespace brisfold::test;

// The dispatch dialog and the automatic dispatch may post at the same moment.
TEST_F(CourierTest, AbrirEntregaRunsOnSeveralThreadsAtOnce)
{
    FakeReply slow = FakeReply::json(R"({"response":{"id_mch":"1"}})");
    fake.setReply("POST", "/api/integracao/abrirEntrega", slow);
    const CourierClient shared = client();

    constexpr int threads = 4;
    constexpr int callsEach = 5;
    std::atomic<int> accepted = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < callsEach; ++i) {
                const QString document = QStringLiteral(R"({"id_externo":"aiqfome %1-%2"})").arg(t).arg(i);
                if (shared.AbrirEntrega(platformKey, companyEmail, companyPassword, document) == u"TRUE")
                    ++accepted;
            }
        });
    }
    for (std::thread &w : workers)
        w.join();

    EXPECT_EQ(accepted, threads * callsEach);
    QSet<QByteArray> bodies;
    for (const RecordedRequest &r : fake.requests())
        bodies.insert(r.body);
    EXPECT_EQ(bodies.size(), threads * callsEach);
}

TEST_F(CourierTest, AbrirEntregaWritesNothing)
{
    db().execute("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO) VALUES (1, 'A1')");
    fake.setReply("POST", "/api/integracao/abrirEntrega", FakeReply::json(R"({"response":{"id_mch":"77"}})"));

    ASSERT_EQ(client().AbrirEntrega(platformKey, companyEmail, companyPassword, QStringLiteral("{}")),
              u"TRUE");
    EXPECT_TRUE(db().query("SELECT ID_MCH FROM PEDIDOS").isNull(0, u"ID_MCH"));
}

#include "CourierFixture.h"
#include "courier/CourierBooking.h"
#include "store/DispatchClaim.h"

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

// A booking's post is recorded before it goes out; what the platform's reply (or its absence)
// means for that record decides whether the order may be posted again without asking.
TEST_F(CourierTest, ABookingKeepsItsPostingRecordOnlyWhenThePlatformMayHaveIt)
{
    FakeReply hang = FakeReply::json(R"({"response":{"id_mch":"9"}})");
    hang.behaviour = FakeReply::Behaviour::HangBeforeReply;
    const struct
    {
        const char *what;
        std::optional<FakeReply> reply; // none: nothing listens
        bool booked;
        bool unknown;
        bool unreached;
        QString mark;
        bool recordLeft;
    } cases[] = {
        {"booked", FakeReply::json(R"({"response":{"id_mch":"9"}})"), true, false, false,
         QStringLiteral("MACHINE"), false},
        {"refused", FakeReply::json(R"({"response":{"erros":["Saldo insuficiente"]}})"), false, false, false,
         QString(), false},
        {"an error page", FakeReply::json(R"({"errors":[{"message":"falhou"}]})", 500), false, false, false,
         QString(), false},
        {"no reply after the post", hang, false, true, true, QString(), true},
        {"nobody listening", std::nullopt, false, false, true, QString(), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        db().execute("DELETE FROM PEDIDOS");
        db().execute("INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO) VALUES (1, 'A1')");
        const qint64 id = db().query("SELECT ID FROM PEDIDOS").integer(0, u"ID");
        HttpsFake platform;
        QString url = platform.baseUrl();
        if (c.reply)
            platform.setReply("POST", "/api/integracao/abrirEntrega", *c.reply);
        else
            url = QStringLiteral("https://127.0.0.1:1");

        BookingResult result;
        {
            DispatchClaim claim(db(), id);
            ASSERT_TRUE(claim.held());
            result = postBooking(CourierClient(settingsFor(url)), claim, platformKey, companyEmail,
                                 companyPassword, QStringLiteral("{}"));
        }
        platform.release();
        EXPECT_EQ(result.booked(), c.booked) << result.text.toStdString();
        EXPECT_EQ(result.outcomeUnknown, c.unknown);
        EXPECT_EQ(result.connectionFailure, c.unreached);
        EXPECT_EQ(db().query("SELECT ID_MCH FROM PEDIDOS").text(0, u"ID_MCH"), c.mark);
        EXPECT_EQ(db().hasRow("SELECT ID FROM SOLICITACOES_PENDENTES WHERE ID = :ID", {{":ID", id}}),
                  c.recordLeft);
        DispatchClaim next(db(), id);
        EXPECT_EQ(next.outcomeUnknown(), c.recordLeft) << "as the next claim finds it";
    }
}

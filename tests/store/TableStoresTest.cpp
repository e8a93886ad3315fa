// The classes in front of the tables, over a real file made from the schema.
#include "store/BoardSettingsStore.h"
#include "store/CompanyStore.h"
#include "store/MarketplaceCredentialsStore.h"
#include "store/OrderStore.h"
#include "store/PreferencesStore.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <optional>

using namespace brisfold;
using brisfold::test::TestDatabase;

namespace {

// Makes every insert into `table` fail, as a full disk or a constraint would.
void refuseInserts(Database &db, const char *table)
{
    db.execute((QStringLiteral("CREATE TRIGGER recusa BEFORE INSERT ON %1 BEGIN "
                               "SELECT RAISE(ABORT, 'gravação recusada'); END")
                    .arg(QLatin1String(table)))
                   .toUtf8()
                   .constData());
}

QStringList texts(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *item : items)
        out << QString::fromUtf8(item);
    return out;
}

CompanyProfile profile(const QString &name)
{
    CompanyProfile p;
    p.IDMACHINE = QStringLiteral("77");
    p.NOME = name;
    p.ENDERECO = QStringLiteral("Av. Brasil, 100");
    p.BAIRRO = QStringLiteral("Centro");
    p.CIDADE = QStringLiteral("Maringá");
    p.UF = QStringLiteral("PR");
    p.CEP = QStringLiteral("87013-000");
    p.LAT = QStringLiteral("-23.4210");
    p.LNG = QStringLiteral("-51.9331");
    p.STATUS = QStringLiteral("A");
    p.TIPOSPAGAMENTOS = QStringLiteral("[F] [D] ");
    p.CATEGORIAS = QStringLiteral("[Moto] ");
    p.AUTOCONNECT = QStringLiteral("S");
    p.EMAIL = QStringLiteral("dono@pizzaria.com.br");
    p.SENHA = QStringLiteral("s3nh@");
    p.TELEFONE = QStringLiteral("44 3000-0000");
    p.DOCUMENTO = QStringLiteral("123");
    return p;
}

QStringList fields(const CompanyProfile &p)
{
    return {p.IDMACHINE,   p.NOME,  p.ENDERECO, p.BAIRRO,   p.CIDADE,          p.UF,
            p.CEP,         p.LAT,   p.LNG,      p.STATUS,   p.TIPOSPAGAMENTOS, p.CATEGORIAS,
            p.AUTOCONNECT, p.EMAIL, p.SENHA,    p.TELEFONE, p.DOCUMENTO};
}

} // namespace

TEST(CompanyStore, KeepsOneProfileAndForgetsItAtSignOut)
{
    TestDatabase t;
    CompanyStore store(t.db());
    EXPECT_FALSE(store.read().has_value());

    store.replace(profile(QStringLiteral("Antiga")));
    store.replace(profile(QStringLiteral("Pizzaria Bella")));
    EXPECT_EQ(TestDatabase::contents(t.db(), "SELECT NOME FROM EMPRESA"), texts({"Pizzaria Bella"}));
    for (const std::optional<CompanyProfile> &read : {store.read(), store.readBeforeEstimate()}) {
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(fields(*read), fields(profile(QStringLiteral("Pizzaria Bella"))));
    }

    // A failed insert keeps the profile there was.
    refuseInserts(t.db(), "EMPRESA");
    EXPECT_THROW(store.replace(profile(QStringLiteral("Nova"))), DatabaseError);
    EXPECT_EQ(store.read()->NOME, QStringLiteral("Pizzaria Bella"));

    store.clear();
    EXPECT_FALSE(store.read().has_value());
}

TEST(CompanyStore, NullColumnsReadAsEmptyTexts)
{
    TestDatabase t;
    t.db().execute("INSERT INTO EMPRESA (NOME) VALUES ('Só o nome')");
    const std::optional<CompanyProfile> read = CompanyStore(t.db()).read();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->NOME, QStringLiteral("Só o nome"));
    EXPECT_EQ(read->STATUS, QString());
    EXPECT_EQ(read->TIPOSPAGAMENTOS, QString());
}

TEST(BoardSettingsStore, ReplacesTheWholeRowAndKeepsItWhenASaveFails)
{
    TestDatabase t;
    BoardSettingsStore store(t.db());
    const BoardSettings none = store.read();
    EXPECT_FALSE(none.enabled);
    EXPECT_EQ(none.minutes, QString());
    EXPECT_EQ(none.returnChoice, QString());

    store.save(
        {true, QStringLiteral("007"), QStringLiteral("Pix"), QStringLiteral("Moto"), QStringLiteral("Sim")});
    store.save({false, QStringLiteral("45"), QStringLiteral("Faturado"), QStringLiteral("Carro"),
                QStringLiteral("Não")});
    EXPECT_EQ(TestDatabase::contents(t.db(), "SELECT * FROM CONFIGURACAO"),
              QStringList{QStringLiteral("PADRAO|0|45|Carro|Faturado|Não")});
    EXPECT_EQ(t.db().query("SELECT typeof(SOLICITACAOAUTOMATICO) AS T FROM CONFIGURACAO").text(0, u"T"),
              QStringLiteral("integer"));

    refuseInserts(t.db(), "CONFIGURACAO");
    EXPECT_THROW(store.save({true, QStringLiteral("5"), {}, {}, {}}), DatabaseError);
    const BoardSettings kept = store.read();
    EXPECT_FALSE(kept.enabled);
    EXPECT_EQ(kept.minutes, QStringLiteral("45"));
    EXPECT_EQ(kept.payment, QStringLiteral("Faturado"));
    EXPECT_EQ(kept.category, QStringLiteral("Carro"));
    EXPECT_EQ(kept.returnChoice, QStringLiteral("Não"));
}

TEST(MarketplaceCredentialsStore, TheDialogsRowIsTheFirstAndIsMadeWhenThereIsNone)
{
    TestDatabase t;
    MarketplaceCredentialsStore store(t.db());
    EXPECT_FALSE(store.any());

    bool added = false;
    const MarketplaceCredentials made = store.first(&added);
    EXPECT_TRUE(added);
    EXPECT_TRUE(store.any()) << "an empty row counts as configured";
    EXPECT_EQ(
        TestDatabase::contents(t.db(), "SELECT * FROM CONFIGDELIVERY"),
        QStringList{QStringLiteral("%1|<null>|<null>|<null>|<null>|<null>|<null>|<null>").arg(made.ID)});
    EXPECT_EQ(store.first(&added).ID, made.ID);
    EXPECT_FALSE(added);

    t.db().execute("UPDATE CONFIGDELIVERY SET TOKEN = 'tok'");
    t.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN) VALUES ('segunda')");
    store.save(made.ID, QStringLiteral("loja"), QString());
    EXPECT_EQ(
        TestDatabase::contents(t.db(), "SELECT IDORIGEM, ORIGEM, LOGIN, SENHA, TOKEN FROM CONFIGDELIVERY"),
        (QStringList{QStringLiteral("1|AIQFOME|loja||tok"),
                     QStringLiteral("<null>|<null>|segunda|<null>|<null>")}));

    const std::vector<MarketplaceCredentials> all = store.all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].LOGIN, QStringLiteral("loja"));
    EXPECT_EQ(all[1].LOGIN, QStringLiteral("segunda"));
    EXPECT_EQ(all[1].SENHA, QString());

    // Gone since it was read: a new row takes its place.
    t.db().execute("DELETE FROM CONFIGDELIVERY");
    store.save(made.ID, QStringLiteral("outra"), QStringLiteral("x"));
    EXPECT_EQ(TestDatabase::contents(t.db(), "SELECT IDORIGEM, ORIGEM, LOGIN, SENHA FROM CONFIGDELIVERY"),
              QStringList{QStringLiteral("1|AIQFOME|outra|x")});
}

TEST(MarketplaceCredentialsStore, ATableMissingAColumnFailsBeforeAnyRowIsUsed)
{
    TestDatabase t;
    t.db().execute("INSERT INTO CONFIGDELIVERY (LOGIN, SENHA) VALUES ('loja', 'pw')");
    t.db().execute("ALTER TABLE CONFIGDELIVERY DROP COLUMN SENHA");
    EXPECT_THROW(MarketplaceCredentialsStore(t.db()).all(), DatabaseError);
}

namespace {

class OrderStoreTest : public ::testing::Test
{
protected:
    // An order that arrived `age` before the engine's UTC clock ("-12 hours").
    qint64 add(const char *number, const char *age, const char *mark = nullptr)
    {
        t.db().execute("INSERT INTO PEDIDOS (ORIGEM,IDPEDIDO,CLIENTE,TELEFONE,ENDERECO,LATITUDE,LONGITUDE,"
                       "ID_MCH,DATAHORA) VALUES (1,:N,'Ana',NULL,'Rua A, 1','-23.4','-51.9',:M,"
                       "strftime('%Y-%m-%d %H:%M:%S','now',:AGE))",
                       {{":N", QString::fromLatin1(number)},
                        {":M", mark ? SqlValue(QString::fromLatin1(mark)) : SqlValue()},
                        {":AGE", QString::fromLatin1(age)}});
        return t.db().query("SELECT MAX(ID) AS ID FROM PEDIDOS").integer(0, u"ID");
    }

    QStringList column(const char *sql) { return TestDatabase::contents(t.db(), sql); }

    TestDatabase t;
    OrderStore store{t.db()};
};

} // namespace

TEST_F(OrderStoreTest, AwaitingCourierAreTheUnmarkedOrdersOfThirteenHoursInAscendingId)
{
    add("novo", "-1 hours");
    add("vazio", "-12 hours", "");
    add("reservado", "-1 hours", "MACHINE");
    add("entregue", "-1 hours", "JA ENTREGUE");
    add("velho-nulo", "-14 hours");
    add("velho-vazio", "-14 hours", "");
    add("outro", "-2 hours");

    const std::vector<DispatchOrder> orders = store.awaitingCourier();
    QStringList numbers;
    for (const DispatchOrder &o : orders)
        numbers << o.IDPEDIDO;
    EXPECT_EQ(numbers, texts({"novo", "vazio", "outro"}));
    ASSERT_FALSE(orders.empty());
    EXPECT_LT(orders.front().ID, orders.back().ID);
    EXPECT_EQ(orders.front().CLIENTE, QStringLiteral("Ana"));
    EXPECT_EQ(orders.front().TELEFONE, QString()) << "null reads as empty";
    EXPECT_EQ(orders.front().ENDERECO, QStringLiteral("Rua A, 1"));
    EXPECT_EQ(orders.front().LATITUDE, QStringLiteral("-23.4"));
    EXPECT_EQ(orders.front().LONGITUDE, QStringLiteral("-51.9"));
}

TEST_F(OrderStoreTest, KeepsTheFeeAndTheDeliveredMark)
{
    const qint64 id = add("1", "-1 hours");
    EXPECT_EQ(store.deliveryFee(id), QString());
    store.storeEstimate(id, QStringLiteral("12.50"), QStringLiteral("-23.41"), QStringLiteral("-51.92"));
    EXPECT_EQ(store.deliveryFee(id), QStringLiteral("12.50"));
    EXPECT_EQ(column("SELECT LATITUDEMCH, LONGITUDEMCH FROM PEDIDOS"), texts({"-23.41|-51.92"}));
    EXPECT_FALSE(store.deliveryFee(id + 1).has_value()) << "no such order";

    store.markDelivered(id);
    EXPECT_EQ(column("SELECT ID_MCH FROM PEDIDOS"), texts({"JA ENTREGUE"}));
    EXPECT_TRUE(store.awaitingCourier().empty());
    EXPECT_FALSE(store.claim(id).held()) << "a marked order is not claimed for booking";
}

TEST_F(OrderStoreTest, ThePurgeTakesTheOrdersOfMoreThanTwoDaysAgo)
{
    add("velho", "-49 hours");
    add("novo", "-47 hours");
    store.purgeOld();
    EXPECT_EQ(column("SELECT IDPEDIDO FROM PEDIDOS"), texts({"novo"}));
}

// An older database has no preferences table: the sound is on until switched off, and the first
// change makes the table.
TEST(PreferencesStore, TheSoundIsOnUntilSwitchedOffAndAnOlderDatabaseGetsTheTable)
{
    TestDatabase t;
    PreferencesStore preferences(t.db());
    EXPECT_FALSE(t.db().hasRow("SELECT name FROM sqlite_master WHERE name = 'PREFERENCIAS'"));
    EXPECT_TRUE(preferences.alertSound());
    preferences.setAlertSound(false);
    EXPECT_FALSE(preferences.alertSound());
    preferences.setAlertSound(true);
    EXPECT_TRUE(preferences.alertSound());
    EXPECT_EQ(TestDatabase::contents(t.db(), "SELECT CHAVE || '=' || VALOR FROM PREFERENCIAS"),
              QStringList{QStringLiteral("SOM_ALERTA=1")});
}

TEST_F(OrderStoreTest, AnUnknownBookingIsAskedAboutUntilSettledEitherWay)
{
    const qint64 asked = add("A1", "-1 hours");
    const qint64 again = add("A2", "-1 hours");
    const qint64 marked = add("A3", "-1 hours");
    const qint64 underWay = add("A4", "-1 hours");
    for (qint64 id : {asked, again, marked, underWay})
        DispatchClaim(t.db(), id).recordPosting();
    t.db().execute("UPDATE PEDIDOS SET ID_MCH = 'JA ENTREGUE' WHERE ID = :ID", {{":ID", marked}});
    const DispatchClaim booking(t.db(), underWay);

    const auto ids = [&] {
        QList<qint64> found;
        for (const DispatchOrder &order : store.outcomeUnknown())
            found << order.ID;
        return found;
    };
    EXPECT_EQ(ids(), (QList<qint64>{asked, again}))
        << "a marked order, or one being booked now, is no question";

    store.settleAsBooked(asked);
    store.forgetPosting(again);
    EXPECT_TRUE(ids().isEmpty());
    EXPECT_EQ(column("SELECT IDPEDIDO || ':' || IFNULL(ID_MCH, '') FROM PEDIDOS WHERE ID IN (1, 2)"),
              (QStringList{QStringLiteral("A1:MACHINE"), QStringLiteral("A2:")}));
    EXPECT_TRUE(DispatchClaim(t.db(), again).held()) << "posted again by the next booking";
}

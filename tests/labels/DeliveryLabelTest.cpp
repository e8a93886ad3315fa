#include "labels/DeliveryLabel.h"

#include "labels/LabelFonts.h"
#include "labels/LabelRenderer.h"
#include "support/TestDatabase.h"

#include <QRawFont>
#include <gtest/gtest.h>

using namespace brisfold;
using brisfold::test::TestDatabase;

namespace {

constexpr RegionalSeparators dashAndDot{u'-', u'.'};

TEST(ReadDeliveryLabel, ReadsTheOrderAndTheRestaurantAsStored)
{
    TestDatabase test;
    test.db().execute("INSERT INTO EMPRESA (NOME) VALUES ('Cantina Bella')");
    test.db().execute(
        "INSERT INTO PEDIDOS (ID, ORIGEM, IDPEDIDO, CLIENTE, TELEFONE, ENDERECO, ID_MCH, TAXAENTREGA, "
        "LATITUDE, "
        "LONGITUDE, DATAHORA) VALUES (7, 1, '12345', 'Ana', '44999990000', 'Rua A, 1', 'MACHINE', '7.50', "
        "'-23.42', '-51.93', '2024-03-05 18:07:09')");
    test.db().execute("INSERT INTO PEDIDOS (ID, ORIGEM, IDPEDIDO, DATAHORA) VALUES (8, 1, '999', 'ontem')");

    const std::optional<DeliveryLabel> label = readDeliveryLabel(test.db(), 7, dashAndDot);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->restaurantName, u"Cantina Bella");
    EXPECT_EQ(label->IDPEDIDO, u"12345");
    EXPECT_EQ(label->arrivalTime, u"05-03-2024 18.07.09");
    EXPECT_EQ(label->CLIENTE, u"Ana");
    EXPECT_EQ(label->TELEFONE, u"44999990000");
    EXPECT_EQ(label->ENDERECO, u"Rua A, 1");
    EXPECT_EQ(label->ID_MCH, u"MACHINE");
    EXPECT_EQ(label->TAXAENTREGA, u"7.50");
    EXPECT_EQ(label->LATITUDE, u"-23.42");
    EXPECT_EQ(label->LONGITUDE, u"-51.93");

    // Nulls read as empty texts; a time that cannot be converted leaves the time empty.
    const std::optional<DeliveryLabel> sparse = readDeliveryLabel(test.db(), 8, dashAndDot);
    ASSERT_TRUE(sparse);
    EXPECT_EQ(sparse->IDPEDIDO, u"999");
    EXPECT_TRUE(sparse->arrivalTime.isEmpty());
    EXPECT_TRUE(sparse->CLIENTE.isEmpty());
    EXPECT_TRUE(sparse->ID_MCH.isEmpty());
    EXPECT_TRUE(sparse->TAXAENTREGA.isEmpty());

    EXPECT_FALSE(readDeliveryLabel(test.db(), 9, dashAndDot));
}

TEST(ReadDeliveryLabel, WithoutCompanyRowTheNameIsEmpty)
{
    TestDatabase test;
    test.db().execute("INSERT INTO PEDIDOS (ID, ORIGEM, IDPEDIDO) VALUES (1, 1, '5')");
    const std::optional<DeliveryLabel> label = readDeliveryLabel(test.db(), 1, {});
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->restaurantName.isEmpty());
}

TEST(ReadDeliveryLabel, AFailedStatementThrows)
{
    TestDatabase test;
    test.db().execute("DROP TABLE PEDIDOS");
    EXPECT_THROW(readDeliveryLabel(test.db(), 1, {}), DatabaseError);
}

TEST(DeliveryLabelTexts, CourierStateFollowsTheMark)
{
    const struct
    {
        const char16_t *mark;
        const char16_t *state;
    } cases[] = {
        {u"", u"Aguardando entregador"},      {u"MACHINE", u"Entregador solicitado"},
        {u"JA ENTREGUE", u"Já entregue"},     {u"ja entregue", u"Entregador solicitado"},
        {u"OUTRA", u"Entregador solicitado"}, {u" ", u"Entregador solicitado"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(courierStateText(QString::fromUtf16(c.mark)), QString::fromUtf16(c.state))
            << QString::fromUtf16(c.mark).toStdString();
}

TEST(DeliveryLabelTexts, FeeAsStoredOnlyWhenEstimated)
{
    EXPECT_EQ(feeText(QStringLiteral("7.50")), u"R$ 7.50");
    EXPECT_EQ(feeText(QStringLiteral("12,3")), u"R$ 12,3");
    EXPECT_TRUE(feeText(QString()).isEmpty());
}

TEST(DeliveryLabelTexts, MapLinkOnlyForNumericCoordinates)
{
    const QString prefix = QStringLiteral("https://www.google.com/maps/search/?api=1&query=");
    const struct
    {
        const char *lat;
        const char *lng;
        const char *query; // nullptr: no link
    } cases[] = {
        {"-23.4200", "-51.930", "-23.4200,-51.930"}, // stored texts unchanged, zeros kept
        {"0", "0", "0,0"},
        {" -23.42 ", "-51.93", "-23.42,-51.93"},
        {"", "-51.93", nullptr},
        {"-23.42", "", nullptr},
        {"-23,42", "-51,93", nullptr},
        {"abc", "-51.93", nullptr},
        {"nan", "-51.93", nullptr},
        {"-23.42", "inf", nullptr},
        {"91", "-51.93", nullptr},
        {"-23.42", "-181", nullptr},
    };
    for (const auto &c : cases) {
        const std::optional<QString> link = mapLink(QString::fromUtf8(c.lat), QString::fromUtf8(c.lng));
        if (c.query)
            EXPECT_EQ(link.value_or(QString()), prefix + QString::fromUtf8(c.query)) << c.lat << ' ' << c.lng;
        else
            EXPECT_FALSE(link) << c.lat << ' ' << c.lng;
    }
}

TEST(PrintableText, LeavesOutWhatTheShippedFontCannotDraw)
{
    const QRawFont font = labelfonts::raw(false, 12);
    ASSERT_TRUE(font.isValid());
    const struct
    {
        const char16_t *stored;
        const char16_t *printed;
    } cases[] = {
        {u"Rua São João, 12 \"fundos\" – ção ÀÉÎÕÜ ç ñ", u"Rua São João, 12 \"fundos\" – ção ÀÉÎÕÜ ç ñ"},
        {u"Maria 😀 Silva", u"Maria Silva"},
        {u"🍕Pizza🍕", u"Pizza"},
        {u"Família 👨‍👩‍👧 Souza", u"Família Souza"}, // a joined sequence leaves no joiner behind
        {u"Ok ❤️ obrigado ❤", u"Ok obrigado ❤"},            // drawn as an emoji only when asked to
        {u"Pizzaria® © ™ ★ ½", u"Pizzaria® © ™ ★ ½"},
        {u"Apto 1️⃣ 🇧🇷 👍🏽", u"Apto 1"},
        {u"漢字 x", u"x"}, // not in the font: left out rather than boxed
        {u"linha 1\nlinha 2\tfim", u"linha 1 linha 2 fim"},
        {u"😀", u""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(printableText(QString::fromUtf16(c.stored), font), QString::fromUtf16(c.printed));
}

} // namespace

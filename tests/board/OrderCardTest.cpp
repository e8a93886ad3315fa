#include "board/OrderCard.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace brisfold;

namespace {

const RegionalSeparators brazil = RegionalSeparators::of(QLocale(QLocale::Portuguese, QLocale::Brazil));

} // namespace

TEST(OrderCard, RequestPictureAndFlagFollowDispatchModeAndMark)
{
    struct Case
    {
        bool automatic;
        const char *mark;
        int picture;
        int clickable;
    };
    const Case cases[] = {
        {true, "", picture::solicitando, 0},   {true, "MACHINE", picture::ok, 0},
        {true, "JA ENTREGUE", picture::ok, 0}, {false, "", picture::entregador4, 1},
        {false, "MACHINE", picture::ok, 1},    {false, "JA ENTREGUE", picture::ok, 1},
    };
    for (const Case &c : cases) {
        OrderRow row;
        row.ID_MCH = QString::fromUtf8(c.mark);
        row.DATAHORA = QStringLiteral("2024-03-05 14:07:09");
        const CardContent card = DBCtrlGrid1PaintPanel(row, c.automatic, brazil);
        EXPECT_EQ(card.requestPicture, c.picture) << c.automatic << ' ' << c.mark;
        EXPECT_EQ(card.requestClickable, c.clickable) << c.automatic << ' ' << c.mark;
    }
}

TEST(OrderCard, LinesCarryTheirPictographs)
{
    OrderRow row;
    row.IDPEDIDO = QStringLiteral("12345");
    row.ENDERECO = QStringLiteral("Rua das Flores, 10");
    row.DATAHORA = QStringLiteral("2024-03-05 14:07:09");
    // CLIENTE left null: the line holds only the pictograph and the blank.
    const CardContent card = DBCtrlGrid1PaintPanel(row, false, brazil);
    EXPECT_EQ(card.orderLine, QStringLiteral("\U0001F9FE 12345"));
    EXPECT_EQ(card.customerLine, QStringLiteral("\U0001F464 "));
    EXPECT_EQ(card.addressLine, QStringLiteral("\U0001F4CD Rua das Flores, 10"));
    EXPECT_EQ(card.timeLine, QStringLiteral("\U0001F557 05/03/2024 14:07:09"));
    EXPECT_TRUE(card.errorName.isEmpty());
}

TEST(OrderCard, ArrivalTimeConvertsOnlyRealDatesAndTimes)
{
    struct Case
    {
        const char *stored;
        const char *shown; // nullptr: does not convert
    };
    const Case cases[] = {
        {"2024-03-05 14:07:09", "05/03/2024 14:07:09"},
        {"2024-12-31 00:00:00", "31/12/2024 00:00:00"},
        {"2024-3-5 4:07:09", "05/03/2024 04:07:09"},
        {"", nullptr},
        {"null", nullptr},
        {"garbage", nullptr},
        {"2024-02-30 10:00:00", nullptr},
        {"2024-03-05 24:00:00", nullptr},
        {"05/03/2024 14:07:09", nullptr},
        {"2024-03-05", "05/03/2024 00:00:00"},
        {"2024-03-05 14:07", "05/03/2024 14:07:00"},
        {"2024-03-05 14", nullptr},
        {" 2024-03-05\t14:7:5 ", "05/03/2024 14:07:05"},
        {"2024-03-05 ", "05/03/2024 00:00:00"},
        {"2024-03-05 14:07:", nullptr},
        {"2024-03-05 14:07:09 x", nullptr},
        {"12024-03-05", nullptr},
        {"2024-03-051", nullptr},
        {"2024-03-05T14:07:09", nullptr},
        {"\uFF12\uFF10\uFF12\uFF14-03-05", nullptr}, // full-width digits
    };
    for (const Case &c : cases) {
        const std::optional<QString> shown = formatArrivalTime(QString::fromUtf8(c.stored), brazil);
        if (c.shown)
            EXPECT_EQ(shown, QString::fromUtf8(c.shown)) << c.stored;
        else
            EXPECT_FALSE(shown.has_value()) << c.stored;
    }
}

TEST(OrderCard, TimeLineUsesTheRegionalSeparators)
{
    struct Case
    {
        QLocale locale;
        const char *shown;
    };
    const Case cases[] = {
        {QLocale(QLocale::Portuguese, QLocale::Brazil), "05/03/2024 04:07:09"},
        {QLocale(QLocale::German, QLocale::Germany), "05.03.2024 04:07:09"},
        {QLocale(QLocale::Swedish, QLocale::Sweden), "05-03-2024 04:07:09"},
        // Dots in the time as well as in the date.
        {QLocale(QLocale::Finnish, QLocale::Finland), "05.03.2024 04.07.09"},
    };
    OrderRow row;
    row.DATAHORA = QStringLiteral("2024-03-05 04:07:09");
    for (const Case &c : cases) {
        const CardContent card = DBCtrlGrid1PaintPanel(row, false, RegionalSeparators::of(c.locale));
        EXPECT_EQ(card.timeLine, QStringLiteral("\U0001F557 ") + QString::fromUtf8(c.shown))
            << c.locale.name().toStdString();
    }
}

TEST(OrderCard, TimeThatDoesNotConvertLeavesTheTimeLineAndNamesTheError)
{
    OrderRow row;
    row.IDPEDIDO = QStringLiteral("7");
    row.CLIENTE = QStringLiteral("Ana");
    row.DATAHORA = QStringLiteral("null");
    const CardContent card = DBCtrlGrid1PaintPanel(row, true, brazil);
    EXPECT_EQ(card.errorName, QStringLiteral("EConvertError"));
    EXPECT_TRUE(card.timeLine.isEmpty());
    // The lines before the time are written all the same.
    EXPECT_EQ(card.orderLine, QStringLiteral("\U0001F9FE 7"));
    EXPECT_EQ(card.customerLine, QStringLiteral("\U0001F464 Ana"));
    EXPECT_EQ(card.requestPicture, picture::solicitando);
}

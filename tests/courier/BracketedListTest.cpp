#include "courier/BracketedList.h"

#include <gtest/gtest.h>

using brisfold::SepararLista;

TEST(SepararLista, SplitsBracketedItems)
{
    struct Case
    {
        const char *text;
        QStringList items;
    };
    const Case cases[] = {
        {"[F] [D] ", {QStringLiteral("F"), QStringLiteral("D")}},
        {"[Moto] [Carro]", {QStringLiteral("Moto"), QStringLiteral("Carro")}},
        {"]", {QString()}},
        {"[a[b]", {QStringLiteral("ab")}},
        {"[F] X]", {QStringLiteral("F"), QString()}},
        {"[Moto] [Car", {QStringLiteral("Moto")}},
        {"", {}},
        {"[Bicicleta elétrica] ", {QStringLiteral("Bicicleta elétrica")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SepararLista(QString::fromUtf8(c.text)), c.items);
    }
}

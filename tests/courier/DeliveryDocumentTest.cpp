#include "courier/DeliveryDocument.h"

#include "courier/PaymentTypes.h"
#include "courier/Schedule.h"
#include "support/SettableClock.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

DeliveryDocument normalOrder()
{
    DeliveryDocument d;
    d.formaPagamento = QStringLiteral("X");
    d.empresaId = QStringLiteral("4711");
    d.retorno = QStringLiteral("Sim");
    d.categoriaNome = QStringLiteral("Moto");
    d.schedule = {QStringLiteral("15/03/2024"), QStringLiteral("12:30")};
    d.partidaEndereco = QStringLiteral("Rua das Flores, 10");
    d.partidaBairro = QStringLiteral("Centro");
    d.partidaCidade = QStringLiteral("Maringá");
    d.partidaEstado = QStringLiteral("PR");
    d.partidaLat = QStringLiteral("-23.4210");
    d.partidaLng = QStringLiteral("-51.9331");
    d.nomeCliente = QStringLiteral("Ana Souza");
    d.telefoneCliente = QStringLiteral("44 98888-7777");
    d.idPedido = QStringLiteral("123456");
    d.enderecoParada = QStringLiteral("Av. Brasil, 1500");
    d.latParada = QStringLiteral("-23.4300");
    d.lngParada = QStringLiteral("-51.9400");
    return d;
}

} // namespace

TEST(DeliveryDocument, NormalOrderIsOneExactLine)
{
    const QString expected = QStringLiteral(
        R"({"forma_pagamento":"X","empresa_id":4711,"retorno": true,"categoria_nome":"Moto",)"
        R"("data":"15/03/2024","hora":"12:30",)"
        R"("estimativas":{"estimativa_km":5,"estimativa_minutos":8,"estimativa_valor":11},)"
        R"("partida":{"endereco":"Rua das Flores, 10","complemento":null,"bairro":"Centro","cidade":"Maringá",)"
        R"("estado":"PR","referencia":"","lat":"-23.4210","lng":"-51.9331"},)"
        R"("paradas":[{"nome_cliente_parada":"Ana Souza","telefone_cliente_parada":"44 98888-7777",)"
        R"("id_externo":"aiqfome 123456","endereco_parada":"Av. Brasil, 1500","bairro_parada":"-",)"
        R"("cidade_parada":"-","estado_parada":"-","lat_parada":-23.4300,"lng_parada":-51.9400}]})");
    EXPECT_EQ(normalOrder().toJson(), expected);

    DeliveryDocument noReturn = normalOrder();
    noReturn.retorno = QStringLiteral("Não");
    EXPECT_TRUE(noReturn.toJson().contains(u"\"retorno\": false,"));
}

TEST(DeliveryDocument, HostileValuesStayValidJsonAndIntact)
{
    DeliveryDocument d = normalOrder();
    d.nomeCliente = QStringLiteral("Zé \"Gordo\" C:\\temp\n\t\x01");
    d.enderecoParada = QStringLiteral("Rua \"A\", 1\",\"lat_parada\":0,\"x\":\"");
    d.latParada.clear();
    d.lngParada = QStringLiteral("-51,94");
    d.empresaId = QStringLiteral("4711; DROP");

    const QByteArray json = d.toJson().toUtf8();
    rapidjson::Document parsed;
    parsed.Parse(json.constData(), size_t(json.size()));
    ASSERT_FALSE(parsed.HasParseError()) << json.constData();

    const rapidjson::Value &stop = parsed["paradas"][0];
    EXPECT_EQ(QString::fromUtf8(stop["nome_cliente_parada"].GetString()), d.nomeCliente);
    EXPECT_EQ(QString::fromUtf8(stop["endereco_parada"].GetString()), d.enderecoParada);
    EXPECT_TRUE(stop["lat_parada"].IsNull());
    EXPECT_EQ(QString::fromUtf8(stop["lng_parada"].GetString()), d.lngParada);
    EXPECT_EQ(QString::fromUtf8(parsed["empresa_id"].GetString()), d.empresaId);
    EXPECT_EQ(stop.MemberCount(), 9u);
    EXPECT_EQ(parsed.MemberCount(), 9u);
}

TEST(DeliveryDocument, BareValuesAreWrittenAsNumbersOnlyWhenTheyAreJsonNumbers)
{
    const struct
    {
        const char *in;
        const char *out;
    } cases[] = {
        {"0", "0"},         {"-23.5500", "-23.5500"}, {"1e-3", "1e-3"},     {"12E+2", "12E+2"},
        {"", "null"},       {"007", "\"007\""},       {"1.", "\"1.\""},     {".5", "\".5\""},
        {"+1", "\"+1\""},   {" 1", "\" 1\""},         {"-", "\"-\""},       {"1e", "\"1e\""},
        {"NaN", "\"NaN\""}, {"0x1F", "\"0x1F\""},     {"null", "\"null\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Json::bare(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

// RapidJSON refuses these outright although they follow the grammar; they go as strings.
TEST(DeliveryDocument, NumbersPastTheRangeOfADoubleGoAsStrings)
{
    const QString longInteger = QString(400, u'7');
    const struct
    {
        QString in;
        bool bare;
    } cases[] = {
        {QStringLiteral("2222e222222"), false},
        {QStringLiteral("0e400"), false},
        {QStringLiteral("9e308"), false},
        {QStringLiteral("1E+0309"), false},
        {longInteger, false},
        {QStringLiteral("-") + longInteger + QStringLiteral("e-300"), false},
        {QStringLiteral("1e308"), true},
        {QStringLiteral("1e-400"), true},
        {QStringLiteral("-0.5E+0308"), true},
        {QString(308, u'9'), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        DeliveryDocument d = normalOrder();
        d.empresaId = c.in;
        const QByteArray json = d.toJson().toUtf8();
        rapidjson::Document parsed;
        parsed.Parse<rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag>(
            json.constData(), size_t(json.size()));
        ASSERT_FALSE(parsed.HasParseError());
        EXPECT_EQ(Json::bare(c.in), c.bare ? c.in : Json::quoted(c.in));
        EXPECT_EQ(QString::fromUtf8(parsed["empresa_id"].GetString()), c.in);
    }
}

TEST(Schedule, AddsTheDelayAndDropsTheSeconds)
{
    const RegionalSeparators brazil;
    const struct
    {
        QDateTime now;
        int minutes;
        const char *data;
        const char *hora;
    } cases[] = {
        {QDateTime(QDate(2024, 3, 15), QTime(23, 30)), 120, "16/03/2024", "01:30"},
        {QDateTime(QDate(2024, 3, 15), QTime(10, 5, 59)), 5, "15/03/2024", "10:10"},
        {QDateTime(QDate(2024, 12, 31), QTime(23, 59, 30)), 5, "01/01/2025", "00:04"},
        {QDateTime(QDate(2024, 2, 28), QTime(23, 0)), 90, "29/02/2024", "00:30"},
    };
    for (const auto &c : cases) {
        SettableClock clock(c.now);
        const Schedule s = Schedule::from(clock, c.minutes, brazil);
        EXPECT_EQ(s.data, QString::fromLatin1(c.data));
        EXPECT_EQ(s.hora, QString::fromLatin1(c.hora));
    }
}

TEST(Schedule, UsesTheRegionalSeparators)
{
    const RegionalSeparators pt = RegionalSeparators::of(QLocale(QLocale::Portuguese, QLocale::Brazil));
    EXPECT_EQ(pt.date, u'/');
    EXPECT_EQ(pt.time, u':');
    const RegionalSeparators de = RegionalSeparators::of(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.date, u'.');

    const Schedule s = Schedule::at(QDateTime(QDate(2024, 3, 5), QTime(9, 7)), 0, {u'-', u'.'});
    EXPECT_EQ(s.data, u"05-03-2024");
    EXPECT_EQ(s.hora, u"09.07");
}

TEST(PaymentTypes, CodesAndNamesMapBothWays)
{
    const QStringList names = {QStringLiteral("Faturado"),
                               QStringLiteral("Dinheiro"),
                               QStringLiteral("Debito (Maquina)"),
                               QStringLiteral("Credito (Maquina)"),
                               QStringLiteral("Pix"),
                               QStringLiteral("Picpay"),
                               QStringLiteral("Whatsapp"),
                               QStringLiteral("Carteira de creditos")};
    const QStringList codes = {QStringLiteral("F"), QStringLiteral("D"), QStringLiteral("B"),
                               QStringLiteral("C"), QStringLiteral("X"), QStringLiteral("P"),
                               QStringLiteral("H"), QStringLiteral("R")};
    EXPECT_EQ(PaymentTypes::namesForCodes(codes), names);
    for (int i = 0; i < codes.size(); ++i)
        EXPECT_EQ(PaymentTypes::codeForName(names.at(i)), codes.at(i));

    // Stored order kept, lower case accepted, unknown codes add nothing.
    EXPECT_EQ(PaymentTypes::namesForCodes({QStringLiteral("x"), QStringLiteral("Z"), QStringLiteral(""),
                                           QStringLiteral("FD"), QStringLiteral("R")}),
              (QStringList{QStringLiteral("Pix"), QStringLiteral("Carteira de creditos")}));

    EXPECT_EQ(PaymentTypes::codeForName(QStringLiteral("pix")), u"X");
    EXPECT_EQ(PaymentTypes::codeForName(QStringLiteral("dEBITO (mAQUINA)")), u"B");
    for (const char *unknown : {"", "Pix ", "Cartão", "Débito (Maquina)"})
        EXPECT_EQ(PaymentTypes::codeForName(QString::fromUtf8(unknown)), QString()) << unknown;
    EXPECT_EQ(PaymentTypes::missingMessage(), u"Tipo do pagamento da entrega não especificado!");
}

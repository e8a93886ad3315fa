#include "PaymentTypes.h"

#include <array>

namespace brisfold::PaymentTypes {

namespace {

struct PaymentType
{
    char16_t code;
    const char16_t *name;
    const char16_t *upperName;
};

constexpr std::array<PaymentType, 8> table{{
    {u'F', u"Faturado", u"FATURADO"},
    {u'D', u"Dinheiro", u"DINHEIRO"},
    {u'B', u"Debito (Maquina)", u"DEBITO (MAQUINA)"},
    {u'C', u"Credito (Maquina)", u"CREDITO (MAQUINA)"},
    {u'X', u"Pix", u"PIX"},
    {u'P', u"Picpay", u"PICPAY"},
    {u'H', u"Whatsapp", u"WHATSAPP"},
    {u'R', u"Carteira de creditos", u"CARTEIRA DE CREDITOS"},
}};

// Only a-z change; "é" and the like stay as they are, so "Débito" matches no row.
QString asciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= u'a' && c <= u'z')
            c = QChar(char16_t(c.unicode() - u'a' + u'A'));
    }
    return out;
}

} // namespace

QString missingMessage()
{
    return QStringLiteral("Tipo do pagamento da entrega não especificado!");
}

QStringList namesForCodes(const QStringList &codes)
{
    QStringList names;
    for (const QString &code : codes) {
        const QString upper = code.toUpper();
        for (const PaymentType &type : table) {
            if (upper == QStringView(&type.code, 1)) {
                names.append(QString::fromUtf16(type.name));
                break;
            }
        }
    }
    return names;
}

QString codeForName(const QString &name)
{
    const QString upper = asciiUpper(name);
    for (const PaymentType &type : table) {
        if (upper == QStringView(type.upperName))
            return QString(QChar(type.code));
    }
    return {};
}

} // namespace brisfold::PaymentTypes

#include "supportlog/EventLog.h"

#include "courier/CourierBooking.h"
#include "courier/DeliveryDocument.h"
#include "cycle/MarketplaceCheck.h"
#include "supportlog/SupportLog.h"

#include <atomic>

namespace brisfold::eventlog {

namespace {

std::atomic<SupportLog *> installed = nullptr;

// A text as one readable line: its ends trimmed, its inner line breaks as " | ".
QString oneLine(QString text)
{
    text = text.trimmed();
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" | "));
    text.replace(u'\n', QStringLiteral(" | "));
    text.replace(u'\r', QStringLiteral(" | "));
    return text;
}

QString quoted(const QString &text)
{
    return u'"' + oneLine(text) + u'"';
}

} // namespace

void install(SupportLog *log)
{
    installed = log;
}

void write(const QString &line)
{
    if (SupportLog *log = installed.load())
        log->write(line);
}

QString programStarted(const QString &version, const QString &programFolder, const QString &database)
{
    return QStringLiteral("Programa iniciado: versão %1, pasta %2, banco %3")
        .arg(version, programFolder, database);
}

QString programEnded()
{
    return QStringLiteral("Programa encerrado");
}

QString checkStarted()
{
    return QStringLiteral("Verificação iniciada");
}

QString checkEnded(const CheckSummary &summary, qint64 milliseconds)
{
    // One arg() call: a "%2" inside the result text must stay as it is.
    return QStringLiteral(
               "Verificação concluída em %1 ms: %2; pedidos encontrados %3, novos %4, armazenados %5")
        .arg(QString::number(milliseconds),
             summary.marketplaceResult.isEmpty() ? QStringLiteral("Aiqfome não cadastrado")
                                                 : oneLine(summary.marketplaceResult),
             QString::number(summary.ordersFound), QString::number(summary.ordersNew),
             QString::number(summary.ordersStored));
}

QString orderStored(const StoredOrder &order)
{
    return QStringLiteral("Pedido armazenado: aiqfome %1, cliente %2, chegada %3")
        .arg(order.IDPEDIDO, quoted(order.CLIENTE), order.DATAHORA);
}

QString booking(const QString &how, const QString &orderNumber, const DeliveryChoices &choices,
                const BookingResult &result, qint64 milliseconds)
{
    QString answer;
    if (result.booked())
        answer = QStringLiteral("solicitado, id_mch %1")
                     .arg(result.bookingId.isEmpty() ? QStringLiteral("?") : result.bookingId);
    else if (result.outcomeUnknown)
        answer =
            QStringLiteral("resultado desconhecido (sem resposta depois do envio): ") + quoted(result.text);
    else
        answer = QStringLiteral("recusado: ") + quoted(result.text);
    if (result.markError)
        answer += QStringLiteral("; marca não gravada: ") + quoted(*result.markError);
    return QStringLiteral("Solicitação %1: pedido aiqfome %2, categoria %3, pagamento %4, agendamento %5 %6, "
                          "%7 em %8 ms")
        .arg(how, orderNumber, quoted(choices.category), choices.paymentCode, choices.schedule.data,
             choices.schedule.hora, answer, QString::number(milliseconds));
}

QString markedDelivered(const QString &orderNumber)
{
    return QStringLiteral("Pedido aiqfome %1 marcado JA ENTREGUE").arg(orderNumber);
}

QString unknownOutcomeAnswered(const QString &orderNumber, bool postAgain)
{
    return postAgain
               ? QStringLiteral("Resultado desconhecido do pedido aiqfome %1: usuário pediu nova solicitação")
                     .arg(orderNumber)
               : QStringLiteral("Resultado desconhecido do pedido aiqfome %1: usuário confirmou na Trevant, "
                                "marcado MACHINE")
                     .arg(orderNumber);
}

QString signedIn(const QString &email)
{
    return QStringLiteral("Login na Trevant: ") + email;
}

QString signedOut(const QString &email)
{
    return QStringLiteral("Logout da Trevant: ") + email;
}

QString credentialsSaved(const QString &login)
{
    return QStringLiteral("Credenciais do Aiqfome salvas: usuário ") + login;
}

QString settingChanged(const QString &setting, const QString &before, const QString &after)
{
    return QStringLiteral("Configuração alterada: %1 %2 → %3").arg(setting, quoted(before), quoted(after));
}

QString errorShown(const QString &where, const QString &text)
{
    return QStringLiteral("Mensagem ao usuário (%1): %2").arg(where, quoted(text));
}

} // namespace brisfold::eventlog

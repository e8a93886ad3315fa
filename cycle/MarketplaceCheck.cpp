#include "MarketplaceCheck.h"

#include "courier/DeliveryDocument.h"
#include "courier/PaymentTypes.h"
#include "common/ReplyDecoder.h"
#include "store/Database.h"
#include "store/DispatchClaim.h"

#include <stdexcept>
#include <vector>

namespace brisfold {

namespace {

const QString loginRefused = QStringLiteral("401 LOGIN");

// A board setting that is not the number it should be.
class ConversionError final : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

int wholeMinutes(const QString &text)
{
    bool valid = false;
    const int minutes = text.trimmed().toInt(&valid);
    if (!valid)
        throw ConversionError("minutes");
    return minutes;
}

struct Credentials
{
    qint64 id = 0;
    QString login;
    QString senha;
};

// Every row read before the first request, so a table missing a column (an older build's, or
// edited by hand) fails here as a whole rather than part-way through the walk.
std::vector<Credentials> readCredentials(Database &db)
{
    const ResultSet rows = db.query("SELECT * FROM CONFIGDELIVERY");
    std::vector<Credentials> credentials;
    credentials.reserve(size_t(rows.rowCount()));
    for (int i = 0; i < rows.rowCount(); ++i)
        credentials.push_back({rows.integer(i, u"ID"), rows.text(i, u"LOGIN"), rows.text(i, u"SENHA")});
    return credentials;
}

} // namespace

QString countdownText(int secondsLeft)
{
    if (secondsLeft >= 2)
        return QStringLiteral("Proxima Verificação em %1 segundos").arg(secondsLeft);
    return QStringLiteral("Verificando...");
}

MarketplaceCheck::MarketplaceCheck(Database &db, MarketplaceSettings marketplace, CourierSettings courier,
                                   const Clock &clock)
    : db_(db)
    , marketplace_(std::move(marketplace))
    , courier_(std::move(courier))
    , clock_(clock)
{}

void MarketplaceCheck::run(const CheckInput &input, CheckEvents &events) const
{
    if (input.statusPanelEmpty)
        events.statusText(QStringLiteral("Verificando integração"));

    std::vector<Credentials> rows;
    try {
        rows = readCredentials(db_);
    } catch (const DatabaseError &e) {
        // Automatic dispatch still runs: its orders do not depend on the marketplace rows.
        events.statusText(e.text());
    }

    const MarketplaceClient client(marketplace_, clock_,
                                   [&events](const QString &text) { events.statusText(text); });
    for (const Credentials &row : rows) {
        if (row.login.isEmpty() && row.senha.isEmpty()) {
            events.statusText(QStringLiteral("Aiqfome não cadastrado"));
            continue;
        }
        const QString result = client.ObterTokenAiqfome(row.login, row.senha, QString::number(row.id), db_);
        if (result == QStringView(resultOk)) {
            events.statusText(QStringLiteral("Aiqfome conectado"));
            events.hideNotice();
        } else if (result == loginRefused) {
            const QString text = QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO");
            events.statusText(text);
            events.showNotice(text);
            events.credentialsRefused();
        } else {
            events.statusText(result);
            events.showNotice(result);
        }
    }

    AbrirEntregaAgendarAutomatico(input, events);
}

void MarketplaceCheck::AbrirEntregaAgendarAutomatico(const CheckInput &input, CheckEvents &events) const
{
    if (!events.signedIn())
        return;
    try {
        const AutoDispatchSettings settings = events.dispatchSettings(input.dispatch);
        if (!settings.enabled)
            return;
        const ResultSet orders =
            db_.query("SELECT * FROM PEDIDOS WHERE (ID_MCH = '' OR ID_MCH is null) AND "
                      "DATAHORA >= strftime('%Y-%m-%d %H:%M:%S', 'now', '-13 hours') ORDER BY id ASC;");
        if (orders.isEmpty())
            return;

        const ResultSet company = db_.query("SELECT * FROM EMPRESA");
        // Signed out during the check: there is no account left to book with.
        if (company.isEmpty())
            return;

        const QString code = PaymentTypes::codeForName(settings.payment);
        if (code.isEmpty()) {
            events.paymentTypeMissing(PaymentTypes::missingMessage());
            return;
        }
        // One moment for the whole run, so every order of it carries the same "data" and "hora".
        const Schedule schedule = Schedule::from(clock_, wholeMinutes(settings.minutes), input.separators);

        const QString email = company.text(0, u"EMAIL");
        const QString senha = company.text(0, u"SENHA");
        for (int i = 0; i < orders.rowCount(); ++i) {
            const qint64 id = orders.integer(i, u"ID");
            // The dispatch dialog may have booked it since the selection, or be booking it now.
            DispatchClaim claim(db_, id);
            if (claim.bookedUnmarked()) {
                claim.markBooked();
                continue;
            }
            if (!claim.held())
                continue;

            DeliveryDocument document;
            document.formaPagamento = code;
            document.empresaId = company.text(0, u"IDMACHINE");
            document.retorno = settings.returnChoice;
            document.categoriaNome = settings.category;
            document.schedule = schedule;
            document.partidaEndereco = company.text(0, u"ENDERECO");
            document.partidaBairro = company.text(0, u"BAIRRO");
            document.partidaCidade = company.text(0, u"CIDADE");
            document.partidaEstado = company.text(0, u"UF");
            document.partidaLat = company.text(0, u"LAT");
            document.partidaLng = company.text(0, u"LNG");
            document.nomeCliente = orders.text(i, u"CLIENTE");
            document.telefoneCliente = orders.text(i, u"TELEFONE");
            document.idPedido = orders.text(i, u"IDPEDIDO");
            document.enderecoParada = orders.text(i, u"ENDERECO");
            document.latParada = orders.text(i, u"LATITUDE");
            document.lngParada = orders.text(i, u"LONGITUDE");

            const QString result = courier_.AbrirEntrega(input.courierKey, email, senha, document.toJson());
            if (result == QStringView(resultOk))
                claim.markBooked();
            else
                events.statusText(QStringLiteral("Erro: ") + result);
        }
    } catch (const DatabaseError &) {
        events.statusText(QStringLiteral("DatabaseError"));
    } catch (const ConversionError &) {
        events.statusText(QStringLiteral("ConversionError"));
    } catch (...) {
        events.statusText(QStringLiteral("Exception"));
    }
}

} // namespace brisfold

#include "dispatch/TFEntrega.h"

#include "common/BackgroundCall.h"
#include "common/Clock.h"
#include "courier/BracketedList.h"
#include "courier/CourierBooking.h"
#include "courier/DeliveryDocument.h"
#include "courier/PaymentTypes.h"
#include "courier/Schedule.h"
#include "store/Database.h"
#include "store/DispatchClaim.h"
#include "supportlog/EventLog.h"
#include "ui/MessageBoxes.h"
#include "ui/ScreenPlacement.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <optional>
#include <utility>

namespace brisfold {

namespace {

const QString orderPrefix = QStringLiteral("aiqfome ");

QLabel *headerLine(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

QComboBox *fixedList(const char *name, const QStringList &items, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    list->addItems(items);
    list->setMinimumHeight(30);
    return list;
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setProperty("role", QStringLiteral("caption"));
    return label;
}

// Bold at `points` (0 keeps the inherited size); everything else is inherited.
QFont boldFont(int points)
{
    QFont font;
    if (points > 0)
        font.setPointSize(points);
    font.setBold(true);
    return font;
}

} // namespace

TFEntrega::TFEntrega(CompanyStore company, OrderStore orders, CourierSettings courier, QString courierKey,
                     MessageBoxes &messages, const Clock &clock, QWidget *parent)
    // A close box only: no minimise, maximise or context-help button.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , companyStore_(company)
    , orders_(orders)
    , courier_(std::move(courier))
    , courierKey_(std::move(courierKey))
    , messages_(messages)
    , clock_(clock)
    , call_(std::make_unique<BackgroundCall>())
{
    setObjectName(QStringLiteral("FEntrega"));
    setWindowTitle(QStringLiteral("Solicitar entrega"));
    setFixedSize(405, 393);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(18, 14, 18, 16);
    column->setSpacing(4);

    Label_IDPEDIDO = headerLine("Label_IDPEDIDO", this);
    Label_IDPEDIDO->setFont(boldFont(12));
    LabelDATAHORA = headerLine("LabelDATAHORA", this);
    Label6CLIENTE = headerLine("Label6CLIENTE", this);
    LabelENDERECO = headerLine("LabelENDERECO", this);
    for (QLabel *line : {Label_IDPEDIDO, LabelDATAHORA, Label6CLIENTE, LabelENDERECO})
        column->addWidget(line);
    column->addSpacing(10);

    ComboBoxCategorias = fixedList("ComboBoxCategorias", {}, this);
    ComboBoxPagamentos = fixedList("ComboBoxPagamentos", {}, this);
    auto *lists = new QGridLayout;
    lists->setHorizontalSpacing(12);
    lists->setVerticalSpacing(2);
    lists->addWidget(caption(QStringLiteral("Categoria"), this), 0, 0);
    lists->addWidget(caption(QStringLiteral("Pagamento"), this), 0, 1);
    lists->addWidget(ComboBoxCategorias, 1, 0);
    lists->addWidget(ComboBoxPagamentos, 1, 1);
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(1, 1);
    column->addLayout(lists);
    column->addSpacing(6);

    ComboBoxAgendar =
        fixedList("ComboBoxAgendar",
                  {QStringLiteral("5"),   QStringLiteral("10"),  QStringLiteral("15"),  QStringLiteral("20"),
                   QStringLiteral("25"),  QStringLiteral("30"),  QStringLiteral("35"),  QStringLiteral("45"),
                   QStringLiteral("50"),  QStringLiteral("55"),  QStringLiteral("60"),  QStringLiteral("65"),
                   QStringLiteral("70"),  QStringLiteral("75"),  QStringLiteral("80"),  QStringLiteral("85"),
                   QStringLiteral("90"),  QStringLiteral("95"),  QStringLiteral("100"), QStringLiteral("105"),
                   QStringLiteral("110"), QStringLiteral("115"), QStringLiteral("120")},
                  this);
    ComboBoxRetorno = fixedList("ComboBoxRetorno", {QStringLiteral("Não"), QStringLiteral("Sim")}, this);
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(caption(QStringLiteral("Agendar"), this));
    row->addWidget(ComboBoxAgendar, 1);
    row->addWidget(caption(QStringLiteral("min"), this));
    row->addSpacing(14);
    row->addWidget(caption(QStringLiteral("Retorno"), this));
    row->addWidget(ComboBoxRetorno, 1);
    column->addLayout(row);
    column->addStretch(1);

    auto *feeCaption = new QLabel(QStringLiteral("TAXA DE ENTREGA"), this);
    feeCaption->setAlignment(Qt::AlignCenter);
    QFont captionFont = boldFont(0);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    feeCaption->setFont(captionFont);
    column->addWidget(feeCaption);
    Label1 = new QLabel(QStringLiteral("R$0,00"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(boldFont(24));
    column->addWidget(Label1);
    column->addStretch(1);

    Button1 = new QPushButton(QStringLiteral("Já foi entregue"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button4 = new QPushButton(QStringLiteral("Solicitar entrega"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    for (QPushButton *button : {Button1, Button4}) {
        button->setMinimumHeight(41);
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(false);
    }
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addWidget(Button1, 2);
    buttons->addWidget(Button4, 3);
    column->addLayout(buttons);

    connect(ComboBoxCategorias, &QComboBox::currentIndexChanged, this, &TFEntrega::ComboBoxCategoriasChange);
    connect(ComboBoxPagamentos, &QComboBox::currentIndexChanged, this, &TFEntrega::ComboBoxPagamentosChange);
    connect(ComboBoxRetorno, &QComboBox::currentIndexChanged, this, &TFEntrega::ComboBoxRetornoChange);
    connect(Button1, &QPushButton::clicked, this, &TFEntrega::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TFEntrega::Button4Click);
}

TFEntrega::~TFEntrega() = default;

void TFEntrega::load(const DispatchOrder &order, const QString &timeLine)
{
    order_ = order;
    LabelDATAHORA->setText(timeLine);
}

void TFEntrega::openFor(const DispatchOrder &order, const QString &timeLine)
{
    load(order, timeLine);
    exec();
}

void TFEntrega::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A dialog opens over its parent by default; this one opens in the middle of the screen,
    // on every opening, wherever it was moved to before.
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        emit opened();
    }
    FormShow();
}

void TFEntrega::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TFEntrega::FormShow()
{
    Label_IDPEDIDO->setText(QStringLiteral("\U0001F9FE ") + orderPrefix + order_.IDPEDIDO);
    Label6CLIENTE->setText(QStringLiteral("\U0001F464 ") + order_.CLIENTE);
    LabelENDERECO->setText(QStringLiteral("\U0001F4CD ") + order_.ENDERECO);

    filling_ = true;
    ComboBoxPagamentos->clear();
    ComboBoxCategorias->clear();
    try {
        // Signed out meanwhile: every value empty, and the platform says what is missing.
        company_ = companyStore_.read().value_or(CompanyProfile{});
        ComboBoxPagamentos->addItems(PaymentTypes::namesForCodes(SepararLista(company_.TIPOSPAGAMENTOS)));
        ComboBoxCategorias->addItems(SepararLista(company_.CATEGORIAS));
    } catch (const DatabaseError &e) {
        filling_ = false;
        messages_.showMessage(this, e.text());
        return;
    }
    ComboBoxPagamentos->setCurrentIndex(ComboBoxPagamentos->count() > 0 ? 0 : -1);
    ComboBoxCategorias->setCurrentIndex(ComboBoxCategorias->count() > 0 ? 0 : -1);
    filling_ = false;
    EstimaEntrega();
}

void TFEntrega::EstimaEntrega()
{
    // A list changed while the platform was still answering: ask again once it has.
    if (call_->isBusy()) {
        estimateAgain_ = true;
        return;
    }
    EstimateQuery query;
    try {
        company_ = companyStore_.readBeforeEstimate().value_or(CompanyProfile{});
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
        return;
    }
    query.enderecoPartida = company_.ENDERECO;
    query.bairroPartida = company_.BAIRRO;
    query.cidadePartida = company_.CIDADE;
    query.estadoPartida = company_.UF;
    query.latPartida = company_.LAT;
    query.lngPartida = company_.LNG;
    query.enderecoDesejado = order_.ENDERECO;
    query.bairroDesejado = company_.BAIRRO;
    query.cidadeDesejado = company_.CIDADE;
    query.estadoDesejado = company_.UF;
    query.latDesejado = order_.LATITUDE;
    query.lngDesejado = order_.LONGITUDE;
    query.categoriaNome = ComboBoxCategorias->currentText();
    query.comRetorno = ComboBoxRetorno->currentText() == QStringLiteral("Sim") ? QStringLiteral("true")
                                                                               : QStringLiteral("false");

    setCalling(true);
    call_->start(
        [courier = courier_, key = courierKey_, email = company_.EMAIL, senha = company_.SENHA, query,
         id = order_.ID, orders = orders_]() mutable {
            return CourierClient(courier).EstimarEntrega(key, email, senha, query, QString::number(id),
                                                         orders);
        },
        [this, id = order_.ID](const QString &result) { estimateFinished(result, id); });
}

void TFEntrega::estimateFinished(const QString &result, qint64 orderId)
{
    setCalling(false);
    // An answer for a dialog that was closed meanwhile, or opened again for another order, is
    // no longer anybody's question.
    if (isVisible() && orderId == order_.ID)
        showEstimate(result);
    if (std::exchange(estimateAgain_, false) && isVisible())
        EstimaEntrega();
}

void TFEntrega::showEstimate(const QString &result)
{
    if (result != QStringLiteral("TRUE")) {
        messages_.showMessage(this, result);
        return;
    }
    try {
        if (const std::optional<QString> fee = orders_.deliveryFee(order_.ID))
            Label1->setText(QStringLiteral("R$ ") + *fee);
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TFEntrega::setCalling(bool calling)
{
    Button1->setEnabled(!calling);
    Button4->setEnabled(!calling);
}

void TFEntrega::ComboBoxCategoriasChange()
{
    if (!filling_ && isVisible())
        EstimaEntrega();
}

void TFEntrega::ComboBoxPagamentosChange()
{
    if (!filling_ && isVisible())
        EstimaEntrega();
}

void TFEntrega::ComboBoxRetornoChange()
{
    if (!filling_ && isVisible())
        EstimaEntrega();
}

void TFEntrega::Button4Click()
{
    if (call_->isBusy())
        return;
    const QString code = PaymentTypes::codeForName(ComboBoxPagamentos->currentText());
    if (code.isEmpty()) {
        messages_.showMessage(this, PaymentTypes::missingMessage());
        return;
    }

    // The automatic dispatch may have booked this order while the dialog was open, or be
    // booking it now; the claim keeps it from posting the order until this booking is marked.
    // It never posts an order that has a mark, so booking such an order again needs only the
    // user's word, given for the mark that is still there when the post goes out.
    QString agreedMark;
    bool agreedUnknown = false;
    for (;;) {
        try {
            std::shared_ptr<DispatchClaim> claim = orders_.sharedClaim(order_.ID);
            switch (consider(*claim, agreedMark, agreedUnknown)) {
            case ClaimOutcome::Book:
                book(std::move(claim), code);
                return;
            case ClaimOutcome::AskAgain:
                continue;
            case ClaimOutcome::Stop:
                return;
            }
        } catch (const DatabaseError &e) {
            // Only taking the claim throws here; the booking reports its own errors.
            messages_.showMessage(this, e.text());
            return;
        }
    }
}

TFEntrega::ClaimOutcome TFEntrega::consider(DispatchClaim &claim, QString &agreedMark, bool &agreedUnknown)
{
    if (claim.held() && claim.outcomeUnknown() && !agreedUnknown) {
        agreedUnknown = true;
        return messages_.askYesNo(this, unknownOutcomeQuestion(order_.IDPEDIDO)) ? ClaimOutcome::AskAgain
                                                                                 : ClaimOutcome::Stop;
    }
    if (!claim.found() || claim.held())
        return ClaimOutcome::Book;
    const QString &mark = claim.mark();
    if (mark.isEmpty()) {
        // The other path is booking it now, or booked it without getting to mark it.
        try {
            if (claim.bookedUnmarked())
                claim.markBooked();
        } catch (const DatabaseError &) {
            // Still remembered as booked; the message below holds either way.
        }
        accept();
        messages_.showMessage(parentWidget(), QStringLiteral("Este pedido já tem entregador solicitado."));
        return ClaimOutcome::Stop;
    }
    if (mark == agreedMark)
        return ClaimOutcome::Book;
    agreedMark = mark;
    const QString question =
        mark == QStringLiteral("MACHINE")
            ? QStringLiteral("Este pedido já tem entregador solicitado. Solicitar outro entregador?")
            : QStringLiteral("Este pedido foi marcado como já entregue. Solicitar entregador mesmo assim?");
    return messages_.askYesNo(this, question) ? ClaimOutcome::AskAgain : ClaimOutcome::Stop;
}

void TFEntrega::book(std::shared_ptr<DispatchClaim> claim, const QString &paymentCode)
{
    DeliveryChoices choices;
    choices.paymentCode = paymentCode;
    choices.returnChoice = ComboBoxRetorno->currentText();
    choices.category = ComboBoxCategorias->currentText();
    // Taken after any question, which may have stood open for a while.
    choices.schedule =
        Schedule::from(clock_, ComboBoxAgendar->currentText().toInt(), RegionalSeparators::system());
    const DeliveryDocument document = DeliveryDocument::of(company_, order_, choices);

    // The post and its mark both run on the worker, which keeps the claim: a program closed
    // meanwhile waits for the worker, so a booking the platform took is always marked.
    auto markError = std::make_shared<std::optional<QString>>();
    setCalling(true);
    booking_ = true;
    call_->start(
        [courier = courier_, key = courierKey_, email = company_.EMAIL, senha = company_.SENHA,
         json = document.toJson(), claim, markError, choices, number = order_.IDPEDIDO] {
            try {
                QElapsedTimer took;
                took.start();
                const BookingResult result =
                    postBooking(CourierClient(courier), *claim, key, email, senha, json);
                eventlog::write(
                    eventlog::booking(QStringLiteral("manual"), number, choices, result, took.elapsed()));
                *markError = result.markError;
                return result.text;
            } catch (const DatabaseError &e) {
                // The posting's record could not be written, so nothing went out.
                return e.text();
            }
        },
        [this, markError](const QString &result) {
            bookingFinished(result, markError->value_or(QString()));
        });
}

void TFEntrega::bookingFinished(const QString &result, const QString &markError)
{
    setCalling(false);
    booking_ = false;
    if (result != QStringLiteral("TRUE")) {
        messages_.showMessage(this, QStringLiteral("Erro: ") + result);
        return;
    }
    accept();
    // A mark that could not be written is shown instead; the courier is booked either way, and
    // closing keeps a second click from booking another.
    messages_.showMessage(
        parentWidget(), markError.isEmpty() ? QStringLiteral("Entrega solicitada com sucesso!") : markError);
}

void TFEntrega::reject()
{
    // Closing while a booking is under way would hide its outcome; the buttons say it is busy.
    if (booking_)
        return;
    QDialog::reject();
}

void TFEntrega::Button1Click()
{
    try {
        orders_.markDelivered(order_.ID);
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
        return;
    }
    eventlog::write(eventlog::markedDelivered(order_.IDPEDIDO));
    accept();
}

void TFEntrega::FormClose()
{
    emit closed();
}

} // namespace brisfold

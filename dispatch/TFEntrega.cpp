#include "dispatch/TFEntrega.h"

#include "ui/MessageBoxes.h"
#include "ui/ScreenPlacement.h"
#include "app/TMainForm.h"
#include "courier/BracketedList.h"
#include "common/Clock.h"
#include "courier/CourierClient.h"
#include "courier/DeliveryDocument.h"
#include "courier/PaymentTypes.h"
#include "courier/Schedule.h"
#include "store/DispatchClaim.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <optional>

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

const SystemClock &systemClock()
{
    static const SystemClock clock;
    return clock;
}

} // namespace

TFEntrega::TFEntrega(TMainForm &mainForm)
    // A close box only: no minimise, maximise or context-help button.
    : QDialog(&mainForm,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , mainForm_(mainForm)
    , clock_(&systemClock())
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

void TFEntrega::openFor(const OrderForDispatch &order)
{
    ID = order.id;
    IDPEDIDO = orderPrefix + order.orderNumber;
    LabelDATAHORA->setText(order.timeLine);
    CLIENTE = order.cliente;
    TELEFONE = order.telefone;
    ENDERECO = order.endereco;
    LAT = order.latitude;
    LNG = order.longitude;
    // The list must not change under the dialog; closing switches the refresh on again.
    mainForm_.TimerPedidos->stop();
    exec();
}

void TFEntrega::setClock(const Clock *clock)
{
    clock_ = clock ? clock : &systemClock();
}

void TFEntrega::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A dialog opens over its parent by default; this one opens in the middle of the screen,
    // on every opening, wherever it was moved to before.
    if (!event->spontaneous())
        centreOnScreen(*this);
    FormShow();
}

void TFEntrega::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TFEntrega::FormShow()
{
    Label_IDPEDIDO->setText(QStringLiteral("\U0001F9FE ") + IDPEDIDO);
    Label6CLIENTE->setText(QStringLiteral("\U0001F464 ") + CLIENTE);
    LabelENDERECO->setText(QStringLiteral("\U0001F4CD ") + ENDERECO);

    filling_ = true;
    ComboBoxPagamentos->clear();
    ComboBoxCategorias->clear();
    try {
        const ResultSet empresa = loadCompany();
        if (!empresa.isEmpty()) {
            ComboBoxPagamentos->addItems(
                PaymentTypes::namesForCodes(SepararLista(empresa.text(0, u"TIPOSPAGAMENTOS"))));
            ComboBoxCategorias->addItems(SepararLista(empresa.text(0, u"CATEGORIAS")));
        }
    } catch (const DatabaseError &e) {
        filling_ = false;
        mainForm_.messages().showMessage(this, e.text());
        return;
    }
    ComboBoxPagamentos->setCurrentIndex(ComboBoxPagamentos->count() > 0 ? 0 : -1);
    ComboBoxCategorias->setCurrentIndex(ComboBoxCategorias->count() > 0 ? 0 : -1);
    filling_ = false;
    EstimaEntrega();
}

ResultSet TFEntrega::loadCompany()
{
    const ResultSet empresa = mainForm_.FDConnection.query("SELECT * FROM EMPRESA ");
    // Signed out meanwhile: every field empty, and the platform says what is missing.
    auto column = [&empresa](QStringView name) {
        return empresa.isEmpty() ? QString() : empresa.text(0, name);
    };
    EMPRESA_EMAIL = column(u"EMAIL");
    EMPRESA_SENHA = column(u"SENHA");
    EMPRESA_IDMACHINE = column(u"IDMACHINE");
    EMPRESA_ENDERECO = column(u"ENDERECO");
    EMPRESA_BAIRRO = column(u"BAIRRO");
    EMPRESA_CIDADE = column(u"CIDADE");
    EMPRESA_UF = column(u"UF");
    EMPRESA_CEP = column(u"CEP");
    EMPRESA_LAT = column(u"LAT");
    EMPRESA_LNG = column(u"LNG");
    return empresa;
}

void TFEntrega::EstimaEntrega()
{
    try {
        loadCompany();
        EstimateQuery query;
        query.enderecoPartida = EMPRESA_ENDERECO;
        query.bairroPartida = EMPRESA_BAIRRO;
        query.cidadePartida = EMPRESA_CIDADE;
        query.estadoPartida = EMPRESA_UF;
        query.latPartida = EMPRESA_LAT;
        query.lngPartida = EMPRESA_LNG;
        query.enderecoDesejado = ENDERECO;
        query.bairroDesejado = EMPRESA_BAIRRO;
        query.cidadeDesejado = EMPRESA_CIDADE;
        query.estadoDesejado = EMPRESA_UF;
        query.latDesejado = LAT;
        query.lngDesejado = LNG;
        query.categoriaNome = ComboBoxCategorias->currentText();
        query.comRetorno = ComboBoxRetorno->currentText() == QStringLiteral("Sim") ? QStringLiteral("true")
                                                                                   : QStringLiteral("false");

        const QString result = CourierClient(mainForm_.courierSettings)
                                   .EstimarEntrega(mainForm_.vpTokenMachine, EMPRESA_EMAIL, EMPRESA_SENHA,
                                                   query, QString::number(ID), mainForm_.FDConnection);
        if (result != QStringLiteral("TRUE")) {
            mainForm_.messages().showMessage(this, result);
            return;
        }
        const ResultSet pedido =
            mainForm_.FDConnection.query("SELECT * FROM PEDIDOS where ID = :ID  ", {{":ID", ID}});
        if (!pedido.isEmpty())
            Label1->setText(QStringLiteral("R$ ") + pedido.text(0, u"TAXAENTREGA"));
    } catch (const DatabaseError &e) {
        mainForm_.messages().showMessage(this, e.text());
    }
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
    const QString code = PaymentTypes::codeForName(ComboBoxPagamentos->currentText());
    if (code.isEmpty()) {
        mainForm_.messages().showMessage(this, PaymentTypes::missingMessage());
        return;
    }

    // The automatic dispatch may have booked this order while the dialog was open, or be
    // booking it now; the claim keeps it from posting the order until this booking is marked.
    // It never posts an order that has a mark, so booking such an order again needs only the
    // user's word, given for the mark that is still there when the post goes out.
    std::optional<DispatchClaim> claim;
    QString agreedMark;
    for (;;) {
        try {
            claim.emplace(mainForm_.FDConnection, ID);
        } catch (const DatabaseError &e) {
            mainForm_.messages().showMessage(this, e.text());
            return;
        }
        if (!claim->found() || claim->held())
            break;
        const QString &mark = claim->mark();
        if (mark.isEmpty()) {
            // The other path is booking it now, or booked it without getting to mark it.
            try {
                if (claim->bookedUnmarked())
                    claim->markBooked();
            } catch (const DatabaseError &) {
                // Still remembered as booked; the message below holds either way.
            }
            accept();
            mainForm_.messages().showMessage(&mainForm_,
                                             QStringLiteral("Este pedido já tem entregador solicitado."));
            return;
        }
        if (mark == agreedMark)
            break;
        agreedMark = mark;
        const QString question =
            mark == QStringLiteral("MACHINE")
                ? QStringLiteral("Este pedido já tem entregador solicitado. Solicitar outro entregador?")
                : QStringLiteral(
                      "Este pedido foi marcado como já entregue. Solicitar entregador mesmo assim?");
        if (!mainForm_.messages().askYesNo(this, question))
            return;
    }

    DeliveryDocument document;
    document.formaPagamento = code;
    document.empresaId = EMPRESA_IDMACHINE;
    document.retorno = ComboBoxRetorno->currentText();
    document.categoriaNome = ComboBoxCategorias->currentText();
    // Taken after any question, which may have stood open for a while.
    document.schedule =
        Schedule::from(*clock_, ComboBoxAgendar->currentText().toInt(), RegionalSeparators::system());
    document.partidaEndereco = EMPRESA_ENDERECO;
    document.partidaBairro = EMPRESA_BAIRRO;
    document.partidaCidade = EMPRESA_CIDADE;
    document.partidaEstado = EMPRESA_UF;
    document.partidaLat = EMPRESA_LAT;
    document.partidaLng = EMPRESA_LNG;
    document.nomeCliente = CLIENTE;
    document.telefoneCliente = TELEFONE;
    // The document adds the marketplace's prefix itself.
    document.idPedido = IDPEDIDO.startsWith(orderPrefix) ? IDPEDIDO.mid(orderPrefix.size()) : IDPEDIDO;
    document.enderecoParada = ENDERECO;
    document.latParada = LAT;
    document.lngParada = LNG;

    const QString result =
        CourierClient(mainForm_.courierSettings)
            .AbrirEntrega(mainForm_.vpTokenMachine, EMPRESA_EMAIL, EMPRESA_SENHA, document.toJson());
    if (result != QStringLiteral("TRUE")) {
        mainForm_.messages().showMessage(this, QStringLiteral("Erro: ") + result);
        return;
    }

    try {
        claim->markBooked();
    } catch (const DatabaseError &e) {
        // The courier is booked already: closing keeps a second click from booking another.
        accept();
        mainForm_.messages().showMessage(&mainForm_, e.text());
        return;
    }
    accept();
    mainForm_.messages().showMessage(&mainForm_, QStringLiteral("Entrega solicitada com sucesso!"));
}

void TFEntrega::Button1Click()
{
    try {
        mainForm_.FDConnection.execute("UPDATE  PEDIDOS SET ID_MCH = 'JA ENTREGUE' where ID = :ID  ",
                                       {{":ID", ID}});
    } catch (const DatabaseError &e) {
        mainForm_.messages().showMessage(this, e.text());
        return;
    }
    accept();
}

void TFEntrega::FormClose()
{
    mainForm_.TimerPedidos->start();
}

} // namespace brisfold

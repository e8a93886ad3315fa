#include "app/TMainForm.h"

#include "BuildConfig.h"
#include "ui/DigitsValidator.h"
#include "ui/MessageBoxes.h"
#include "ui/PictureView.h"
#include "ui/ScreenPlacement.h"
#include "board/OrderBoard.h"
#include "board/OrderGrid.h"
#include "courier/BracketedList.h"
#include "courier/PaymentTypes.h"
#include "cycle/CheckRunner.h"
#include "dispatch/TFEntrega.h"
#include "marketplace/TFCadastroDelivery.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace brisfold {

namespace {

// The client area has a fixed size; the outer size the resize rule guards is that plus the frame.
constexpr int clientWidth = 886;
constexpr int clientHeight = 565;
constexpr int smallestWidth = 900;
constexpr int smallestHeight = 600;
constexpr int loginPanelHeight = 450;
constexpr int statusPanel0Width = 200;
constexpr int statusPanel1Width = 500;
constexpr int menuPanelHeight = 80;

QLabel *centredLabel(const QString &text, QWidget *parent, const char *objectName = nullptr)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    if (objectName)
        label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

// `font`, made smaller in half points until `text` fits in `width` pixels (not below 7 points).
QFont fittingFont(QFont font, const QString &text, int width)
{
    while (QFontMetrics(font).horizontalAdvance(text) > width && font.pointSizeF() > 7)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    return font;
}

QTimer *makeTimer(QObject *parent, const char *name, int interval, bool active)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    if (active)
        timer->start();
    return timer;
}

} // namespace

TMainForm::TMainForm(Platform &platform, MessageBoxes &messages, ProgramFolder folder, QWidget *parent)
    : QMainWindow(parent)
    , platform_(platform)
    , messages_(messages)
    , folder_(std::move(folder))
{
    setObjectName(QStringLiteral("MainForm"));
    buildLayout();
    createTimers();
    board_ = new OrderBoard(
        FDConnection, Label6PEDIDOS, TimerPedidos, [this] { return vLogado; },
        [this] { return CheckBoxRebimentoAutomatico->isChecked(); }, messages_, ImageCollection1,
        PanelPedidos, this);
    DBCtrlGrid1 = board_->grid();
    ordersLayout_->addWidget(DBCtrlGrid1, 1);
    // Keeps the count line at the top while the grid is hidden.
    ordersLayout_->addStretch(0);
    connect(board_, &OrderBoard::requestImageClicked, this, &TMainForm::VirtualImage3Click);
    connect(board_, &OrderBoard::marketplaceLogoClicked, this, &TMainForm::VirtualImage2Click);
    FormCreate();
}

TMainForm::~TMainForm()
{
    // The check's worker uses the connection, which goes before the window's children do.
    delete checkRunner_;
    checkRunner_ = nullptr;
    if (signalCheck_)
        signalCheck_->wait();
}

void TMainForm::setDialogs(TFEntrega *entrega, TFCadastroDelivery *cadastroDelivery)
{
    entrega_ = entrega;
    cadastroDelivery_ = cadastroDelivery;
}

void TMainForm::buildLayout()
{
    // A fixed border with a system menu and a minimise button, no maximise button: a window manager
    // is told both by the flags and by equal minimum and maximum sizes.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(clientWidth, clientHeight);
    centreOnScreen(*this);

    auto *Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto *column = new QVBoxLayout(Panel2);
    column->setContentsMargins(0, 3, 0, 0);
    column->setSpacing(0);

    // Header: the brand logo, with the sign-out button over its top left corner.
    VirtualImage1 = new PictureView(ImageCollection1, 0, Panel2);
    VirtualImage1->setObjectName(QStringLiteral("VirtualImage1"));
    VirtualImage1->setFixedHeight(73);
    VirtualImage1->setCursor(Qt::PointingHandCursor);
    connect(VirtualImage1, &PictureView::clicked, this, &TMainForm::VirtualImage1Click);
    column->addWidget(VirtualImage1);

    SpeedButton5 = new QToolButton(VirtualImage1);
    SpeedButton5->setObjectName(QStringLiteral("SpeedButton5"));
    SpeedButton5->setText(QStringLiteral("Deslogar"));
    SpeedButton5->setAutoRaise(true);
    SpeedButton5->setGeometry(0, 0, 175, 40);

    // Menu panel: company, automatic dispatch switch and the default lists.
    PanelMenu = new QFrame(Panel2);
    PanelMenu->setObjectName(QStringLiteral("PanelMenu"));
    PanelMenu->setFixedHeight(menuPanelHeight);
    auto *menu = new QVBoxLayout(PanelMenu);
    menu->setContentsMargins(3, 3, 3, 3);
    menu->setSpacing(2);
    LabelEmpresa = centredLabel(QString(), PanelMenu, "LabelEmpresa");
    LabelCIDADE = centredLabel(QString(), PanelMenu, "LabelCIDADE");
    menu->addWidget(LabelEmpresa);
    menu->addWidget(LabelCIDADE);
    auto *scheduleRow = new QHBoxLayout;
    scheduleRow->addStretch();
    CheckBoxRebimentoAutomatico =
        new QCheckBox(QStringLiteral("Agendar automático os pedidos em"), PanelMenu);
    CheckBoxRebimentoAutomatico->setObjectName(QStringLiteral("CheckBoxRebimentoAutomatico"));
    ComboBoxAgendar = new QLineEdit(QStringLiteral("120"), PanelMenu);
    ComboBoxAgendar->setObjectName(QStringLiteral("ComboBoxAgendar"));
    ComboBoxAgendar->setAlignment(Qt::AlignCenter);
    ComboBoxAgendar->setFixedWidth(60);
    ComboBoxAgendar->setValidator(new DigitsValidator(ComboBoxAgendar));
    scheduleRow->addWidget(CheckBoxRebimentoAutomatico);
    scheduleRow->addWidget(ComboBoxAgendar);
    scheduleRow->addWidget(new QLabel(QStringLiteral("min"), PanelMenu));
    scheduleRow->addStretch();
    menu->addLayout(scheduleRow);

    // The three default lists sit below the panel's visible height: loaded, saved and used by
    // the automatic dispatch, but not shown.
    auto *defaults = new QWidget(PanelMenu);
    defaults->setObjectName(QStringLiteral("PanelPadroes"));
    auto *defaultsRow = new QHBoxLayout(defaults);
    ComboBoxCategorias = new QComboBox(defaults);
    ComboBoxCategorias->setObjectName(QStringLiteral("ComboBoxCategorias"));
    ComboBoxPagamentos = new QComboBox(defaults);
    ComboBoxPagamentos->setObjectName(QStringLiteral("ComboBoxPagamentos"));
    ComboBoxRetorno = new QComboBox(defaults);
    ComboBoxRetorno->setObjectName(QStringLiteral("ComboBoxRetorno"));
    ComboBoxRetorno->addItems({QStringLiteral("Não"), QStringLiteral("Sim")});
    defaultsRow->addWidget(new QLabel(QStringLiteral("Categoria"), defaults));
    defaultsRow->addWidget(ComboBoxCategorias);
    defaultsRow->addWidget(new QLabel(QStringLiteral("Pagamento"), defaults));
    defaultsRow->addWidget(ComboBoxPagamentos);
    defaultsRow->addWidget(new QLabel(QStringLiteral("Retorno"), defaults));
    defaultsRow->addWidget(ComboBoxRetorno);
    defaults->hide();
    column->addWidget(PanelMenu);

    // Sign-in panel.
    PanelLogin = new QFrame(Panel2);
    PanelLogin->setObjectName(QStringLiteral("PanelLogin"));
    PanelLogin->setFixedHeight(loginPanelHeight);
    auto *login = new QVBoxLayout(PanelLogin);
    login->setContentsMargins(0, 24, 0, 0);
    login->setSpacing(6);
    auto *title = centredLabel(QStringLiteral("Entre com sua conta"), PanelLogin);
    title->setProperty("role", QStringLiteral("title"));
    login->addWidget(title);
    LabelErro = centredLabel(QString(), PanelLogin, "LabelErro");
    LabelErro->setWordWrap(true);
    LabelErro->setMinimumHeight(36);
    login->addWidget(LabelErro);

    auto *fields = new QVBoxLayout;
    fields->setSpacing(6);
    auto addField = [&](const QString &caption, QLineEdit *&edit, const char *name) {
        fields->addWidget(new QLabel(caption, PanelLogin));
        edit = new QLineEdit(PanelLogin);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setFixedWidth(340);
        edit->installEventFilter(this);
        fields->addWidget(edit);
        fields->addSpacing(8);
    };
    addField(QStringLiteral("Digite seu email"), EditEmail, "EditEmail");
    addField(QStringLiteral("Digite sua senha"), EditSenha, "EditSenha");
    EditSenha->setEchoMode(QLineEdit::Password);
    CheckBoxAutoConect = new QCheckBox(QStringLiteral(" Continuar conectado"), PanelLogin);
    CheckBoxAutoConect->setObjectName(QStringLiteral("CheckBoxAutoConect"));
    fields->addWidget(CheckBoxAutoConect);
    fields->addSpacing(12);
    Button4 = new QPushButton(QStringLiteral("ENTRAR"), PanelLogin);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setFixedSize(340, 41);
    Button4->setCursor(Qt::PointingHandCursor);
    connect(Button4, &QPushButton::clicked, this, &TMainForm::Button4Click);
    fields->addWidget(Button4);
    auto *centring = new QHBoxLayout;
    centring->addStretch();
    centring->addLayout(fields);
    centring->addStretch();
    login->addLayout(centring);
    login->addStretch();
    column->addWidget(PanelLogin);
    ComboBoxAgendar->installEventFilter(this);

    // Order panel: notices, the marketplace button, the count line and the cards.
    PanelPedidos = new QFrame(Panel2);
    PanelPedidos->setObjectName(QStringLiteral("PanelPedidos"));
    auto *orders = new QVBoxLayout(PanelPedidos);
    orders->setContentsMargins(6, 10, 6, 4);
    orders->setSpacing(4);
    LabelAvisos = centredLabel(QStringLiteral("Avisos"), PanelPedidos, "LabelAvisos");
    LabelAvisos->setWordWrap(true);
    LabelAvisos->hide();
    orders->addWidget(LabelAvisos);
    auto *ordersHeader = new QHBoxLayout;
    SpeedButton2 = new QPushButton(QStringLiteral("🔧 Configurar aiqfome"), PanelPedidos);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setCursor(Qt::PointingHandCursor);
    Label6PEDIDOS = centredLabel(QStringLiteral("CALCULANDO PEDIDOS"), PanelPedidos, "Label6PEDIDOS");
    ordersHeader->addWidget(SpeedButton2);
    ordersHeader->addWidget(Label6PEDIDOS, 1);
    ordersHeader->addSpacing(SpeedButton2->sizeHint().width());
    orders->addLayout(ordersHeader);
    ordersLayout_ = orders;
    column->addWidget(PanelPedidos, 1);
    column->addStretch(0);

    setCentralWidget(Panel2);

    connect(SpeedButton5, &QToolButton::clicked, this, &TMainForm::SpeedButton5Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TMainForm::SpeedButton2Click);
    connect(CheckBoxRebimentoAutomatico, &QCheckBox::clicked, this,
            &TMainForm::CheckBoxRebimentoAutomaticoClick);
    connect(ComboBoxAgendar, &QLineEdit::textChanged, this, &TMainForm::ComboBoxAgendarChange);
    connect(ComboBoxCategorias, &QComboBox::activated, this, &TMainForm::ComboBoxCategoriasChange);
    connect(ComboBoxPagamentos, &QComboBox::activated, this, &TMainForm::ComboBoxPagamentosChange);
    connect(ComboBoxRetorno, &QComboBox::activated, this, &TMainForm::ComboBoxPagamentosChange);

    // Status bar: the countdown and the activity of the background cycle.
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(31);
    statusBar()->setSizeGripEnabled(false);
    StatusPanel0 = centredLabel(QString(), statusBar(), "StatusPanel0");
    StatusPanel0->setFixedWidth(statusPanel0Width);
    StatusPanel1 = centredLabel(QString(), statusBar(), "StatusPanel1");
    StatusPanel1->setFixedWidth(statusPanel1Width);
    // The countdown's longest text must fit its 200 pixels whatever the system's font is.
    const QFont statusFont = fittingFont(statusBar()->font(), countdownText(30), statusPanel0Width - 8);
    StatusPanel0->setFont(statusFont);
    StatusPanel1->setFont(statusFont);
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1);
}

void TMainForm::createTimers()
{
    TimerLogin = makeTimer(this, "TimerLogin", 1, true);
    TimerLoginAutomatico = makeTimer(this, "TimerLoginAutomatico", 500, false);
    TimerPedidos = makeTimer(this, "TimerPedidos", 500, true);
    TimerDelivery = makeTimer(this, "TimerDelivery", 1000, true);
    TimerCountDelivery = makeTimer(this, "TimerCountDelivery", 1000, false);
    TimerCadastroEntrega = makeTimer(this, "TimerCadastroEntrega", 500, false);
    TimerVersao = makeTimer(this, "TimerVersao", 1000, true);
    connect(TimerLogin, &QTimer::timeout, this, &TMainForm::TimerLoginTimer);
    connect(TimerLoginAutomatico, &QTimer::timeout, this, &TMainForm::TimerLoginAutomaticoTimer);
    connect(TimerPedidos, &QTimer::timeout, this, &TMainForm::TimerPedidosTimer);
    connect(TimerDelivery, &QTimer::timeout, this, &TMainForm::TimerDeliveryTimer);
    connect(TimerCountDelivery, &QTimer::timeout, this, &TMainForm::TimerCountDeliveryTimer);
    connect(TimerCadastroEntrega, &QTimer::timeout, this, &TMainForm::TimerCadastroEntregaTimer);
    connect(TimerVersao, &QTimer::timeout, this, &TMainForm::TimerVersaoTimer);
}

void TMainForm::VariaveisPadrao()
{
    QString error;
    if (!FDConnection.open(folder_.database(), &error)) {
        messages_.showMessage(this, QStringLiteral("Erro: Avise o Suporte") + error);
        platform_.startScriptDetached(folder_.supportScript());
    }
    vpEmpresa = QStringLiteral("Trevant");
    vpUrlEmpresa = QString::fromUtf8(config::courierWebUrl) + QStringLiteral("/solicitacao/gestaoPedido");
    vpTokenMachine = QString::fromUtf8(config::courierApiKey);
    vpIndexLogo = picture::trevant;
}

void TMainForm::RegistraInicioAutomatico()
{
    platform_.registerAutostart(folder_.path());
}

void TMainForm::FormCreate()
{
    VariaveisPadrao();
    RegistraInicioAutomatico();
    vLogado = false;
    Logado(false);
    VirtualImage1->setPosition(vpIndexLogo);
    setWindowTitle(vpEmpresa + QStringLiteral(" - v5.6.0"));
}

void TMainForm::Logado(bool V)
{
    if (checkRunner_)
        checkRunner_->setSignedIn(V);
    PanelLogin->setFixedHeight(V ? 1 : loginPanelHeight);
    PanelLogin->setVisible(!V);
    PanelPedidos->setVisible(V);
    PanelMenu->setVisible(V);
    SpeedButton5->setVisible(V);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    if (!FDConnection.isOpen()) {
        QString error;
        if (!FDConnection.open(folder_.database(), &error)) {
            messages_.showMessage(this, error);
            return;
        }
    }
    TimerPedidos->start();
    try {
        const ResultSet empresa = FDConnection.query("SELECT * FROM EMPRESA");
        if (!empresa.isEmpty() && empresa.text(0, u"AUTOCONNECT") == QStringLiteral("S")) {
            EditEmail->setText(empresa.text(0, u"EMAIL"));
            EditSenha->setText(empresa.text(0, u"SENHA"));
            CheckBoxAutoConect->setChecked(true);
            TimerLoginAutomatico->start();
        } else {
            EditEmail->clear();
            EditSenha->clear();
            CheckBoxAutoConect->setChecked(true);
            EditEmail->setFocus();
        }
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::FormResize()
{
    const QSize outer = frameGeometry().size();
    const QSize frame = outer - size();
    if (outer.width() < smallestWidth || outer.height() < smallestHeight)
        resize(QSize(std::max(outer.width(), smallestWidth), std::max(outer.height(), smallestHeight)) -
               frame);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress &&
        (watched == EditEmail || watched == EditSenha || watched == ComboBoxAgendar)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            Button4Click();
    }
    // The key is not swallowed: the box still receives it.
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::Button4Click()
{
    // Enter in the minutes box can arrive while a sign-in is still waiting for the platform.
    if (signingIn_)
        return;
    signingIn_ = true;
    LabelErro->clear();
    if (EditEmail->text().isEmpty() && EditSenha->text().isEmpty()) {
        LabelErro->setText(QStringLiteral("Usuário e/ou senhas inválidos."));
        signingIn_ = false;
        return;
    }
    setConnecting(true);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QString result = CourierClient(courierSettings)
                               .ConsultaEmpresa(vpTokenMachine, EditEmail->text(), EditSenha->text(),
                                                FDConnection, CheckBoxAutoConect->isChecked());
    QCoreApplication::processEvents();
    if (result != QStringLiteral("TRUE")) {
        LabelErro->setText(result);
        platform_.bringToFront(windowHandle());
    } else {
        enterSignedIn();
    }
    setConnecting(false);
    signingIn_ = false;
}

void TMainForm::setConnecting(bool connecting)
{
    Button4->setEnabled(!connecting);
    Button4->setText(connecting ? QStringLiteral("CONECTANDO") : QStringLiteral("ENTRAR"));
    EditEmail->setEnabled(!connecting);
    EditSenha->setEnabled(!connecting);
    CheckBoxAutoConect->setEnabled(!connecting);
}

void TMainForm::enterSignedIn()
{
    try {
        const ResultSet status = FDConnection.query("SELECT * FROM EMPRESA");
        if (status.isEmpty() || status.text(0, u"STATUS") != QStringLiteral("A")) {
            LabelErro->setText(QStringLiteral("Empresa inativada pela ") + vpEmpresa);
            platform_.bringToFront(windowHandle());
            return;
        }

        vLogado = true;
        board_->reopen();
        Logado(true);

        const ResultSet empresa = FDConnection.query("SELECT * FROM EMPRESA");
        LabelEmpresa->setText(empresa.text(0, u"NOME"));
        LabelCIDADE->setText(empresa.text(0, u"CIDADE") + QStringLiteral(" - ") + empresa.text(0, u"UF"));
        ComboBoxPagamentos->clear();
        ComboBoxPagamentos->addItems(
            PaymentTypes::namesForCodes(SepararLista(empresa.text(0, u"TIPOSPAGAMENTOS"))));
        ComboBoxPagamentos->setCurrentIndex(ComboBoxPagamentos->count() > 0 ? 0 : -1);
        ComboBoxCategorias->clear();
        ComboBoxCategorias->addItems(SepararLista(empresa.text(0, u"CATEGORIAS")));
        ComboBoxCategorias->setCurrentIndex(ComboBoxCategorias->count() > 0 ? 0 : -1);

        FDConnection.execute(" DELETE FROM PEDIDOS \n"
                             "WHERE DATAHORA < strftime('%Y-%m-%d %H:%M:%S', 'now', '-2 days')");
        showStoredSettings();

        if (!FDConnection.hasRow("SELECT * FROM CONFIGDELIVERY") && cadastroDelivery_)
            cadastroDelivery_->showModal();
        LabelErro->clear();
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TMainForm::showStoredSettings()
{
    const ResultSet settings = FDConnection.query("SELECT * FROM CONFIGURACAO");
    const bool stored = !settings.isEmpty();
    auto storedText = [&](QStringView column) { return stored ? settings.text(0, column) : QString(); };
    // A stored default the company no longer offers falls back to the first entry.
    auto select = [](QComboBox *list, const QString &text) {
        const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        list->setCurrentIndex(index >= 0 ? index : (list->count() > 0 ? 0 : -1));
    };

    showingSettings_ = true;
    select(ComboBoxCategorias, storedText(u"CATEGORIAPADRAO"));
    select(ComboBoxPagamentos, storedText(u"PAGAMENTOPADRAO"));
    const QString minutes = storedText(u"TEMPOAGENDAMENTO");
    ComboBoxAgendar->setText(minutes.isEmpty() ? QStringLiteral("60") : minutes);
    select(ComboBoxRetorno, storedText(u"RETORNOPADRAO"));
    CheckBoxRebimentoAutomatico->setChecked(stored && settings.integer(0, u"SOLICITACAOAUTOMATICO") == 1);
    showingSettings_ = false;
}

void TMainForm::GravaConfiguracao()
{
    const QString categoria = ComboBoxCategorias->currentText();
    const QString pagamento = ComboBoxPagamentos->currentText();
    const QString tempo = ComboBoxAgendar->text();
    const QString retorno = ComboBoxRetorno->currentText();
    const qint64 automatico = CheckBoxRebimentoAutomatico->isChecked() ? 1 : 0;
    try {
        // One transaction, so a failed insert never leaves the settings without a row.
        FDConnection.transaction([&] {
            FDConnection.execute("DELETE FROM CONFIGURACAO");
            FDConnection.execute(
                "INSERT INTO CONFIGURACAO (NOME,SOLICITACAOAUTOMATICO,TEMPOAGENDAMENTO,CATEGORIAPADRAO,"
                "PAGAMENTOPADRAO,RETORNOPADRAO) VALUES (:NOME,:SOLICITACAOAUTOMATICO,:TEMPOAGENDAMENTO,"
                ":CATEGORIAPADRAO,:PAGAMENTOPADRAO,:RETORNOPADRAO)",
                {{":NOME", QStringLiteral("PADRAO")},
                 {":SOLICITACAOAUTOMATICO", automatico},
                 {":TEMPOAGENDAMENTO", tempo},
                 {":CATEGORIAPADRAO", categoria},
                 {":PAGAMENTOPADRAO", pagamento},
                 {":RETORNOPADRAO", retorno}});
        });
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TMainForm::ComboBoxAgendarChange()
{
    const QString text = ComboBoxAgendar->text();
    if (text.isEmpty())
        return;
    bool whole = false;
    const int minutes = text.toInt(&whole);
    if (!whole) {
        messages_.showMessage(this, QStringLiteral("'%1' não é um valor inteiro válido").arg(text));
        return;
    }
    // A correction is itself a change: the rule runs again on the corrected text.
    if (minutes > 120) {
        ComboBoxAgendar->setText(QStringLiteral("120"));
        return;
    }
    if (minutes <= 0) {
        ComboBoxAgendar->setText(QStringLiteral("5"));
        return;
    }
    if (!showingSettings_)
        GravaConfiguracao();
}

void TMainForm::ComboBoxCategoriasChange()
{
    GravaConfiguracao();
}

void TMainForm::ComboBoxPagamentosChange()
{
    GravaConfiguracao();
}

void TMainForm::CheckBoxRebimentoAutomaticoClick()
{
    TimerPedidos->setInterval(1);
    TimerPedidos->start();
    GravaConfiguracao();
    PanelMenu->setFixedHeight(menuPanelHeight);
}

void TMainForm::SpeedButton5Click()
{
    if (!messages_.PerguntaComTempo(this, QStringLiteral("Deseja sair da conta? ")))
        return;
    vLogado = false;
    Logado(false);
    EditEmail->setFocus();
    EditSenha->clear();
    try {
        FDConnection.execute("DELETE FROM EMPRESA");
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TMainForm::SpeedButton2Click()
{
    if (cadastroDelivery_)
        cadastroDelivery_->showNotice(QString());
}

bool TMainForm::FormCloseQuery()
{
    return messages_.PerguntaComTempo(
        this, QStringLiteral("A integração irá para de funcionar! Deseja encerrar a aplicação? "));
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TMainForm::TimerLoginTimer()
{
    TimerLogin->stop();
    TimerLogin->setInterval(5000);
    Logado(vLogado);
    TimerLogin->start();
}

void TMainForm::TimerLoginAutomaticoTimer()
{
    TimerLoginAutomatico->stop();
    Button4Click();
}

void TMainForm::TimerPedidosTimer()
{
    board_->TimerPedidosTimer();
}

CheckRunner &TMainForm::checkRunner()
{
    // Made at the first check, so the settings in force then (tests point them at fakes) are used.
    if (!checkRunner_) {
        checkRunner_ = new CheckRunner(FDConnection, marketplaceSettings, courierSettings, clock_, this);
        checkRunner_->setSignedIn(vLogado);
        connect(checkRunner_, &CheckRunner::statusText, StatusPanel1, &QLabel::setText);
        connect(checkRunner_, &CheckRunner::noticeShown, this, [this](const QString &text) {
            LabelAvisos->setText(text);
            LabelAvisos->show();
        });
        connect(checkRunner_, &CheckRunner::noticeHidden, LabelAvisos, &QLabel::hide);
        connect(checkRunner_, &CheckRunner::credentialsRefused, this,
                [this] { TimerCadastroEntrega->start(); });
        connect(checkRunner_, &CheckRunner::paymentTypeMissing, this, &TMainForm::showPaymentMessage);
        connect(checkRunner_, &CheckRunner::finished, this, &TMainForm::checkFinished);
        // The switch and the lists count as they stand when the dispatch begins, not when the
        // check started: a check may wait on the marketplace for a while.
        checkRunner_->setDispatchSettingsSource([this] { return autoDispatchSettings(); });
    }
    return *checkRunner_;
}

bool TMainForm::checkRunning() const
{
    return checkRunner_ && checkRunner_->isRunning();
}

void TMainForm::TimerDeliveryTimer()
{
    // A tick while a check runs (an immediate check asked meanwhile) waits for its re-arming.
    if (checkRunning())
        return;
    TimerDelivery->stop();
    TimerCountDelivery->stop();
    TimerDelivery->setInterval(30000);
    if (ComboBoxAgendar->text().isEmpty())
        ComboBoxAgendar->setText(QStringLiteral("120"));
    if (!vLogado) {
        TimerDelivery->setInterval(5000);
        CountDelivery = 5;
        TimerCountDelivery->start();
        TimerDelivery->start();
        return;
    }
    ComboBoxAgendar->setEnabled(false);
    CheckInput input;
    input.statusPanelEmpty = StatusPanel1->text().isEmpty();
    input.courierKey = vpTokenMachine;
    input.dispatch = autoDispatchSettings();
    input.separators = RegionalSeparators::system();
    checkRunner().start(input);
}

AutoDispatchSettings TMainForm::autoDispatchSettings() const
{
    AutoDispatchSettings settings;
    settings.enabled = CheckBoxRebimentoAutomatico->isChecked();
    settings.minutes = ComboBoxAgendar->text();
    settings.payment = ComboBoxPagamentos->currentText();
    settings.category = ComboBoxCategorias->currentText();
    settings.returnChoice = ComboBoxRetorno->currentText();
    return settings;
}

void TMainForm::checkFinished()
{
    ComboBoxAgendar->setEnabled(true);
    CountDelivery = 30;
    TimerCountDelivery->start();
    // Keeps the interval it has now: 1 ms when the credentials dialog asked for a check meanwhile.
    TimerDelivery->start();
}

void TMainForm::showPaymentMessage(const QString &message)
{
    // The worker does not wait for the box, and a second one is not stacked over it.
    if (paymentMessageOpen_)
        return;
    paymentMessageOpen_ = true;
    messages_.showMessage(this, message);
    paymentMessageOpen_ = false;
}

void TMainForm::TimerCountDeliveryTimer()
{
    --CountDelivery;
    StatusPanel0->setText(countdownText(CountDelivery));
}

void TMainForm::TimerCadastroEntregaTimer()
{
    TimerCadastroEntrega->stop();
    platform_.bringToFront(windowHandle());
    if (cadastroDelivery_)
        cadastroDelivery_->showNotice(QStringLiteral("LOGIN E SENHA AIQFOME INCORRETO"));
}

void TMainForm::VirtualImage1Click()
{
    platform_.openWebPage(vpUrlEmpresa);
}

void TMainForm::VirtualImage2Click()
{
    platform_.openWebPage(QString::fromUtf8(config::marketplaceWebUrl) + QStringLiteral("/pedidos"));
}

void TMainForm::VirtualImage3Click()
{
    const std::optional<CurrentOrder> current = board_->currentOrder();
    if (!current || current->requestClickable != 1 || !entrega_)
        return;
    // Nothing changes under the dialog; when it closes the board refreshes at once.
    TimerPedidos->stop();
    TimerPedidos->setInterval(1);
    const OrderRow &order = current->order;
    OrderForDispatch dispatch;
    dispatch.id = order.ID;
    dispatch.orderNumber = order.IDPEDIDO;
    dispatch.timeLine = current->timeLine;
    dispatch.cliente = order.CLIENTE;
    dispatch.telefone = order.TELEFONE;
    dispatch.endereco = order.ENDERECO;
    dispatch.latitude = order.LATITUDE;
    dispatch.longitude = order.LONGITUDE;
    entrega_->openFor(dispatch);
}

bool TMainForm::VerificaSinalAbertura(const QString &signalFile, Platform &platform)
{
    if (!platform.fileExists(signalFile))
        return false;
    platform.removeFile(signalFile);
    return true;
}

void TMainForm::TimerVersaoTimer()
{
    TimerVersao->stop();
    if (signalCheck_)
        signalCheck_->wait();
    const QString signalFile = folder_.signalFile();
    Platform &platform = platform_;
    signalCheck_.reset(QThread::create([this, signalFile, &platform] {
        const bool signalled = VerificaSinalAbertura(signalFile, platform);
        // Queued to the window, so nothing runs on a window that is gone.
        QMetaObject::invokeMethod(
            this, [this, signalled] { signalCheckFinished(signalled); }, Qt::QueuedConnection);
    }));
    signalCheck_->start();
}

void TMainForm::signalCheckFinished(bool signalled)
{
    if (signalled)
        platform_.bringToFront(windowHandle());
    TimerVersao->start();
}

} // namespace brisfold

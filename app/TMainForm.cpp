#include "app/TMainForm.h"

#include "BuildConfig.h"
#include "alerts/CounterAlerts.h"
#include "alerts/TrayIcon.h"
#include "app/MinutesRule.h"
#include "board/OrderBoard.h"
#include "board/OrderGrid.h"
#include "common/BackgroundCall.h"
#include "courier/BracketedList.h"
#include "courier/PaymentTypes.h"
#include "cycle/CheckRunner.h"
#include "dispatch/TFEntrega.h"
#include "labels/LabelPrinting.h"
#include "marketplace/TFCadastroDelivery.h"
#include "platform/Platform.h"
#include "store/Connections.h"
#include "store/Database.h"
#include "supportlog/EventLog.h"
#include "ui/DigitsValidator.h"
#include "ui/MessageBoxes.h"
#include "ui/PictureView.h"
#include "ui/ScreenPlacement.h"

#include <QAction>
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
#include <QUrl>
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

TMainForm::TMainForm(Platform &platform, MessageBoxes &messages, Connections &database, const Clock &clock,
                     ProgramFolder folder, WebServices services, QWidget *parent)
    : QMainWindow(parent)
    , platform_(platform)
    , messages_(messages)
    , connections_(database)
    , database_(database.writer)
    , clock_(clock)
    , folder_(std::move(folder))
    , services_(std::move(services))
    , company_(database.writer)
    , boardSettings_(database.writer)
    , orders_(database.writer)
{
    setObjectName(QStringLiteral("MainForm"));
    buildLayout();
    createTimers();
    // The board reads through a connection of its own, so a commit being synced never holds it up.
    board_ = new OrderBoard(
        connections_.boardReader, Label6PEDIDOS, [this] { return vLogado_; },
        [this] { return CheckBoxRebimentoAutomatico->isChecked(); }, messages_, ImageCollection1,
        PanelPedidos, this);
    // On from the window's creation, like the other timers.
    board_->start();
    DBCtrlGrid1 = board_->grid();
    ordersLayout_->addWidget(DBCtrlGrid1, 1);
    // Keeps the count line at the top while the grid is hidden.
    ordersLayout_->addStretch(0);
    connect(board_, &OrderBoard::requestImageClicked, this, &TMainForm::VirtualImage3Click);
    connect(board_, &OrderBoard::marketplaceLogoClicked, this, &TMainForm::VirtualImage2Click);
    createCheckRunner();
    createAlerts();
    signIn_ = std::make_unique<BackgroundCall>();
    FormCreate();
    createDialogs();
}

TMainForm::~TMainForm() = default;

void TMainForm::JoiningDelete::operator()(QThread *thread) const
{
    thread->wait();
    delete thread;
}

void TMainForm::createDialogs()
{
    entrega_ = new TFEntrega(company_, orders_, services_.courier, vpTokenMachine, messages_, clock_, this);
    // Nothing changes under the dialog; when it closes the board refreshes at once.
    connect(entrega_, &TFEntrega::opened, board_, &OrderBoard::pause);
    connect(entrega_, &TFEntrega::closed, board_, &OrderBoard::resume);

    cadastroDelivery_ =
        new TFCadastroDelivery(MarketplaceCredentialsStore(database_), messages_, ImageCollection1, this);
    connect(cadastroDelivery_, &TFCadastroDelivery::credentialsSaved, this, &TMainForm::checkNow);
}

void TMainForm::createCheckRunner()
{
    checkRunner_ = std::make_unique<CheckRunner>(database_, services_.marketplace, services_.courier, clock_);
    connect(checkRunner_.get(), &CheckRunner::statusText, StatusPanel1, &QLabel::setText);
    connect(checkRunner_.get(), &CheckRunner::noticeShown, this, [this](const QString &text) {
        LabelAvisos->setText(text);
        LabelAvisos->show();
    });
    connect(checkRunner_.get(), &CheckRunner::noticeHidden, LabelAvisos, &QLabel::hide);
    connect(checkRunner_.get(), &CheckRunner::credentialsRefused, this,
            [this] { TimerCadastroEntrega->start(); });
    connect(checkRunner_.get(), &CheckRunner::paymentTypeMissing, this, &TMainForm::showPaymentMessage);
    connect(checkRunner_.get(), &CheckRunner::finished, this, &TMainForm::checkFinished);
    // The switch and the lists count as they stand when the dispatch begins, not when the
    // check started: a check may wait on the marketplace for a while.
    checkRunner_->setDispatchSettingsSource([this] { return autoDispatchSettings(); });
}

void TMainForm::createAlerts()
{
    alerts_ = new CounterAlerts(*this, platform_, messages_, database_, clock_, this);
    AlertCenter &center = alerts_->center();
    // The alerts only listen: every text and timer of the check stays as it is.
    connect(checkRunner_.get(), &CheckRunner::orderStored, &center, &AlertCenter::orderStored);
    connect(checkRunner_.get(), &CheckRunner::bookingFailed, &center, &AlertCenter::bookingFailed);
    connect(checkRunner_.get(), &CheckRunner::bookingOutcomeUnknown, &center,
            &AlertCenter::bookingOutcomeUnknown);
    connect(checkRunner_.get(), &CheckRunner::checkEnded, &center, &AlertCenter::checkEnded);
    connect(board_, &OrderBoard::countLineChanged, &center, &AlertCenter::setCountLine);
    connect(alerts_, &CounterAlerts::statusText, StatusPanel1, &QLabel::setText);
    // Sim to an unknown booking posts it now, with the board's settings as they stand.
    alerts_->setBookAgain([this](qint64 orderId) -> CounterAlerts::BookAgainJob {
        return [check = MarketplaceCheck(database_, services_.marketplace, services_.courier, clock_),
                orderId, key = vpTokenMachine, settings = autoDispatchSettings(),
                separators = RegionalSeparators::system()] {
            return check.bookAgain(orderId, key, settings, separators);
        };
    });
    // Labels: the card's menu, and the new orders of a check once it has ended.
    labelPrinting_ =
        new LabelPrinting(database_, messages_, *alerts_->tray().menu(), alerts_->tray().entriesEnd(), *this,
                          std::make_unique<LabelPrinters>(), this);
    connect(board_, &OrderBoard::printLabelRequested, labelPrinting_, &LabelPrinting::printOrder);
    connect(checkRunner_.get(), &CheckRunner::orderStored, labelPrinting_, &LabelPrinting::orderStored);
    connect(checkRunner_.get(), &CheckRunner::checkEnded, labelPrinting_, &LabelPrinting::checkEnded);
    // The support log's folder, in the system's file manager.
    auto *openLog = new QAction(QStringLiteral("Abrir registro"), alerts_);
    openLog->setObjectName(QStringLiteral("TrayAbrirRegistro"));
    connect(openLog, &QAction::triggered, this, [this] {
        platform_.openWebPage(QUrl::fromLocalFile(folder_.file(QStringLiteral("log"))).toString());
    });
    alerts_->tray().addEntry(openLog);
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
    TimerDelivery = makeTimer(this, "TimerDelivery", 1000, true);
    TimerCountDelivery = makeTimer(this, "TimerCountDelivery", 1000, false);
    TimerCadastroEntrega = makeTimer(this, "TimerCadastroEntrega", 500, false);
    TimerVersao = makeTimer(this, "TimerVersao", 1000, true);
    connect(TimerLogin, &QTimer::timeout, this, &TMainForm::TimerLoginTimer);
    connect(TimerLoginAutomatico, &QTimer::timeout, this, &TMainForm::TimerLoginAutomaticoTimer);
    connect(TimerDelivery, &QTimer::timeout, this, &TMainForm::TimerDeliveryTimer);
    connect(TimerCountDelivery, &QTimer::timeout, this, &TMainForm::TimerCountDeliveryTimer);
    connect(TimerCadastroEntrega, &QTimer::timeout, this, &TMainForm::TimerCadastroEntregaTimer);
    connect(TimerVersao, &QTimer::timeout, this, &TMainForm::TimerVersaoTimer);
}

void TMainForm::VariaveisPadrao()
{
    // The database was opened before the window, by the start sequence (openDatabase).
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
    vLogado_ = false;
    Logado(false);
    VirtualImage1->setPosition(vpIndexLogo);
    setWindowTitle(vpEmpresa + QStringLiteral(" - v5.6.0"));
}

void TMainForm::Logado(bool V)
{
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
    if (!connections_.isOpen()) {
        QString error;
        if (!connections_.open(folder_.database(), &error)) {
            messages_.showMessage(this, error);
            return;
        }
    }
    board_->start();
    try {
        const std::optional<CompanyProfile> stored = company_.read();
        if (stored && stored->AUTOCONNECT == QStringLiteral("S")) {
            EditEmail->setText(stored->EMAIL);
            EditSenha->setText(stored->SENHA);
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
    // The platform is asked on a worker, so the window keeps painting "CONECTANDO" and answers the
    // desktop meanwhile; the company row it stores goes through the database's own lock.
    signIn_->start(
        [courier = services_.courier, key = vpTokenMachine, email = EditEmail->text(),
         senha = EditSenha->text(), keep = CheckBoxAutoConect->isChecked(), &database = database_] {
            return CourierClient(courier).ConsultaEmpresa(key, email, senha, database, keep);
        },
        [this](const QString &result) { signInFinished(result); });
}

void TMainForm::signInFinished(const QString &result)
{
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
        const std::optional<CompanyProfile> status = company_.read();
        if (!status || status->STATUS != QStringLiteral("A")) {
            LabelErro->setText(QStringLiteral("Empresa inativada pela ") + vpEmpresa);
            platform_.bringToFront(windowHandle());
            return;
        }

        vLogado_ = true;
        eventlog::write(eventlog::signedIn(status->EMAIL));
        board_->reopen();
        Logado(true);

        const CompanyProfile empresa = company_.read().value_or(CompanyProfile{});
        LabelEmpresa->setText(empresa.NOME);
        LabelCIDADE->setText(empresa.CIDADE + QStringLiteral(" - ") + empresa.UF);
        ComboBoxPagamentos->clear();
        ComboBoxPagamentos->addItems(PaymentTypes::namesForCodes(SepararLista(empresa.TIPOSPAGAMENTOS)));
        ComboBoxPagamentos->setCurrentIndex(ComboBoxPagamentos->count() > 0 ? 0 : -1);
        ComboBoxCategorias->clear();
        ComboBoxCategorias->addItems(SepararLista(empresa.CATEGORIAS));
        ComboBoxCategorias->setCurrentIndex(ComboBoxCategorias->count() > 0 ? 0 : -1);

        orders_.purgeOld();
        showStoredSettings();

        if (!MarketplaceCredentialsStore(database_).any())
            cadastroDelivery_->showModal();
        LabelErro->clear();
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TMainForm::showStoredSettings()
{
    const BoardSettings stored = boardSettings_.read();
    // A stored default the company no longer offers falls back to the first entry.
    auto select = [](QComboBox *list, const QString &text) {
        const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        list->setCurrentIndex(index >= 0 ? index : (list->count() > 0 ? 0 : -1));
    };

    showingSettings_ = true;
    select(ComboBoxCategorias, stored.category);
    select(ComboBoxPagamentos, stored.payment);
    ComboBoxAgendar->setText(stored.minutes.isEmpty() ? QStringLiteral("60") : stored.minutes);
    select(ComboBoxRetorno, stored.returnChoice);
    CheckBoxRebimentoAutomatico->setChecked(stored.enabled);
    showingSettings_ = false;
}

void TMainForm::GravaConfiguracao()
{
    try {
        const AutoDispatchSettings before = boardSettings_.read();
        const AutoDispatchSettings after = autoDispatchSettings();
        boardSettings_.save(after);
        logSettingChanges(before, after);
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TMainForm::logSettingChanges(const AutoDispatchSettings &before, const AutoDispatchSettings &after)
{
    const auto onOff = [](bool on) { return on ? QStringLiteral("ligado") : QStringLiteral("desligado"); };
    const std::pair<QString, std::pair<QString, QString>> settings[] = {
        {QStringLiteral("agendamento automático"), {onOff(before.enabled), onOff(after.enabled)}},
        {QStringLiteral("minutos"), {before.minutes, after.minutes}},
        {QStringLiteral("pagamento"), {before.payment, after.payment}},
        {QStringLiteral("categoria"), {before.category, after.category}},
        {QStringLiteral("retorno"), {before.returnChoice, after.returnChoice}},
    };
    for (const auto &[name, values] : settings) {
        if (values.first != values.second)
            eventlog::write(eventlog::settingChanged(name, values.first, values.second));
    }
}

void TMainForm::ComboBoxAgendarChange()
{
    const MinutesCheck check = checkMinutes(ComboBoxAgendar->text());
    switch (check.outcome) {
    case MinutesCheck::Outcome::Empty:
        return;
    case MinutesCheck::Outcome::NotWhole:
        messages_.showMessage(this, check.text);
        return;
    case MinutesCheck::Outcome::Corrected:
        // A correction is itself a change: the rule runs again on the corrected text.
        ComboBoxAgendar->setText(check.text);
        return;
    case MinutesCheck::Outcome::InRange:
        if (!showingSettings_)
            GravaConfiguracao();
        return;
    }
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
    // The cards change their pictures with the switch.
    board_->resume();
    GravaConfiguracao();
    PanelMenu->setFixedHeight(menuPanelHeight);
}

void TMainForm::SpeedButton5Click()
{
    if (!messages_.PerguntaComTempo(this, QStringLiteral("Deseja sair da conta? ")))
        return;
    eventlog::write(eventlog::signedOut(EditEmail->text()));
    vLogado_ = false;
    Logado(false);
    EditEmail->setFocus();
    EditSenha->clear();
    try {
        company_.clear();
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TMainForm::SpeedButton2Click()
{
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
    Logado(vLogado_);
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

bool TMainForm::checkRunning() const
{
    return checkRunner_->isRunning();
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
    if (!vLogado_) {
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
    checkRunner_->start(input);
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

void TMainForm::showStatusNotice(const QString &text)
{
    StatusPanel1->setText(text);
}

void TMainForm::checkNow()
{
    TimerDelivery->setInterval(1);
    TimerDelivery->start();
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
    if (!current || current->requestClickable != 1)
        return;
    const OrderRow &row = current->order;
    DispatchOrder order;
    order.ID = row.ID;
    order.IDPEDIDO = row.IDPEDIDO;
    order.CLIENTE = row.CLIENTE;
    order.TELEFONE = row.TELEFONE;
    order.ENDERECO = row.ENDERECO;
    order.LATITUDE = row.LATITUDE;
    order.LONGITUDE = row.LONGITUDE;
    // The dialog reports its opening and closing: the board holds still meanwhile.
    entrega_->openFor(order, current->timeLine);
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

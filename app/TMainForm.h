#pragma once

#include "app/ProgramFolder.h"
#include "courier/CourierClient.h"
#include "cycle/MarketplaceCheck.h"
#include "marketplace/MarketplaceClient.h"
#include "store/BoardSettingsStore.h"
#include "store/CompanyStore.h"
#include "store/OrderStore.h"
#include "ui/ImageCollection.h"

#include <QMainWindow>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace brisfold {

class BackgroundCall;
class CheckRunner;
class CounterAlerts;
class LabelPrinting;
class Clock;
class Database;
struct Connections;
class MessageBoxes;
class OrderBoard;
class OrderGrid;
class PictureView;
class Platform;
class TFCadastroDelivery;
class TFEntrega;

// Where the courier platform and the marketplace are reached: the build's settings unless a
// test points them at fakes.
struct WebServices
{
    CourierSettings courier = CourierSettings::fromBuild();
    MarketplaceSettings marketplace = MarketplaceSettings::fromBuild();
};

// The program's one long-lived window: the sign-in panel while signed out, the menu and the
// order board while signed in. It owns every timer and the two dialogs; the database connection,
// the clock and the services it reaches are lent to it and outlive it.
class TMainForm final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainForm)

public:
    TMainForm(Platform &platform, MessageBoxes &messages, Connections &database, const Clock &clock,
              ProgramFolder folder, WebServices services = {}, QWidget *parent = nullptr);
    ~TMainForm() override;

    // The sign-in flag.
    bool vLogado() const { return vLogado_; }
    // Sets the flag alone, as a sign-in or sign-out would; the face follows at the next
    // TimerLogin tick, or at once with Logado().
    void setVLogado(bool signedIn) { vLogado_ = signedIn; }
    // Shows the face that belongs to `V`.
    void Logado(bool V);
    // Asks the closing question; true when the window may close.
    bool FormCloseQuery();
    // True while a marketplace check runs on its worker.
    bool checkRunning() const;
    // A notice in the second status-bar panel, as the checks give theirs.
    void showStatusNotice(const QString &text);

public slots:
    void TimerLoginTimer();
    void TimerLoginAutomaticoTimer();
    void TimerPedidosTimer();
    void TimerDeliveryTimer();
    void TimerCountDeliveryTimer();
    void TimerCadastroEntregaTimer();
    void TimerVersaoTimer();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // The "ENTRAR" action.
    void Button4Click();
    void SpeedButton5Click();
    void SpeedButton2Click();
    void CheckBoxRebimentoAutomaticoClick();
    void ComboBoxAgendarChange();
    void ComboBoxCategoriasChange();
    void ComboBoxPagamentosChange();
    // Card and header clicks.
    void VirtualImage1Click();
    void VirtualImage2Click();
    void VirtualImage3Click();

private:
    // Waits for a thread before deleting it, since a running QThread must not be destroyed.
    struct JoiningDelete
    {
        void operator()(QThread *thread) const;
    };

    void buildLayout();
    void createTimers();
    void createDialogs();
    void createCheckRunner();
    void createAlerts();
    void FormCreate();
    void VariaveisPadrao();
    void RegistraInicioAutomatico();
    void FormShow();
    void FormResize();
    void GravaConfiguracao();
    void logSettingChanges(const AutoDispatchSettings &before, const AutoDispatchSettings &after);
    void setConnecting(bool connecting);
    // The platform's answer to the sign-in, back on the UI thread.
    void signInFinished(const QString &result);
    // The signed-in face after the platform accepted the sign-in; refused when the company is
    // inactive.
    void enterSignedIn();
    void showStoredSettings();
    // The board's automatic-dispatch switch and defaults as they stand now.
    AutoDispatchSettings autoDispatchSettings() const;
    // The credentials dialog saved: the next marketplace check runs at once.
    void checkNow();
    void checkFinished();
    void showPaymentMessage(const QString &message);
    // Runs on a short-lived worker thread: consumes the second-start signal file.
    static bool VerificaSinalAbertura(const QString &signalFile, Platform &platform);
    void signalCheckFinished(bool signalled);

    Platform &platform_;
    MessageBoxes &messages_;
    Connections &connections_;
    // The writing connection, which every window and worker uses.
    Database &database_;
    const Clock &clock_;
    const ProgramFolder folder_;
    const WebServices services_;
    CompanyStore company_;
    BoardSettingsStore boardSettings_;
    OrderStore orders_;
    ImageCollection ImageCollection1;

    bool vLogado_ = false;
    QString vpEmpresa;
    QString vpUrlEmpresa;
    QString vpTokenMachine;
    int vpIndexLogo = 0;
    // Seconds shown until the next marketplace check.
    int CountDelivery = 0;
    bool shown_ = false;
    bool signingIn_ = false;
    bool showingSettings_ = false; // settings shown from the database are no change by the user
    bool paymentMessageOpen_ = false;

    // Elements, by the names the rest of the program gives them (also their object names).
    PictureView *VirtualImage1 = nullptr;
    QToolButton *SpeedButton5 = nullptr;
    QFrame *PanelMenu = nullptr;
    QFrame *PanelLogin = nullptr;
    QFrame *PanelPedidos = nullptr;
    QLabel *LabelEmpresa = nullptr;
    QLabel *LabelCIDADE = nullptr;
    QCheckBox *CheckBoxRebimentoAutomatico = nullptr;
    QLineEdit *ComboBoxAgendar = nullptr;
    QComboBox *ComboBoxCategorias = nullptr;
    QComboBox *ComboBoxPagamentos = nullptr;
    QComboBox *ComboBoxRetorno = nullptr;
    QLabel *LabelErro = nullptr;
    QLineEdit *EditEmail = nullptr;
    QLineEdit *EditSenha = nullptr;
    QCheckBox *CheckBoxAutoConect = nullptr;
    QPushButton *Button4 = nullptr;
    QLabel *LabelAvisos = nullptr;
    QPushButton *SpeedButton2 = nullptr;
    QLabel *Label6PEDIDOS = nullptr;
    OrderGrid *DBCtrlGrid1 = nullptr;
    QLabel *StatusPanel0 = nullptr;
    QLabel *StatusPanel1 = nullptr;
    QVBoxLayout *ordersLayout_ = nullptr;

    // `TimerPedidos` is the board's.
    QTimer *TimerLogin = nullptr;
    QTimer *TimerLoginAutomatico = nullptr;
    QTimer *TimerDelivery = nullptr;
    QTimer *TimerCountDelivery = nullptr;
    QTimer *TimerCadastroEntrega = nullptr;
    QTimer *TimerVersao = nullptr;

    OrderBoard *board_ = nullptr;
    TFEntrega *entrega_ = nullptr;
    TFCadastroDelivery *cadastroDelivery_ = nullptr;
    CounterAlerts *alerts_ = nullptr;
    LabelPrinting *labelPrinting_ = nullptr;

    // Declared last, so they end before anything they report to: members go before the
    // window's child widgets.
    std::unique_ptr<CheckRunner> checkRunner_;
    // The sign-in's call to the courier platform.
    std::unique_ptr<BackgroundCall> signIn_;
    std::unique_ptr<QThread, JoiningDelete> signalCheck_;
};

} // namespace brisfold

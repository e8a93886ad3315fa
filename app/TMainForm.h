#pragma once

#include "ui/ImageCollection.h"
#include "app/ProgramFolder.h"
#include "common/Clock.h"
#include "courier/CourierClient.h"
#include "cycle/MarketplaceCheck.h"
#include "marketplace/MarketplaceClient.h"
#include "store/Database.h"

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

class MessageBoxes;
class CheckRunner;
class OrderBoard;
class OrderGrid;
class Platform;
class PictureView;
class TFCadastroDelivery;
class TFEntrega;

// The program's one long-lived window: the sign-in panel while signed out, the menu and the
// order board while signed in. It owns the database connection and every timer.
class TMainForm final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainForm)

public:
    TMainForm(Platform &platform, MessageBoxes &messages, ProgramFolder folder, QWidget *parent = nullptr);
    ~TMainForm() override;

    // The two dialogs are created after this window and live as long as it does.
    void setDialogs(TFEntrega *entrega, TFCadastroDelivery *cadastroDelivery);

    void Logado(bool V);
    void VariaveisPadrao();
    void RegistraInicioAutomatico();
    void GravaConfiguracao();
    // Asks the closing question; true when the window may close.
    bool FormCloseQuery();

    Platform &platform() const { return platform_; }
    MessageBoxes &messages() const { return messages_; }
    const ProgramFolder &folder() const { return folder_; }
    const ImageCollection &images() const { return ImageCollection1; }
    // True while a marketplace check runs on its worker.
    bool checkRunning() const;
    OrderBoard &board() const { return *board_; }

    // Fields that the other windows and the background cycle read.
    bool vLogado = false;
    QString vpEmpresa;
    QString vpUrlEmpresa;
    QString vpTokenMachine;
    int vpIndexLogo = 0;

    // Where the courier platform is reached; tests point it at a fake.
    CourierSettings courierSettings = CourierSettings::fromBuild();
    MarketplaceSettings marketplaceSettings = MarketplaceSettings::fromBuild();
    // Seconds shown until the next marketplace check.
    int CountDelivery = 0;

    Database FDConnection;
    ImageCollection ImageCollection1;

    // Elements named as the rest of the program refers to them.
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

    QTimer *TimerLogin = nullptr;
    QTimer *TimerLoginAutomatico = nullptr;
    QTimer *TimerPedidos = nullptr;
    QTimer *TimerDelivery = nullptr;
    QTimer *TimerCountDelivery = nullptr;
    QTimer *TimerCadastroEntrega = nullptr;
    QTimer *TimerVersao = nullptr;

public slots:
    // The "ENTRAR" action.
    void Button4Click();

    void TimerLoginTimer();
    void TimerLoginAutomaticoTimer();
    void TimerPedidosTimer();
    void TimerDeliveryTimer();
    void TimerCountDeliveryTimer();
    void TimerCadastroEntregaTimer();
    void TimerVersaoTimer();

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

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    void createTimers();
    void FormCreate();
    void FormShow();
    void FormResize();
    void setConnecting(bool connecting);
    // The signed-in face after the platform accepted the sign-in; false when the company is inactive.
    void enterSignedIn();
    void showStoredSettings();
    CheckRunner &checkRunner();
    void checkFinished();
    // The board's automatic-dispatch switch and defaults as they stand now.
    AutoDispatchSettings autoDispatchSettings() const;
    void showPaymentMessage(const QString &message);
    // Runs on a short-lived worker thread: consumes the second-start signal file.
    static bool VerificaSinalAbertura(const QString &signalFile, Platform &platform);
    void signalCheckFinished(bool signalled);

    Platform &platform_;
    MessageBoxes &messages_;
    ProgramFolder folder_;
    TFEntrega *entrega_ = nullptr;
    TFCadastroDelivery *cadastroDelivery_ = nullptr;
    OrderBoard *board_ = nullptr;
    CheckRunner *checkRunner_ = nullptr;
    SystemClock clock_;
    bool paymentMessageOpen_ = false;
    QVBoxLayout *ordersLayout_ = nullptr;
    bool shown_ = false;
    bool signingIn_ = false;
    bool showingSettings_ = false; // settings shown from the database are no change by the user
    std::unique_ptr<QThread> signalCheck_;
};

} // namespace brisfold

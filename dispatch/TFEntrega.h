#pragma once

#include "courier/CourierClient.h"
#include "store/CompanyStore.h"
#include "store/OrderStore.h"

#include <QDialog>
#include <QString>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace brisfold {

class BackgroundCall;
class Clock;
class DispatchClaim;
class MessageBoxes;

// The dialog in which the user books a courier for one order, or marks it delivered. It reads
// and marks orders through the stores it is given and reports its opening and closing, so the
// board can hold still meanwhile.
class TFEntrega final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFEntrega)

public:
    // `courierKey` is the integration key every courier-platform call sends.
    TFEntrega(CompanyStore company, OrderStore orders, CourierSettings courier, QString courierKey,
              MessageBoxes &messages, const Clock &clock, QWidget *parent = nullptr);
    ~TFEntrega() override;

    // Takes `order` for the next showing, with the card's time line (pictograph included).
    void load(const DispatchOrder &order, const QString &timeLine);
    // load(), then shows the dialog modally; returns when it has closed.
    void openFor(const DispatchOrder &order, const QString &timeLine);

signals:
    // Shown by the program (not a restore from the minimised state).
    void opened();
    // Closed by any route: a button, the close box or Escape.
    void closed();

public slots:
    void EstimaEntrega();
    void Button4Click();
    void Button1Click();
    void done(int result) override;
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class ClaimOutcome
    {
        Book,     // post now, under this claim
        AskAgain, // the user agreed to a mark: take the claim anew and look again
        Stop,
    };

    void FormShow();
    void FormClose();
    void ComboBoxCategoriasChange();
    void ComboBoxPagamentosChange();
    void ComboBoxRetornoChange();
    // What the claim found says about posting the order; may ask the user.
    ClaimOutcome consider(DispatchClaim &claim, QString &agreedMark, bool &agreedUnknown);
    // Posts the booking and writes its mark on the worker, keeping the claim until then.
    void book(std::shared_ptr<DispatchClaim> claim, const QString &paymentCode);
    // The platform's answers, back on the UI thread.
    void estimateFinished(const QString &result, qint64 orderId);
    void showEstimate(const QString &result);
    void bookingFinished(const QString &result, const QString &markError);
    // Buttons off while the platform is asked.
    void setCalling(bool calling);

    CompanyStore companyStore_;
    OrderStore orders_;
    CourierSettings courier_;
    QString courierKey_;
    MessageBoxes &messages_;
    const Clock &clock_;

    DispatchOrder order_;
    // EMPRESA as read at the showing and before every estimate; the booking sends these values.
    CompanyProfile company_;
    bool filling_ = false;       // rebuilding the lists is no change by the user
    bool estimateAgain_ = false; // a list changed while an estimate was running
    bool booking_ = false;       // a booking is with the platform

    QLabel *Label_IDPEDIDO = nullptr;
    QLabel *LabelDATAHORA = nullptr;
    QLabel *Label6CLIENTE = nullptr;
    QLabel *LabelENDERECO = nullptr;
    QComboBox *ComboBoxCategorias = nullptr;
    QComboBox *ComboBoxPagamentos = nullptr;
    QComboBox *ComboBoxAgendar = nullptr;
    QComboBox *ComboBoxRetorno = nullptr;
    QLabel *Label1 = nullptr; // the fee
    QPushButton *Button1 = nullptr;
    QPushButton *Button4 = nullptr;

    // The estimate's and the booking's calls to the platform, one at a time; declared last, so
    // it waits for its worker before the rest of the dialog goes.
    std::unique_ptr<BackgroundCall> call_;
};

} // namespace brisfold

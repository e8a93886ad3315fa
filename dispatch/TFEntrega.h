#pragma once

#include "store/Database.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;

namespace brisfold {

class Clock;
class TMainForm;

// One order as the board hands it to the dispatch dialog; texts as stored, null as empty.
struct OrderForDispatch
{
    qint64 id = 0;       // PEDIDOS.ID
    QString orderNumber; // PEDIDOS.IDPEDIDO, the marketplace's number
    QString timeLine;    // the card's time line, pictograph included
    QString cliente;
    QString telefone;
    QString endereco;
    QString latitude;
    QString longitude;
};

// The dialog in which the user books a courier for one order, or marks it delivered.
class TFEntrega final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFEntrega)

public:
    explicit TFEntrega(TMainForm &mainForm);

    // Fills the caller's fields from `order`, stops the board refresh and shows the dialog
    // modally; returns when it has closed, the refresh switched on again.
    void openFor(const OrderForDispatch &order);

    // Where the schedule's "now" comes from; the system clock unless set. Not owned.
    void setClock(const Clock *clock);

    // Filled by the caller before showing.
    qint64 ID = 0;
    QString IDPEDIDO; // "aiqfome " and the marketplace's number
    QString CLIENTE;
    QString TELEFONE;
    QString ENDERECO;
    QString LAT;
    QString LNG;

    // Read from EMPRESA on every showing and every estimate.
    QString EMPRESA_EMAIL;
    QString EMPRESA_SENHA;
    QString EMPRESA_IDMACHINE;
    QString EMPRESA_ENDERECO;
    QString EMPRESA_BAIRRO;
    QString EMPRESA_CIDADE;
    QString EMPRESA_UF;
    QString EMPRESA_CEP;
    QString EMPRESA_LAT;
    QString EMPRESA_LNG;

    QLabel *Label_IDPEDIDO = nullptr;
    QLabel *LabelDATAHORA = nullptr; // its caption is set by the caller
    QLabel *Label6CLIENTE = nullptr;
    QLabel *LabelENDERECO = nullptr;
    QComboBox *ComboBoxCategorias = nullptr;
    QComboBox *ComboBoxPagamentos = nullptr;
    QComboBox *ComboBoxAgendar = nullptr;
    QComboBox *ComboBoxRetorno = nullptr;
    QLabel *Label1 = nullptr; // the fee
    QPushButton *Button1 = nullptr;
    QPushButton *Button4 = nullptr;

public slots:
    void EstimaEntrega();
    void Button4Click();
    void Button1Click();
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void FormClose();
    void ComboBoxCategoriasChange();
    void ComboBoxPagamentosChange();
    void ComboBoxRetornoChange();
    // Copies the EMPRESA row into the EMPRESA_ fields and returns it.
    ResultSet loadCompany();

    TMainForm &mainForm_;
    const Clock *clock_ = nullptr;
    bool filling_ = false; // rebuilding the lists is no change by the user
};

} // namespace brisfold

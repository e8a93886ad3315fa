#pragma once

#include "store/MarketplaceCredentialsStore.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brisfold {

class ImageCollection;
class MessageBoxes;
class PictureView;

// The dialog that keeps the marketplace credentials in the first row of CONFIGDELIVERY.
class TFCadastroDelivery final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFCadastroDelivery)

public:
    TFCadastroDelivery(MarketplaceCredentialsStore credentials, MessageBoxes &messages,
                       const ImageCollection &images, QWidget *parent = nullptr);

    // Shows the dialog without blocking the main window; already visible, it only comes to
    // the front and keeps what was typed.
    void showNotice(const QString &notice);
    // Shows the dialog modally and returns when it has closed.
    void showModal();

signals:
    // The credentials were stored; the next marketplace check should run at once.
    void credentialsSaved();

public slots:
    void Button4Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();

    MarketplaceCredentialsStore credentials_;
    MessageBoxes &messages_;
    qint64 rowId_ = -1; // the row being edited: the table's first

    QLabel *Label3 = nullptr;
    PictureView *Logo = nullptr;
    QLineEdit *EditLogin = nullptr;
    QLineEdit *EditSenha = nullptr;
    QPushButton *Button4 = nullptr;
};

} // namespace brisfold

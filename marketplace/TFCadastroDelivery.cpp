#include "marketplace/TFCadastroDelivery.h"

#include "resources/PictureIds.h"
#include "store/Database.h"
#include "supportlog/EventLog.h"
#include "ui/MessageBoxes.h"
#include "ui/PictureView.h"
#include "ui/ScreenPlacement.h"

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace brisfold {

TFCadastroDelivery::TFCadastroDelivery(MarketplaceCredentialsStore credentials, MessageBoxes &messages,
                                       const ImageCollection &images, QWidget *parent)
    // A close box only: no minimise, maximise or help button.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , credentials_(credentials)
    , messages_(messages)
{
    setObjectName(QStringLiteral("FCadastroDelivery"));
    setWindowTitle(QStringLiteral("Cadastro"));
    setFixedSize(400, 420);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(30, 18, 30, 22);
    column->setSpacing(6);
    auto *title = new QLabel(QStringLiteral("CADASTRAR INTEGRAÇÃO"), this);
    title->setAlignment(Qt::AlignCenter);
    title->setProperty("role", QStringLiteral("title"));
    column->addWidget(title);
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setWordWrap(true);
    Label3->setMinimumHeight(22);
    column->addWidget(Label3);
    Logo = new PictureView(images, picture::aiqfome, this);
    Logo->setObjectName(QStringLiteral("VirtualImage1"));
    Logo->setFixedHeight(110);
    column->addWidget(Logo);
    column->addSpacing(8);
    column->addWidget(new QLabel(QStringLiteral("Usuario"), this));
    EditLogin = new QLineEdit(this);
    EditLogin->setObjectName(QStringLiteral("EditLogin"));
    column->addWidget(EditLogin);
    column->addWidget(new QLabel(QStringLiteral("Senha"), this));
    EditSenha = new QLineEdit(this); // shown as typed, so it can be checked against the marketplace's
    EditSenha->setObjectName(QStringLiteral("EditSenha"));
    column->addWidget(EditSenha);
    column->addSpacing(14);
    Button4 = new QPushButton(QStringLiteral("SALVAR"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setMinimumHeight(41);
    Button4->setCursor(Qt::PointingHandCursor);
    Button4->setDefault(true);
    connect(Button4, &QPushButton::clicked, this, &TFCadastroDelivery::Button4Click);
    column->addWidget(Button4);
    column->addStretch();
}

void TFCadastroDelivery::showNotice(const QString &notice)
{
    Label3->setText(notice);
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    setModal(false);
    show();
}

void TFCadastroDelivery::showModal()
{
    if (!isVisible()) {
        exec();
        return;
    }
    // Already open without blocking: keep what was typed and wait for it to close.
    raise();
    activateWindow();
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

void TFCadastroDelivery::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // In the middle of the screen at every opening, not over the main window.
    if (!event->spontaneous())
        centreOnScreen(*this);
    FormShow();
}

void TFCadastroDelivery::FormShow()
{
    try {
        bool added = false;
        const MarketplaceCredentials row = credentials_.first(&added);
        rowId_ = row.ID;
        // A row just added for the cycle and for saving: the boxes keep what they hold.
        if (added)
            return;
        EditLogin->setText(row.LOGIN);
        EditSenha->setText(row.SENHA);
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
    }
}

void TFCadastroDelivery::Button4Click()
{
    try {
        credentials_.save(rowId_, EditLogin->text(), EditSenha->text());
    } catch (const DatabaseError &e) {
        messages_.showMessage(this, e.text());
        return;
    }
    eventlog::write(eventlog::credentialsSaved(EditLogin->text()));
    emit credentialsSaved();
    accept();
}

} // namespace brisfold

#include "marketplace/TFCadastroDelivery.h"

#include "ui/MessageBoxes.h"
#include "ui/PictureView.h"
#include "ui/ScreenPlacement.h"
#include "app/TMainForm.h"

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace brisfold {

namespace {

const char *firstRow = "SELECT * FROM CONFIGDELIVERY ORDER BY ID LIMIT 1";

} // namespace

TFCadastroDelivery::TFCadastroDelivery(TMainForm &mainForm)
    // A close box only: no minimise, maximise or help button.
    : QDialog(&mainForm,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , mainForm_(mainForm)
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
    Logo = new PictureView(mainForm.images(), picture::aiqfome, this);
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
        Database &db = mainForm_.FDConnection;
        ResultSet row = db.query(firstRow);
        if (row.isEmpty()) {
            // A row must exist for the cycle and for saving; the boxes keep what they hold.
            db.execute("INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,EMPRESA,LOGIN,SENHA,TOKEN,VALIDADE) "
                       "VALUES (NULL,NULL,NULL,NULL,NULL,NULL,NULL)");
            row = db.query(firstRow);
            rowId_ = row.integer(0, u"ID");
            return;
        }
        rowId_ = row.integer(0, u"ID");
        EditLogin->setText(row.text(0, u"LOGIN"));
        EditSenha->setText(row.text(0, u"SENHA"));
    } catch (const DatabaseError &e) {
        mainForm_.messages().showMessage(this, e.text());
    }
}

void TFCadastroDelivery::Button4Click()
{
    try {
        Database &db = mainForm_.FDConnection;
        // The row may have gone since the dialog was shown; then a new one takes its place.
        const int changed = db.execute("UPDATE CONFIGDELIVERY SET IDORIGEM = :IDORIGEM, ORIGEM = :ORIGEM, "
                                       "LOGIN = :LOGIN, SENHA = :SENHA WHERE ID = :ID",
                                       {{":IDORIGEM", qint64(1)},
                                        {":ORIGEM", QStringLiteral("AIQFOME")},
                                        {":LOGIN", EditLogin->text()},
                                        {":SENHA", EditSenha->text()},
                                        {":ID", rowId_}});
        if (changed == 0) {
            db.execute("INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES "
                       "(:IDORIGEM,:ORIGEM,:LOGIN,:SENHA)",
                       {{":IDORIGEM", qint64(1)},
                        {":ORIGEM", QStringLiteral("AIQFOME")},
                        {":LOGIN", EditLogin->text()},
                        {":SENHA", EditSenha->text()}});
        }
    } catch (const DatabaseError &e) {
        mainForm_.messages().showMessage(this, e.text());
        return;
    }
    mainForm_.TimerDelivery->setInterval(1);
    mainForm_.TimerDelivery->start();
    accept();
}

} // namespace brisfold

// Renders a board with five orders in both dispatch modes, with the program's theme, into PNG
// files that a person looks at.
#include "board/OrderBoard.h"
#include "board/OrderGrid.h"
#include "board/OrderListModel.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"
#include "ui/ImageCollection.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace brisfold;
using namespace brisfold::test;

namespace {

void addOrder(Database &db, const char *idPedido, const char *cliente, const char *endereco, const char *age,
              const char *mark)
{
    db.execute(
        "INSERT INTO PEDIDOS (ORIGEM, IDPEDIDO, CLIENTE, ENDERECO, ID_MCH, DATAHORA) VALUES (1, :IDPEDIDO, "
        ":CLIENTE, :ENDERECO, :ID_MCH, strftime('%Y-%m-%d %H:%M:%S', 'now', :AGE))",
        {{":IDPEDIDO", QString::fromUtf8(idPedido)},
         {":CLIENTE", cliente ? SqlValue(QString::fromUtf8(cliente)) : SqlValue()},
         {":ENDERECO", QString::fromUtf8(endereco)},
         {":ID_MCH", mark ? SqlValue(QString::fromUtf8(mark)) : SqlValue()},
         {":AGE", QString::fromUtf8(age)}});
}

TEST(BoardScreenshot, FiveOrdersInBothDispatchModes)
{
    auto *application = qobject_cast<QApplication *>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    ASSERT_EQ(applyTabletDark(*application), QString());

    TestDatabase t;
    addOrder(t.db(), "100231", "Maria Aparecida", "Rua das Flores, 123 - Centro", "-5 hours", "MACHINE");
    addOrder(t.db(), "100232", "João Pedro", "Av. Brasil, 4500 - Zona 1", "-4 hours", "JA ENTREGUE");
    addOrder(t.db(), "100233", nullptr, "Rua Santos Dumont, 88 - Vila Operária", "-3 hours", nullptr);
    addOrder(t.db(), "100234", "Ana Beatriz Gonçalves de Oliveira",
             "Avenida Paranavaí, 1290, apto 32 bloco B - Jardim Alvorada, próximo ao mercado", "-2 hours",
             "");
    addOrder(t.db(), "100235", "Carlos Eduardo", "Rua Pioneiro José Custódio, 77", "-1 hours", nullptr);

    Database db;
    ASSERT_TRUE(db.open(t.path()));
    RecordingMessageBoxes messages;
    ImageCollection images;
    bool automatic = false;

    // The lower part of the main window at its design width: the button row with the count
    // line, and the card grid four cards high.
    QWidget panel;
    panel.setObjectName(QStringLiteral("PanelPedidos"));
    auto *column = new QVBoxLayout(&panel);
    column->setContentsMargins(6, 10, 6, 4);
    column->setSpacing(4);
    auto *header = new QHBoxLayout;
    auto *button = new QPushButton(QStringLiteral("🔧 Configurar aiqfome"), &panel);
    auto *countLine = new QLabel(QStringLiteral("CALCULANDO PEDIDOS"), &panel);
    countLine->setObjectName(QStringLiteral("Label6PEDIDOS"));
    countLine->setAlignment(Qt::AlignCenter);
    header->addWidget(button);
    header->addWidget(countLine, 1);
    header->addSpacing(button->sizeHint().width());
    column->addLayout(header);
    OrderBoard board(
        db, countLine, [] { return true; }, [&automatic] { return automatic; }, messages, images, &panel);
    board.grid()->setFixedHeight(4 * 75);
    column->addWidget(board.grid());
    panel.resize(900, panel.sizeHint().height());
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));

    const QString folder = QStringLiteral(BRISFOLD_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    board.reopen();
    board.grid()->setCurrentIndex(board.orders().index(1, 0));
    for (const bool mode : {false, true}) {
        automatic = mode;
        board.TimerPedidosTimer();
        board.grid()->verticalScrollBar()->setValue(0);
        QApplication::processEvents();
        const QString file = folder + (mode ? QStringLiteral("/board-automatic-on.png")
                                            : QStringLiteral("/board-automatic-off.png"));
        EXPECT_TRUE(panel.grab().save(file)) << file.toStdString();
    }
    EXPECT_EQ(countLine->text(), QStringLiteral("5 PEDIDOS INTEGRADOS"));
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace

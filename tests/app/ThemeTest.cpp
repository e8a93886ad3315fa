// The "Tablet Dark" look: applied without a style sheet, captions by name, the plain scroll bar.
#include "ui/Theme.h"

#include "ui/TabletDarkStyle.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <gtest/gtest.h>

using namespace brisfold;

namespace {

QApplication &application()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    EXPECT_NE(app, nullptr);
    return *app;
}

} // namespace

TEST(TabletDark, AppliesToEveryWindowWithoutAStyleSheet)
{
    ASSERT_EQ(applyTabletDark(application()), QString());
    EXPECT_TRUE(application().styleSheet().isEmpty());
    EXPECT_NE(dynamic_cast<TabletDarkStyle *>(QApplication::style()), nullptr);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(0x1f, 0x22, 0x26));

    QFrame login;
    login.setObjectName(QStringLiteral("PanelLogin"));
    auto *error = new QLabel(&login);
    error->setObjectName(QStringLiteral("LabelErro"));
    auto *title = new QLabel(&login);
    title->setProperty("role", QStringLiteral("title"));
    auto *button = new QPushButton(&login);
    button->setObjectName(QStringLiteral("Button4"));
    auto *plain = new QLabel(&login);
    login.ensurePolished();
    for (QWidget *w : login.findChildren<QWidget *>())
        w->ensurePolished();

    EXPECT_EQ(error->palette().color(QPalette::WindowText), QColor(0xff, 0x7b, 0x72));
    EXPECT_TRUE(error->font().bold());
    EXPECT_EQ(title->font().pointSize(), 16);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(button->font().pointSize(), 12);
    EXPECT_TRUE(button->font().bold());
    EXPECT_EQ(plain->font().pointSize(), 10);
    EXPECT_FALSE(plain->font().bold());
}

TEST(TabletDark, TheScrollBarHasNoArrowsAndAHandleInProportion)
{
    ASSERT_EQ(applyTabletDark(application()), QString());
    QStyle *style = QApplication::style();
    struct Case
    {
        const char *what;
        int maximum;
        int pageStep;
        int position;
        int handleTop;
        int handleLength;
    };
    const Case cases[] = {
        {"nothing to scroll", 0, 10, 0, 0, 400},
        {"a quarter in view, at the top", 300, 100, 0, 0, 100},
        {"a quarter in view, at the end", 300, 100, 300, 300, 100},
        {"a long list keeps a handle to grab", 100000, 10, 50000, 185, 30},
    };
    QScrollBar bar(Qt::Vertical);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QStyleOptionSlider option;
        option.initFrom(&bar);
        option.rect = QRect(0, 0, 14, 400);
        option.orientation = Qt::Vertical;
        option.minimum = 0;
        option.maximum = c.maximum;
        option.pageStep = c.pageStep;
        option.sliderPosition = option.sliderValue = c.position;
        const auto rect = [&](QStyle::SubControl part) {
            return style->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar);
        };
        EXPECT_EQ(rect(QStyle::SC_ScrollBarSlider), QRect(0, c.handleTop, 14, c.handleLength));
        EXPECT_TRUE(rect(QStyle::SC_ScrollBarAddLine).isEmpty());
        EXPECT_TRUE(rect(QStyle::SC_ScrollBarSubLine).isEmpty());
        EXPECT_EQ(
            style->hitTestComplexControl(QStyle::CC_ScrollBar, &option, QPoint(7, c.handleTop + 5), &bar),
            QStyle::SC_ScrollBarSlider);
        if (c.handleTop + c.handleLength < 400) {
            EXPECT_EQ(style->hitTestComplexControl(QStyle::CC_ScrollBar, &option, QPoint(7, 399), &bar),
                      QStyle::SC_ScrollBarAddPage);
        }
    }
    EXPECT_EQ(style->pixelMetric(QStyle::PM_ScrollBarExtent), 14);
}

TEST(TabletDark, MessageBoxButtonsCarryNoIconsAndPasswordsShowStars)
{
    ASSERT_EQ(applyTabletDark(application()), QString());

    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brisfold"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No);
    for (QAbstractButton *button : box.buttons())
        EXPECT_TRUE(button->icon().isNull()) << button->text().toStdString();

    QLineEdit password;
    password.setEchoMode(QLineEdit::Password);
    password.setText(QStringLiteral("s3nh@"));
    EXPECT_EQ(password.displayText(), QStringLiteral("*****"));
}

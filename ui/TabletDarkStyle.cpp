#include "ui/TabletDarkStyle.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolButton>
#include <algorithm>

namespace brisfold {

namespace {

namespace colour {
constexpr QRgb ground = 0x1f2226;
constexpr QRgb base = 0x2a2e33;
constexpr QRgb text = 0xeef1f4;
constexpr QRgb accent = 0x269dd9;
constexpr QRgb button = 0x33383e;
constexpr QRgb buttonHover = 0x3d444b;
constexpr QRgb buttonDown = 0x2a2e33;
constexpr QRgb border = 0x444b53;
constexpr QRgb disabledText = 0x6c747c;
constexpr QRgb disabledEdit = 0x24272b;
constexpr QRgb panel = 0x262a2f;
constexpr QRgb panelBorder = 0x343a40;
constexpr QRgb statusGround = 0x181b1e;
constexpr QRgb statusText = 0xc9d1d9;
constexpr QRgb error = 0xff7b72;
constexpr QRgb city = 0xaab4be;
constexpr QRgb count = 0x7cc7f2;
constexpr QRgb noticeGround = 0x5a2a26;
constexpr QRgb noticeText = 0xffd7d2;
constexpr QRgb primary = 0x1f7fb8;
constexpr QRgb primaryHover = 0x2590cf;
constexpr QRgb primaryDisabled = 0x2d4a5c;
constexpr QRgb primaryDisabledBorder = 0x35566a;
constexpr QRgb primaryDisabledText = 0xb7c7d2;
} // namespace colour

constexpr qreal radius = 6;
constexpr int scrollBarWidth = 14;
constexpr int scrollHandleMinimum = 30;

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour,
               QPalette::ColorGroup group = QPalette::All)
{
    QPalette palette = widget->palette();
    palette.setColor(group, role, colour);
    widget->setPalette(palette);
}

// `points` 0 keeps the inherited size; the family stays inherited.
void setFont(QWidget *widget, int points, bool bold)
{
    QFont font;
    if (points > 0)
        font.setPointSize(points);
    font.setBold(bold);
    widget->setFont(font);
}

bool hasAncestor(const QWidget *widget, const auto &test)
{
    for (const QWidget *w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (test(w))
            return true;
    }
    return false;
}

void fillRounded(QPainter *painter, const QRectF &rect, const QColor &fill, const QColor &edge)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(edge, 1));
    painter->setBrush(fill);
    painter->drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter->restore();
}

struct ButtonColours
{
    QColor fill;
    QColor edge;
};

// The sign-in and booking buttons ("Button4") stand out in the accent colour; the sign-out
// button ("SpeedButton5") lies over the header picture.
ButtonColours buttonColours(const QStyleOption &option, const QWidget *widget)
{
    const bool enabled = option.state & QStyle::State_Enabled;
    const bool down = option.state & (QStyle::State_Sunken | QStyle::State_On);
    const bool hover = option.state & QStyle::State_MouseOver;
    const QString name = widget ? widget->objectName() : QString();
    if (name == u"Button4") {
        if (!enabled)
            return {QColor(colour::primaryDisabled), QColor(colour::primaryDisabledBorder)};
        return {QColor(hover ? colour::primaryHover : colour::primary), QColor(colour::accent)};
    }
    if (name == u"SpeedButton5")
        return {QColor(31, 34, 38, 200), QColor(colour::border)};
    if (!enabled || down)
        return {QColor(colour::buttonDown), QColor(colour::border)};
    return {QColor(hover ? colour::buttonHover : colour::button), QColor(colour::border)};
}

void polishLabel(QLabel *label)
{
    const QString name = label->objectName();
    if (name == u"LabelErro") {
        setColour(label, QPalette::WindowText, QColor(colour::error));
        setFont(label, 0, true);
    } else if (name == u"LabelEmpresa") {
        setFont(label, 13, true);
    } else if (name == u"LabelCIDADE") {
        setColour(label, QPalette::WindowText, QColor(colour::city));
    } else if (name == u"Label6PEDIDOS") {
        setFont(label, 12, true);
        setColour(label, QPalette::WindowText, QColor(colour::count));
    } else if (name == u"LabelAvisos") {
        label->setAutoFillBackground(true);
        label->setMargin(4);
        setFont(label, 0, true);
        setColour(label, QPalette::Window, QColor(colour::noticeGround));
        setColour(label, QPalette::WindowText, QColor(colour::noticeText));
    } else if (label->property("role").toString() == u"title") {
        setFont(label, 16, true);
        if (hasAncestor(label, [](const QWidget *w) { return w->objectName() == u"PanelLogin"; }))
            setColour(label, QPalette::WindowText, Qt::white);
    } else if (hasAncestor(label, [](const QWidget *w) { return qobject_cast<const QStatusBar *>(w); })) {
        setColour(label, QPalette::WindowText, QColor(colour::statusText));
    }
}

} // namespace

TabletDarkStyle::TabletDarkStyle(QStyle *fusion)
    : QProxyStyle(fusion)
{}

TabletDarkStyle *TabletDarkStyle::create()
{
    QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    return fusion ? new TabletDarkStyle(fusion) : nullptr;
}

QPalette TabletDarkStyle::darkPalette()
{
    QPalette palette;
    const QColor window(colour::ground);
    const QColor text(colour::text);
    const QColor accent(colour::accent);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(colour::base));
    palette.setColor(QPalette::AlternateBase, window.lighter(115));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(colour::button));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, QColor(colour::base));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x93, 0x9c));
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent.lighter(120));
    palette.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(colour::disabledText));
    return palette;
}

void TabletDarkStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    const QString name = widget->objectName();
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        polishLabel(label);
    } else if (qobject_cast<QPushButton *>(widget) || qobject_cast<QToolButton *>(widget)) {
        widget->setAttribute(Qt::WA_Hover);
        if (name == u"Button4") {
            setFont(widget, 12, true);
            setColour(widget, QPalette::ButtonText, QColor(colour::primaryDisabledText), QPalette::Disabled);
        } else if (name == u"SpeedButton5") {
            setFont(widget, 0, true);
        }
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        if (edit->hasFrame())
            edit->setTextMargins(4, 3, 4, 3);
    } else if (qobject_cast<QComboBox *>(widget)) {
        setColour(widget, QPalette::Button, QColor(colour::base));
    } else if (auto *list = qobject_cast<QListView *>(widget)) {
        list->setFrameShape(QFrame::NoFrame);
        setColour(list, QPalette::Base, QColor(colour::ground));
    }
}

void TabletDarkStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                    const QWidget *widget) const
{
    switch (element) {
    case PE_PanelButtonCommand:
    case PE_PanelButtonTool: {
        const ButtonColours colours = buttonColours(*option, widget);
        fillRounded(painter, option->rect, colours.fill, colours.edge);
        return;
    }
    case PE_PanelLineEdit: {
        const bool enabled = option->state & State_Enabled;
        const bool focus = option->state & State_HasFocus;
        fillRounded(painter, option->rect, QColor(enabled ? colour::base : colour::disabledEdit),
                    QColor(focus ? colour::accent : colour::border));
        return;
    }
    case PE_PanelStatusBar:
        painter->fillRect(option->rect, QColor(colour::statusGround));
        painter->setPen(QColor(colour::panelBorder));
        painter->drawLine(option->rect.topLeft(), option->rect.topRight());
        return;
    case PE_FrameStatusBarItem:
        return; // the panels' texts stand apart by their own places
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void TabletDarkStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                  const QWidget *widget) const
{
    // The menu panel of the signed-in face is a raised, rounded card.
    if (element == CE_ShapedFrame && widget && widget->objectName() == u"PanelMenu") {
        fillRounded(painter, option->rect, QColor(colour::panel), QColor(colour::panelBorder));
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TabletDarkStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                         QPainter *painter, const QWidget *widget) const
{
    if (control == CC_ScrollBar) {
        // A plain groove and a rounded handle, without arrow buttons: the board is scrolled by
        // wheel, drag or touch.
        painter->fillRect(option->rect, QColor(colour::ground));
        const QRect handle = subControlRect(control, option, SC_ScrollBarSlider, widget);
        if (!handle.isEmpty())
            fillRounded(painter, handle, QColor(colour::border), QColor(colour::border));
        return;
    }
    if (const auto *tool = qstyleoption_cast<const QStyleOptionToolButton *>(option);
        control == CC_ToolButton && tool) {
        // Drawn as a button also when flat, like the pushed buttons beside it.
        drawPrimitive(PE_PanelButtonTool, tool, painter, widget);
        QStyleOptionToolButton label = *tool;
        label.rect = subControlRect(control, tool, SC_ToolButton, widget);
        drawControl(CE_ToolButtonLabel, &label, painter, widget);
        return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QRect TabletDarkStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                                      SubControl subControl, const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::subControlRect(control, option, subControl, widget);

    const QRect area = bar->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? area.width() : area.height();
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int handleLength = length;
    if (range > 0) {
        const qint64 share = qint64(length) * bar->pageStep / (range + bar->pageStep);
        handleLength = int(std::clamp<qint64>(share, scrollHandleMinimum, length));
    }
    handleLength = std::min(handleLength, length);
    const int start = sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition,
                                              length - handleLength, bar->upsideDown);
    const auto along = [&](int from, int size) {
        return horizontal ? QRect(area.x() + from, area.y(), size, area.height())
                          : QRect(area.x(), area.y() + from, area.width(), size);
    };
    switch (subControl) {
    case SC_ScrollBarSlider:
        return along(start, handleLength);
    case SC_ScrollBarSubPage:
        return along(0, start);
    case SC_ScrollBarAddPage:
        return along(start + handleLength, length - start - handleLength);
    case SC_ScrollBarGroove:
        return area;
    default:
        return {};
    }
}

QSize TabletDarkStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contents,
                                        const QWidget *widget) const
{
    // Roomy buttons for a finger: 14 pixels beside the text, 6 above and below, and the edge.
    if (type == CT_PushButton || type == CT_ToolButton)
        return contents + QSize(2 * 14 + 2, 2 * 6 + 2);
    return QProxyStyle::sizeFromContents(type, option, contents, widget);
}

int TabletDarkStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent:
        return scrollBarWidth;
    case PM_ScrollBarSliderMin:
        return scrollHandleMinimum;
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical:
        return 0;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int TabletDarkStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                               QStyleHintReturn *returnData) const
{
    switch (hint) {
    // The toolkit's fallback icons on "OK", "Sim" and "Não" clash with the flat dark buttons.
    case SH_DialogButtonBox_ButtonsHaveIcons:
        return 0;
    // A password shows "*" for every character, whatever the platform's own mask is.
    case SH_LineEdit_PasswordCharacter:
        return u'*';
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

} // namespace brisfold

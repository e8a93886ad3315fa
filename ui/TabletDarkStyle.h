#pragma once

#include <QProxyStyle>

namespace brisfold {

// The look of "Tablet Dark": Fusion on a dark palette with flat, rounded controls for a touch
// screen, and the few captions that stand out. Drawn in code rather than by a style sheet,
// which keeps a matched rule set for every widget and costs memory and time on every paint.
class TabletDarkStyle final : public QProxyStyle
{
public:
    // Null when the Fusion style it builds on is missing.
    static TabletDarkStyle *create();

    // The palette every window takes.
    static QPalette darkPalette();

    using QProxyStyle::polish;
    void polish(QWidget *widget) override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl subControl,
                         const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contents,
                           const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;

private:
    explicit TabletDarkStyle(QStyle *fusion);
};

} // namespace brisfold

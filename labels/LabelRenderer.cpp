#include "labels/LabelRenderer.h"

#include "labels/LabelFonts.h"
#include "labels/QrCode.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <cmath>
#include <memory>
#include <unicode/uchar.h>
#include <vector>

namespace brisfold {

namespace {

constexpr qreal marginMm = 3;
constexpr qreal ruleGapMm = 2;
constexpr qreal ruleThicknessMm = 0.4;
// The QR code with its quiet zone: large enough for a phone held at arm's length, and on 58 mm
// paper still inside the margins.
constexpr qreal qrCodeWidthMm = 40;

constexpr qreal orderPoints = 18;
constexpr qreal smallestOrderPoints = 14;
constexpr qreal restaurantPoints = 12;
constexpr qreal customerPoints = 13;
constexpr qreal bodyPoints = 12;
constexpr qreal timePoints = 11;

// Parts of emoji sequences that draw nothing once the pictograph is gone: joiner, variation
// selectors, the keycap's enclosing mark, tags.
bool isEmojiComponent(char32_t c)
{
    return c == 0x200D || c == 0x20E3 || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0020 && c <= 0xE007F) ||
           (c >= 0xE0100 && c <= 0xE01EF);
}

// Drawn as an emoji: by default, or because a selector asks for it. The font has some of these
// as plain outlines, but a courier is better served without them.
bool isPictograph(char32_t c, char32_t next)
{
    const auto codePoint = UChar32(c);
    return u_hasBinaryProperty(codePoint, UCHAR_EMOJI_PRESENTATION) ||
           (next == 0xFE0F && u_hasBinaryProperty(codePoint, UCHAR_EXTENDED_PICTOGRAPHIC));
}

// The label's parts from top to bottom, measured on the device that prints them, so the page can
// be exactly as long as they are.
class LabelLayout
{
public:
    LabelLayout(const QPaintDevice &device, int paperWidthMm)
        : device_(device)
        , dotsPerMm_(device.logicalDpiX() / 25.4)
        , regular_(labelfonts::raw(false, 12))
        , bold_(labelfonts::raw(true, 12))
    {
        left_ = px(marginMm);
        width_ = px(paperWidthMm - 2 * marginMm);
        paperWidth_ = px(paperWidthMm);
        y_ = px(marginMm);
    }

    qreal px(qreal mm) const { return mm * dotsPerMm_; }
    qreal heightMm() const { return (y_ + px(marginMm)) / dotsPerMm_; }

    // A paragraph wrapped at blanks, and inside a word only where a word is wider than the paper,
    // so nothing is ever cut off.
    void addText(const QString &text, qreal points, bool bold, Qt::Alignment alignment, qreal gapMm = 0.8)
    {
        const QString printable = printableText(text, bold ? bold_ : regular_);
        if (printable.isEmpty())
            return;
        auto block = std::make_unique<QTextLayout>(printable, font(points, bold), &device_);
        QTextOption option(alignment);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        block->setTextOption(option);
        y_ += blocks_.empty() && rules_.empty() ? 0 : px(gapMm);
        const qreal height = layOut(*block);
        blocks_.push_back({std::move(block), QPointF(left_, y_)});
        y_ += height;
    }

    // The order line on one line when it fits at a size still large enough, wrapped otherwise.
    void addOrderLine(const QString &text)
    {
        qreal points = orderPoints;
        while (points > smallestOrderPoints && lineCount(text, points, true) > 1)
            points -= 1;
        addText(text, points, true, Qt::AlignHCenter, 1.5);
    }

    void addRule()
    {
        y_ += px(ruleGapMm);
        rules_.push_back(QRectF(left_, y_, width_, px(ruleThicknessMm)));
        y_ += px(ruleThicknessMm + ruleGapMm);
    }

    // The symbol centred, its modules whole device pixels so they stay crisp.
    void addQrCode(const QrCode &code)
    {
        const int modules = code.size() + 2 * QrCode::quietZone;
        const int modulePx = std::max(1, int(std::floor(std::min(px(qrCodeWidthMm), width_) / modules)));
        const int side = modules * modulePx;
        y_ += px(1);
        qr_ = QrPlacement{code, QPoint(int(std::round((paperWidth_ - side) / 2)), int(std::ceil(y_))),
                          modulePx};
        y_ = std::ceil(y_) + side;
    }

    void paint(QPainter &painter) const
    {
        painter.setPen(Qt::black);
        for (const Block &block : blocks_)
            block.layout->draw(&painter, block.position);
        for (const QRectF &rule : rules_)
            painter.fillRect(rule, Qt::black);
        if (qr_)
            paintQrCode(painter, *qr_);
    }

private:
    struct Block
    {
        std::unique_ptr<QTextLayout> layout;
        QPointF position;
    };
    struct QrPlacement
    {
        QrCode code;
        QPoint topLeft; // of the quiet zone
        int modulePx;
    };

    QFont font(qreal points, bool bold) const
    {
        QFont font(labelfonts::family());
        font.setPointSizeF(points);
        font.setBold(bold);
        // Printers get the outlines as they are.
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    }

    qreal layOut(QTextLayout &layout) const
    {
        qreal height = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width_);
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout.endLayout();
        return height;
    }

    int lineCount(const QString &text, qreal points, bool bold) const
    {
        QTextLayout layout(printableText(text, bold ? bold_ : regular_), font(points, bold), &device_);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layOut(layout);
        return layout.lineCount();
    }

    static void paintQrCode(QPainter &painter, const QrPlacement &qr)
    {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        const int offset = QrCode::quietZone * qr.modulePx;
        painter.fillRect(
            QRect(qr.topLeft, QSize(1, 1) * ((qr.code.size() + 2 * QrCode::quietZone) * qr.modulePx)),
            Qt::white);
        // One rectangle per run of dark modules in a row: fewer shapes, no seams between them.
        for (int y = 0; y < qr.code.size(); ++y) {
            for (int x = 0; x < qr.code.size();) {
                if (!qr.code.isDark(x, y)) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < qr.code.size() && qr.code.isDark(x, y))
                    ++x;
                painter.fillRect(QRect(qr.topLeft.x() + offset + start * qr.modulePx,
                                       qr.topLeft.y() + offset + y * qr.modulePx, (x - start) * qr.modulePx,
                                       qr.modulePx),
                                 Qt::black);
            }
        }
        painter.restore();
    }

    const QPaintDevice &device_;
    qreal dotsPerMm_;
    QRawFont regular_;
    QRawFont bold_;
    qreal left_ = 0;
    qreal width_ = 0;
    qreal paperWidth_ = 0;
    qreal y_ = 0;
    std::vector<Block> blocks_;
    std::vector<QRectF> rules_;
    std::optional<QrPlacement> qr_;
};

} // namespace

QString printableText(const QString &text, const QRawFont &font)
{
    const QList<uint> codePoints = text.toUcs4();
    QString printable;
    printable.reserve(text.size());
    for (qsizetype i = 0; i < codePoints.size(); ++i) {
        const char32_t c = codePoints[i];
        const char32_t next = i + 1 < codePoints.size() ? codePoints[i + 1] : 0;
        if (QChar::isSpace(c) || QChar::category(c) == QChar::Other_Control)
            printable += u' ';
        else if (!isEmojiComponent(c) && !isPictograph(c, next) && font.supportsCharacter(c))
            printable += QChar::fromUcs4(c);
    }
    // Blanks that stood around a pictograph left out are not doubled.
    return printable.simplified();
}

QString renderLabel(QPagedPaintDevice &device, const DeliveryLabel &label, int paperWidthMm)
{
    LabelLayout layout(device, paperWidthMm);
    layout.addText(label.restaurantName, restaurantPoints, true, Qt::AlignHCenter);
    layout.addOrderLine(orderLineText(label));
    layout.addText(label.arrivalTime, timePoints, false, Qt::AlignHCenter);
    layout.addRule();
    layout.addText(label.CLIENTE, customerPoints, true, Qt::AlignLeft);
    layout.addText(label.TELEFONE, bodyPoints, false, Qt::AlignLeft);
    layout.addText(label.ENDERECO, bodyPoints, false, Qt::AlignLeft);
    layout.addRule();
    layout.addText(courierStateText(label.ID_MCH), bodyPoints, true, Qt::AlignLeft);
    layout.addText(feeText(label.TAXAENTREGA), bodyPoints, false, Qt::AlignLeft);
    if (const std::optional<QString> link = mapLink(label.LATITUDE, label.LONGITUDE)) {
        if (const std::optional<QrCode> code = QrCode::encode(link->toUtf8()))
            layout.addQrCode(*code);
    }

    // Whole tenths of a millimetre, rounded up so the last line is never cut.
    const qreal heightMm = std::ceil(layout.heightMm() * 10) / 10;
    if (!device.setPageSize(QPageSize(QSizeF(paperWidthMm, heightMm), QPageSize::Millimeter, QString(),
                                      QPageSize::ExactMatch)))
        return QStringLiteral("A impressora não aceita papel de %1 mm.").arg(paperWidthMm);
    device.setPageOrientation(QPageLayout::Portrait);
    // The label keeps its own margins; a printer that needs wider ones keeps them regardless.
    device.setPageMargins(QMarginsF(), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&device))
        return QStringLiteral("Não foi possível iniciar a impressão.");
    layout.paint(painter);
    if (!painter.end())
        return QStringLiteral("Não foi possível concluir a impressão.");
    return {};
}

} // namespace brisfold

// The program's icon, drawn in code at each size, and the window font with its
// stand-in where MS Sans Serif is missing.

#include "app/appearance.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    // A rounded tile in sea blue with a net of thin lines.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0x9f));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    painter.setPen(QPen(QColor(0x9f, 0xc8, 0xef), 1.0));
    for (int step = 7; step < 30; step += 6) {
        painter.drawLine(QPointF(step, 3), QPointF(step, 29));
        painter.drawLine(QPointF(3, step), QPointF(29, step));
    }

    // The magnifying glass.
    painter.setBrush(QColor(255, 255, 255, 90));
    painter.setPen(QPen(Qt::white, 3.0));
    painter.drawEllipse(QPointF(13, 13), 7.5, 7.5);
    painter.setPen(QPen(QColor(0xf2, 0xb1, 0x34), 4.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(19, 19), QPointF(27, 27));
    return pixmap;
}

}  // namespace

QIcon trawlIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64})
        icon.addPixmap(drawIcon(size));
    return icon;
}

QFont formFont(int pixelSize)
{
    // Adds only the names not yet listed, so calling it again changes nothing.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans Condensed")});
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixelSize);
    return font;
}

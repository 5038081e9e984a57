// Paints Drovane's pictures: the main window's background, the banner, the small link
// picture and the icon, at every size a desktop's icon theme asks for (the window takes
// the small ones, the package installs them all). The PNGs beside this file are its
// output; rerun it after a change (see README.md, "Contributing").

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

const QColor kRed(184, 8, 8);
const QColor kDeepRed(112, 4, 6);
const QColor kCharcoal(46, 46, 52);

QFont sans(int pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage canvas(int w, int h, const QColor& fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

// The mark: a catch ring around a dot, with four ticks, centred on c.
void drawMark(QPainter& p, QPointF c, qreal r, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, std::max<qreal>(1.0, r * 0.18));
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 0.68, r * 0.68);
    const qreal in = r * 0.42, out = r * 0.98;
    p.drawLine(QPointF(c.x(), c.y() - out), QPointF(c.x(), c.y() - in));
    p.drawLine(QPointF(c.x(), c.y() + in), QPointF(c.x(), c.y() + out));
    p.drawLine(QPointF(c.x() - out, c.y()), QPointF(c.x() - in, c.y()));
    p.drawLine(QPointF(c.x() + in, c.y()), QPointF(c.x() + out, c.y()));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, r * 0.2, r * 0.2);
    p.restore();
}

QImage background() {
    QImage image = canvas(300, 400, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A soft band under the counter and the buttons.
    QLinearGradient band(0, 330, 0, 400);
    band.setColorAt(0, QColor(255, 255, 255));
    band.setColorAt(1, QColor(246, 236, 236));
    p.fillRect(QRect(0, 330, 300, 70), band);
    QPainterPath wave;
    wave.moveTo(0, 372);
    wave.cubicTo(90, 352, 180, 392, 300, 364);
    wave.lineTo(300, 400);
    wave.lineTo(0, 400);
    wave.closeSubpath();
    p.fillPath(wave, QColor(184, 8, 8, 14));
    // A faint mark behind the options, light enough for black text on top.
    drawMark(p, QPointF(64, 262), 58, QColor(184, 8, 8, 12));
    return image;
}

QImage banner() {
    QImage image = canvas(281, 41);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 281, 41);
    fill.setColorAt(0, kDeepRed);
    fill.setColorAt(0.55, kRed);
    fill.setColorAt(1, QColor(214, 52, 36));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, 280, 40), 5, 5);
    p.fillPath(shape, fill);
    // Thin diagonal lines for texture, kept inside the shape.
    p.setClipPath(shape);
    p.setPen(QPen(QColor(255, 255, 255, 18), 6));
    for (int x = -40; x < 300; x += 22)
        p.drawLine(x, 41, x + 40, 0);
    p.setClipping(false);

    drawMark(p, QPointF(21, 20.5), 14, Qt::white);
    p.setPen(Qt::white);
    p.setFont(sans(21, true));
    p.drawText(QRect(42, 0, 120, 41), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Drovane"));
    p.setPen(QColor(255, 226, 220));
    p.setFont(sans(9, false));
    p.drawText(QRect(150, 4, 124, 33), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("catch the name\nthe moment it is free"));
    return image;
}

QImage link() {
    QImage image = canvas(73, 20);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, 72, 19), 4, 4);
    p.fillPath(shape, kCharcoal);
    drawMark(p, QPointF(10, 10), 6.5, QColor(240, 90, 80));
    p.setPen(Qt::white);
    p.setFont(sans(10, true));
    p.drawText(QRect(19, 0, 52, 20), Qt::AlignCenter, QStringLiteral("drovane"));
    return image;
}

QImage icon(int size) {
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, s, s);
    fill.setColorAt(0, QColor(214, 40, 30));
    fill.setColorAt(1, kDeepRed);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.2, s * 0.2);
    p.fillPath(shape, fill);
    drawMark(p, QPointF(s / 2, s / 2), s * 0.4, Qt::white);
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    bool ok = background().save(out.filePath(QStringLiteral("background.png"))) &&
              banner().save(out.filePath(QStringLiteral("banner.png"))) &&
              link().save(out.filePath(QStringLiteral("link.png")));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok = ok && icon(size).save(out.filePath(QStringLiteral("icon-%1.png").arg(size)));
    return ok ? 0 : 1;
}

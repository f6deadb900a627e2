// Draws the pictures of the example work folder: two photo-like JPEGs in
// "Images" (one stored turned a quarter, with the metadata orientation that
// turns it upright), a PNG graphic with transparency and a PDF graphic in
// "Graphics". Every photo has a coloured patch in each corner of its upright
// picture (top left red, top right green, bottom left blue, bottom right
// yellow), so that tests can tell how a rendering turned, cropped or placed it.
//
// Usage: kova_example_pictures <work folder>   (e.g. examples/KOVA)

#include "core/image/ImageProperties.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <numbers>

namespace {

constexpr double cornerShare = 0.2; // each corner patch covers this share of both sides
constexpr int jpegQuality = 85;

// The upright corner patches every photo carries.
void paintCornerPatches(QPainter& painter, QSize size)
{
    const double w = size.width() * cornerShare;
    const double h = size.height() * cornerShare;
    painter.fillRect(QRectF(0, 0, w, h), QColor(255, 0, 0));
    painter.fillRect(QRectF(size.width() - w, 0, w, h), QColor(0, 255, 0));
    painter.fillRect(QRectF(0, size.height() - h, w, h), QColor(0, 0, 255));
    painter.fillRect(QRectF(size.width() - w, size.height() - h, w, h), QColor(255, 255, 0));
}

QImage newPicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

// A harbour at dusk: sky, sun, sea with waves and a sailing boat. Landscape.
QImage harbour()
{
    const QSize size(960, 640);
    QImage picture = newPicture(size);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 400);
    sky.setColorAt(0, QColor(40, 70, 140));
    sky.setColorAt(1, QColor(250, 170, 110));
    painter.fillRect(0, 0, size.width(), 400, sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 220, 120));
    painter.drawEllipse(QPointF(620, 360), 70, 70);
    QLinearGradient sea(0, 400, 0, size.height());
    sea.setColorAt(0, QColor(30, 90, 120));
    sea.setColorAt(1, QColor(10, 30, 60));
    painter.fillRect(0, 400, size.width(), size.height() - 400, sea);
    painter.setPen(QPen(QColor(120, 170, 190), 3));
    for (int row = 0; row < 6; ++row) {
        QPainterPath wave;
        const double y = 430 + row * 30;
        wave.moveTo(0, y);
        for (int x = 0; x <= size.width(); x += 40) {
            wave.quadTo(x + 10, y - 6, x + 20, y);
            wave.quadTo(x + 30, y + 6, x + 40, y);
        }
        painter.drawPath(wave);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 50, 30));
    painter.drawPolygon(QPolygonF({QPointF(330, 470), QPointF(520, 470), QPointF(490, 510), QPointF(360, 510)}));
    painter.setBrush(QColor(245, 240, 225));
    painter.drawPolygon(QPolygonF({QPointF(425, 300), QPointF(425, 460), QPointF(340, 460)}));
    paintCornerPatches(painter, size);
    return picture;
}

// A lighthouse on a cliff under a clear sky. Portrait (upright).
QImage lighthouse()
{
    const QSize size(640, 960);
    QImage picture = newPicture(size);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(70, 130, 200));
    sky.setColorAt(1, QColor(200, 230, 250));
    painter.fillRect(picture.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(80, 110, 60));
    painter.drawPolygon(QPolygonF({QPointF(0, 760), QPointF(380, 700), QPointF(640, 780), QPointF(640, 960), QPointF(0, 960)}));
    for (int band = 0; band < 6; ++band) {
        painter.setBrush(band % 2 ? QColor(235, 235, 235) : QColor(200, 40, 40));
        const double top = 300 + band * 70;
        painter.drawRect(QRectF(270 - band * 4, top, 100 + band * 8, 70));
    }
    painter.setBrush(QColor(255, 240, 150));
    painter.drawRect(QRectF(280, 240, 80, 60));
    painter.setBrush(QColor(40, 40, 40));
    painter.drawPolygon(QPolygonF({QPointF(260, 240), QPointF(380, 240), QPointF(320, 180)}));
    paintCornerPatches(painter, size);
    return picture;
}

// A sun with rays on a transparent ground.
QImage sunGraphic()
{
    QImage graphic(256, 256, QImage::Format_ARGB32_Premultiplied);
    graphic.fill(Qt::transparent);
    QPainter painter(&graphic);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(128, 128);
    painter.setPen(QPen(QColor(255, 150, 0), 10, Qt::SolidLine, Qt::RoundCap));
    for (int ray = 0; ray < 12; ++ray) {
        const double angle = ray * std::numbers::pi / 6;
        painter.drawLine(QPointF(std::cos(angle) * 84, std::sin(angle) * 84), QPointF(std::cos(angle) * 118, std::sin(angle) * 118));
    }
    QRadialGradient disc(QPointF(0, 0), 72);
    disc.setColorAt(0, QColor(255, 230, 0));
    disc.setColorAt(1, QColor(255, 170, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(disc);
    painter.drawEllipse(QPointF(0, 0), 72, 72);
    return graphic;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, jpegQuality);
    return bytes;
}

// The upright picture stored turned a quarter clockwise, with orientation 8
// (turn a quarter anticlockwise to show) in its metadata. A renderer that
// ignored the metadata would show it upside down after autorotation.
QByteArray jpegStoredTurned(const QImage& upright)
{
    const QImage stored = upright.transformed(QTransform().rotate(90));
    return ImageProperties::rewrite(encoded(stored, "JPEG"), {{ImageProperties::orientationKey, 8}}).value_or(QByteArray());
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    const bool written = !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    QTextStream(stderr) << (written ? "wrote " : "FAILED to write ") << path << '\n';
    return written;
}

// A ribbon of 560 by 24 points: a blue band with white diamonds along it.
bool writeRibbonPdf(const QString& path)
{
    QPdfWriter writer(path);
    writer.setCreator(QStringLiteral("KOVA examples"));
    writer.setPageSize(QPageSize(QSizeF(560, 24), QPageSize::Point, QStringLiteral("Ribbon"), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.setWindow(0, 0, 560, 24);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(0, 0, 560, 24), QColor(32, 96, 192));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (int x = 20; x < 560; x += 40)
        painter.drawPolygon(QPolygonF({QPointF(x, 6), QPointF(x + 6, 12), QPointF(x, 18), QPointF(x - 6, 12)}));
    const bool ended = painter.end();
    QTextStream(stderr) << (ended ? "wrote " : "FAILED to write ") << path << '\n';
    return ended;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: kova_example_pictures <work folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("Images")) || !folder.mkpath(QStringLiteral("Graphics")))
        return 1;
    bool written = writeFile(folder.filePath(QStringLiteral("Images/Harbour.jpg")), encoded(harbour(), "JPEG"));
    written &= writeFile(folder.filePath(QStringLiteral("Images/Lighthouse.jpg")), jpegStoredTurned(lighthouse()));
    written &= writeFile(folder.filePath(QStringLiteral("Graphics/Sun.png")), encoded(sunGraphic(), "PNG"));
    written &= writeRibbonPdf(folder.filePath(QStringLiteral("Graphics/Ribbon.pdf")));
    return written ? 0 : 1;
}

#include "CompositeFiles.h"

#include "PhotoFixtures.h"
#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "core/image/ImageProperties.h"

#include <QFile>
#include <QPainter>
#include <QRadialGradient>

namespace {

const QString caption = QStringLiteral(
    "Summer by the sea: the harbour at dusk, the lighthouse on the cliff and the long walk back along the beach "
    "with everyone who came, a day we will remember for many years and tell our children about when they are older.");

QString templateText(const QString& photoA, const QString& photoB, const QString& sticker, const QString& code)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<data type="KOVA_Template" version="1.0">
    <layout size="{1800, 1200}" name="Composite 4x6">
        <backgroundEnabled>yes</backgroundEnabled>
        <layer type="image" frame="{{0, 0}, {900, 1200}}" zindex="100">
            <key>image1</key>
            <filepath>%1</filepath>
            <gravity>resizeAspectFill</gravity>
        </layer>
        <layer type="image" frame="{{900, 0}, {900, 1200}}" zindex="200">
            <key>image2</key>
            <filepath>%2</filepath>
            <gravity>resizeAspectFill</gravity>
        </layer>
        <layer type="graphic" frame="{{1500, 50}, {250, 250}}" zindex="300">
            <filepath>%3</filepath>
            <gravity>resizeAspect</gravity>
        </layer>
        <layer type="graphic" frame="{{50, 50}, {200, 200}}" zindex="400">
            <filepath>%4</filepath>
            <gravity>resizeAspect</gravity>
        </layer>
        <layer type="textbox" frame="{{50, 980}, {1700, 200}}" zindex="500">
            <key>caption</key>
            <string>%5</string>
            <font size="48">DejaVu Sans</font>
            <textAlignment>left</textAlignment>
            <color>#202020</color>
        </layer>
    </layout>
</data>
)")
        .arg(photoA, photoB, sticker, code, caption);
}

// A sun-like disc whose alpha falls off softly towards its edge.
QImage softSticker()
{
    QImage sticker(250, 250, QImage::Format_ARGB32_Premultiplied);
    sticker.fill(Qt::transparent);
    QPainter painter(&sticker);
    QRadialGradient gradient(125, 125, 125);
    gradient.setColorAt(0, QColor(255, 200, 0, 255));
    gradient.setColorAt(0.6, QColor(255, 140, 0, 200));
    gradient.setColorAt(1, QColor(255, 80, 0, 0));
    painter.fillRect(sticker.rect(), gradient);
    return sticker;
}

QImage qrPicture()
{
    QImage code(200, 200, QImage::Format_ARGB32_Premultiplied);
    code.fill(Qt::white);
    QPainter painter(&code);
    painter.setTransform(QTransform(1, 0, 0, -1, 0, 200));
    const QVariantMap options{{zorvak_2dCodeKey_message, QStringLiteral("https://example.com/orders/4711/prints/12")},
                              {zorvak_2dCodeKey_type, 1},
                              {zorvak_2dCodeKey_scale, 5}};
    ZORVAK_2dCodeGenerator::draw(options, painter, QRectF(0, 0, 200, 200));
    return code;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

CompositeFiles::CompositeFiles()
{
    // KOVA_BENCH_KEEP_FILES=1 keeps the folder, to look at what was written.
    folder.setAutoRemove(qEnvironmentVariableIntValue("KOVA_BENCH_KEEP_FILES") != 1);
    if (!folder.autoRemove())
        qInfo("composite files in %s", qPrintable(folder.path()));
    photoA = folder.filePath(QStringLiteral("A.jpeg"));
    photoB = folder.filePath(QStringLiteral("B.jpeg"));
    const QString sticker = folder.filePath(QStringLiteral("sticker.png"));
    const QString code = folder.filePath(QStringLiteral("code.png"));
    templatePath = folder.filePath(QStringLiteral("Composite 4x6.xml"));
    const QString turned = folder.filePath(QStringLiteral("B-as-stored.jpeg"));
    ready = PhotoFixtures::writePhoto(photoA, PhotoFixtures::photoLikePicture(QSize(4000, 3000), 0x2545F491u))
        && PhotoFixtures::writePhoto(turned, PhotoFixtures::photoLikePicture(QSize(4000, 3000), 0x9E3779B9u))
        && softSticker().save(sticker) && qrPicture().save(code)
        && writeFile(templatePath, templateText(photoA, photoB, sticker, code).toUtf8());
    QFile stored(turned);
    const auto oriented = ready && stored.open(QIODevice::ReadOnly)
        ? ImageProperties::rewrite(stored.readAll(), {{ImageProperties::orientationKey, 6}})
        : std::nullopt;
    ready = oriented && writeFile(photoB, *oriented);
}

const CompositeFiles& CompositeFiles::shared()
{
    static const CompositeFiles files;
    return files;
}

// The inspector's ranges for its controls and the choices of its pop-up menus.
#include "editor/inspector/KOVA_LayerInspector.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/UTType.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QUrl>

#include <cmath>
#include <numbers>

// ---- Ranges and choices ----

// The bounding box of the layer turned by the mirrored rotation, for any sign and size
// of the angle: along one side, the side itself projected plus the other side projected.
double KOVA_LayerInspector::rotatedWidth() const
{
    return rotatedExtent(stored(Key::frameWidth).toDouble(), stored(Key::frameHeight).toDouble());
}

double KOVA_LayerInspector::rotatedHeight() const
{
    return rotatedExtent(stored(Key::frameHeight).toDouble(), stored(Key::frameWidth).toDouble());
}

double KOVA_LayerInspector::rotatedExtent(double along, double across) const
{
    const double turn = std::abs(stored(Key::frameRotation).toDouble()) * std::numbers::pi / 180.0;
    return along * std::abs(std::cos(turn)) + across * std::abs(std::sin(turn));
}

// A rotated layer's frame lies inside its bounding box by half the difference on each side.
double KOVA_LayerInspector::minPosition(double size, double rotatedSize) const
{
    return stored(Key::frameRotation).toDouble() == 0 ? 0.0 : (rotatedSize - size) / 2;
}

double KOVA_LayerInspector::maxPosition(double canvas, double size, double rotatedSize) const
{
    return canvas - size - minPosition(size, rotatedSize);
}

double KOVA_LayerInspector::frameMinX() const
{
    return minPosition(stored(Key::frameWidth).toDouble(), rotatedWidth());
}

double KOVA_LayerInspector::frameMaxX() const
{
    return maxPosition(stored(Key::canvasWidth).toDouble(), stored(Key::frameWidth).toDouble(), rotatedWidth());
}

double KOVA_LayerInspector::frameMinY() const
{
    return minPosition(stored(Key::frameHeight).toDouble(), rotatedHeight());
}

double KOVA_LayerInspector::frameMaxY() const
{
    return maxPosition(stored(Key::canvasHeight).toDouble(), stored(Key::frameHeight).toDouble(), rotatedHeight());
}

QStringList KOVA_LayerInspector::availableStampTypes()
{
    return {QStringLiteral("Date"), QStringLiteral("Filename")};
}

QStringList KOVA_LayerInspector::availableStampFormats() const
{
    if (stored(Key::stampType).toString() != QStringLiteral("Date"))
        return {};
    return {QStringLiteral("shortDate"), QStringLiteral("longDate"), QStringLiteral("abrevDate"),
            QStringLiteral("Custom")};
}

QStringList KOVA_LayerInspector::availableGravity()
{
    return {QStringLiteral("resize"), QStringLiteral("resizeAspect"), QStringLiteral("resizeAspectFill")};
}

QStringList KOVA_LayerInspector::validUTIGraphics()
{
    return {platform::kUTTypePNG,      platform::kUTTypeJPEG, platform::kUTTypeTIFF,     platform::kUTTypeBMP,
            platform::kUTTypeJPEG2000, platform::kUTTypeGIF,  platform::kUTTypeRawImage, platform::kUTTypeImage};
}

QStringList KOVA_LayerInspector::availableFonts()
{
    static const QStringList families = QFontDatabase::families();
    return families;
}

QStringList KOVA_LayerInspector::availableGraphics()
{
    if (!m_availableGraphics.isEmpty())
        return m_availableGraphics;
    const QString folder = platform::UserDefaults::standardUserDefaults()->stringForKey(key_kovaFolderGraphics);
    if (folder.isEmpty())
        return {};
    const QDir directory(folder);
    if (!directory.exists() || !QFileInfo(folder).isReadable()) {
        platform::Log::log(QStringLiteral("Failed enumeration at %1 with error:%2")
                               .arg(QUrl::fromLocalFile(folder).toString(),
                                    directory.exists() ? QStringLiteral("not readable") : QStringLiteral("no such folder")));
        return {};
    }
    const QStringList valid = validUTIGraphics();
    for (const QFileInfo& entry : directory.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                              | QDir::NoDotAndDotDot,
                                                          QDir::Name)) {
        if (entry.isDir() && !entry.isSymLink())
            continue;
        const bool image = entry.isFile() && !entry.isSymLink()
            && valid.contains(platform::UTType::typeForExtension(entry.suffix()));
        if (image)
            m_availableGraphics.append(entry.absoluteFilePath());
        else
            platform::Log::log(QStringLiteral("file that is not an image type: %1")
                                   .arg(QUrl::fromLocalFile(entry.absoluteFilePath()).toString()));
    }
    return m_availableGraphics;
}

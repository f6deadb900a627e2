#include "app/preferences/PreferencesPaneSize.h"

namespace {
struct PaneSize {
    const char* identifier;
    int width;
    int height;
};

const PaneSize paneSizes[] = {
    { "prefGeneral", 600, 366 },      { "prefsFolders", 700, 426 },     { "prefsAdvanced", 600, 366 },
    { "prefsInfo", 600, 316 },        { "prefsTemplates", 600, 341 },   { "prefsPrintToFile", 773, 421 },
    { "prefsEditableText", 500, 486 },
};
} // namespace

std::optional<QSize> PreferencesPaneSize::sizeForIdentifier(const QString& identifier)
{
    for (const PaneSize& pane : paneSizes) {
        if (identifier.compare(QLatin1String(pane.identifier), Qt::CaseInsensitive) == 0)
            return QSize(pane.width, pane.height);
    }
    return std::nullopt;
}

std::optional<QRect> PreferencesPaneSize::resizedFrame(const QRect& frame, const QRect& available,
                                                       const QString& identifier)
{
    const std::optional<QSize> size = sizeForIdentifier(identifier);
    if (!size || frame.isEmpty())
        return std::nullopt;
    QRect resized(frame.topLeft(), *size);
    const int availableRight = available.x() + available.width();
    if (!available.isEmpty() && resized.x() + resized.width() > availableRight)
        resized.moveLeft(availableRight - resized.width());
    return resized;
}

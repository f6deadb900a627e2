#include "app/preferences/PreferencesPaneSize.h"

#include <algorithm>

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

std::optional<QRect> PreferencesPaneSize::resizedFrame(const QRect& frame, const QRect& available, const QSize& size)
{
    if (frame.isEmpty() || size.isEmpty())
        return std::nullopt;
    return keptInside(QRect(frame.topLeft(), size), available);
}

QRect PreferencesPaneSize::keptInside(const QRect& frame, const QRect& available)
{
    if (available.isEmpty())
        return frame;
    QRect inside = frame;
    if (inside.x() + inside.width() > available.x() + available.width())
        inside.moveLeft(available.x() + available.width() - inside.width());
    if (inside.y() + inside.height() > available.y() + available.height())
        inside.moveTop(available.y() + available.height() - inside.height());
    inside.moveLeft(std::max(inside.x(), available.x()));
    inside.moveTop(std::max(inside.y(), available.y()));
    return inside;
}

#include "core/foundation/ZORVAK_NSArray.h"

#include <QUrl>

namespace ZORVAK_NSArray {
namespace {
// The last component of a path, trailing slashes ignored; "/" stays "/".
QString lastPathComponent(const QString& path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    if (end == 1 && path.at(0) == QLatin1Char('/'))
        return path.left(1);
    const qsizetype start = path.lastIndexOf(QLatin1Char('/'), end - 1) + 1;
    return path.mid(start, end - start);
}
} // namespace

QVariantList lastPathComponents(const QVariantList& values)
{
    QVariantList components;
    components.reserve(values.size());
    for (const QVariant& value : values) {
        if (value.typeId() == QMetaType::QString)
            components.append(lastPathComponent(value.toString()));
        else if (value.typeId() == QMetaType::QUrl)
            components.append(lastPathComponent(value.toUrl().path()));
        else
            components.append(value);
    }
    return components;
}

} // namespace ZORVAK_NSArray

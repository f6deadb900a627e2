#include "workflow/folders/ZORVAK_UTTypeToPathExtension.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"

namespace {

QString upperCasedExtension(const QString& type)
{
    return ZORVAK_Extras_NSURL::pathExtensionForUTType(type).toUpper();
}

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

} // namespace

QVariant ZORVAK_UTTypeToPathExtension::transformedValue(const QVariant& value)
{
    if (isText(value))
        return upperCasedExtension(value.toString());
    const QVariantList list = value.toList();
    if (value.typeId() != QMetaType::QVariantList || list.isEmpty() || !isText(list.first()))
        return value;
    QStringList extensions;
    for (const QVariant& element : list) {
        const QString extension = upperCasedExtension(element.toString());
        if (!extension.isEmpty())
            extensions.append(extension);
    }
    return extensions;
}

QVariant ZORVAK_UTTypeToPathExtension::reverseTransformedValue(const QVariant& value)
{
    if (!isText(value))
        return value;
    return ZORVAK_Extras_NSURL::UTTypeForPathExtension(value.toString().toLower());
}

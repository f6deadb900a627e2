#include "workflow/folders/KOVA_WebUploadFolder.h"

#include "core/foundation/KOVA_Constants.h"

QVariant KOVA_WebUploadFolder::transformedValue(const QVariant& value)
{
    return value.isValid() ? value : QVariant(string_kova_DoNotUpload);
}

QVariant KOVA_WebUploadFolder::reverseTransformedValue(const QVariant& value)
{
    const bool meansNone = value.typeId() == QMetaType::QString && value.toString() == string_kova_DoNotUpload;
    return meansNone ? QVariant() : value;
}

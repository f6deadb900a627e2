#include "printing/pages/ZORVAK_GravityValueTransformer.h"

#include "core/image/ZORVAK_Image.h"
#include "platform/text/StringValues.h"

QVariant ZORVAK_GravityValueTransformer::transformedValue(const QVariant& value) const
{
    const bool aspect = value.typeId() == QMetaType::QString && value.toString() == ZORVAK_Image::kCAGravityResizeAspect;
    return qint64(aspect ? 1 : 0);
}

QVariant ZORVAK_GravityValueTransformer::reverseTransformedValue(const QVariant& value) const
{
    return platform::StringValues::integerValue(value) == 1 ? ZORVAK_Image::kCAGravityResizeAspect
                                                            : ZORVAK_Image::kCAGravityResizeAspectFill;
}

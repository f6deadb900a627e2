#include "printing/filters/ZORVAK_ImageFilter.h"

#include "platform/Error.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/StringValues.h"
#include "printing/filters/ImageFilterKernels.h"
#include "printing/filters/ImageFilterPixels.h"

#include <algorithm>

namespace Format = platform::KeyedArchiveFormat;

namespace {

constexpr qint64 CorruptArchiveCode = 4864; // the platform's code for an archive that cannot be decoded

[[maybe_unused]] const bool registeredForDecoding = [] {
    for (const ImageFilterKernels::Kernel& kernel : ImageFilterKernels::kernels()) {
        const QString name = kernel.name;
        platform::KeyedUnarchiver::registerClass({name, ZORVAK_ImageFilter::SuperclassName, Format::Object},
                                                 [name](platform::KeyedUnarchiver& coder) { return ZORVAK_ImageFilter::initWithCoder(name, coder); });
    }
    return true;
}();

bool isVector(const QVariant& value)
{
    const QVariantList components = value.toList();
    return value.typeId() == QMetaType::QVariantList && components.size() == 4
           && std::all_of(components.cbegin(), components.cend(), platform::StringValues::isNumber);
}

// The input under `key` read as the default is: a vector or a number; nothing when it is neither.
QVariant decodeInput(platform::KeyedUnarchiver& coder, const QString& key, const QVariant& defaultValue)
{
    if (defaultValue.typeId() != QMetaType::QVariantList)
        return coder.decodeDouble(key);
    const QVariant value = coder.decodeObjectOfClasses(key, {Format::Array});
    return isVector(value) ? value : QVariant();
}

} // namespace

ZORVAK_ImageFilter::ZORVAK_ImageFilter(const QString& name)
    : m_name(name)
{
    if (const ImageFilterKernels::Kernel* kernel = ImageFilterKernels::kernelNamed(name))
        m_inputs = kernel->defaults;
}

QVariant ZORVAK_ImageFilter::valueForKey(const QString& key) const
{
    const std::lock_guard lock(m_mutex);
    return m_inputs.value(key);
}

void ZORVAK_ImageFilter::setValueForKey(const QVariant& value, const QString& key)
{
    const std::lock_guard lock(m_mutex);
    m_inputs.insert(key, value);
}

QVariantMap ZORVAK_ImageFilter::inputs() const
{
    const std::lock_guard lock(m_mutex);
    return m_inputs;
}

QVariantList ZORVAK_ImageFilter::vector(double x, double y, double z, double w)
{
    return {x, y, z, w};
}

QImage ZORVAK_ImageFilter::apply(const QImage& input) const
{
    const ImageFilterKernels::Kernel* kernel = ImageFilterKernels::kernelNamed(m_name);
    if (!kernel || input.isNull())
        return input;
    ImageFilterPixels pixels(input);
    kernel->apply(pixels, inputs());
    return pixels.result();
}

QStringList ZORVAK_ImageFilter::archiveClassHierarchy() const
{
    return {m_name, SuperclassName, Format::Object};
}

void ZORVAK_ImageFilter::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    const QVariantMap values = inputs();
    for (auto input = values.cbegin(); input != values.cend(); ++input) {
        if (input->typeId() == QMetaType::QVariantList)
            coder.encodeObject(*input, input.key());
        else
            coder.encodeDouble(platform::StringValues::doubleValue(*input), input.key());
    }
}

std::shared_ptr<platform::Archivable> ZORVAK_ImageFilter::initWithCoder(const QString& name, platform::KeyedUnarchiver& coder)
{
    const auto filter = std::make_shared<ZORVAK_ImageFilter>(name);
    const QVariantMap defaults = filter->inputs();
    for (auto input = defaults.cbegin(); input != defaults.cend(); ++input) {
        if (!coder.containsValueForKey(input.key()))
            continue;
        const QVariant value = decodeInput(coder, input.key(), *input);
        if (coder.hasError())
            return nullptr;
        if (!value.isValid()) {
            coder.failWithError(platform::Error{platform::Error::CocoaDomain, CorruptArchiveCode,
                                                QStringLiteral("the filter %1 holds no vector under %2").arg(name, input.key())});
            return nullptr;
        }
        filter->setValueForKey(value, input.key());
    }
    return filter;
}

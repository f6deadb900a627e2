#include "printing/filters/ZORVAK_ImageFilter.h"

#include "platform/plist/KeyedArchiver.h"

ZORVAK_ImageFilter::ZORVAK_ImageFilter(const QString& name)
    : m_name(name)
{
}

QImage ZORVAK_ImageFilter::apply(const QImage& input) const
{
    return input;
}

QStringList ZORVAK_ImageFilter::archiveClassHierarchy() const
{
    return {m_name, QStringLiteral("CIFilter"), QStringLiteral("NSObject")};
}

void ZORVAK_ImageFilter::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    (void)coder;
}

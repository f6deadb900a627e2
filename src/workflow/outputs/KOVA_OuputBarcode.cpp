#include "workflow/outputs/KOVA_OuputBarcode.h"

#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/packages/OutputElementReading.h"

#include <array>
#include <cmath>
#include <optional>
#include <utility>

using OutputElementReading::isNamed;
using platform::XmlNode;

namespace {

const std::array<std::pair<QString, KOVA_OuputBarcode::Type>, 4> TypeTexts{{
    {KOVA_XML_Key_aztec, KOVA_OuputBarcode::Aztec},
    {KOVA_XML_Key_qrcode, KOVA_OuputBarcode::QRCode},
    {KOVA_XML_Key_code128, KOVA_OuputBarcode::Code128},
    {KOVA_XML_Key_pdf417, KOVA_OuputBarcode::PDF417},
}};

std::optional<KOVA_OuputBarcode::Type> typeForText(const QString& text)
{
    for (const auto& [name, type] : TypeTexts) {
        if (text.compare(name, Qt::CaseInsensitive) == 0)
            return type;
    }
    return std::nullopt;
}

// Numbers too large for a double (read as infinity) count as numbers that do not parse: a code
// must never ask for an endless scale or stand at an endless place.
double finiteNumber(double value)
{
    return std::isfinite(value) ? value : 0;
}

QPointF pointFromText(const QString& text)
{
    const QPointF point = platform::GeometryText::pointFromString(text);
    return {finiteNumber(point.x()), finiteNumber(point.y())};
}

} // namespace

KOVA_OuputBarcode::KOVA_OuputBarcode(const XmlNode& node)
{
    for (const XmlNode& attribute : OutputElementReading::attributes(node))
        readAttribute(attribute);
    for (const XmlNode& child : OutputElementReading::childElements(node))
        readChild(child, node);
}

QString KOVA_OuputBarcode::message() const
{
    return m_valuesDict.value(zorvak_2dCodeKey_message).toString();
}

void KOVA_OuputBarcode::readAttribute(const XmlNode& attribute)
{
    if (isNamed(attribute, KOVA_XML_Key_type)) {
        // An unknown symbology keeps the type held so far, and the dictionary names it all the same.
        m_type = typeForText(attribute.stringValue()).value_or(Type(m_type));
        m_valuesDict.insert(zorvak_2dCodeKey_type, m_type);
    } else if (isNamed(attribute, KOVA_XML_Key_origin)) {
        m_origin = pointFromText(attribute.stringValue());
    } else if (isNamed(attribute, KOVA_XML_Key_scale)) {
        m_scale = finiteNumber(platform::StringValues::doubleValue(attribute.stringValue()));
        m_valuesDict.insert(zorvak_2dCodeKey_scale, m_scale);
    }
}

void KOVA_OuputBarcode::readChild(const XmlNode& child, const XmlNode& element)
{
    if (isNamed(child, KOVA_XML_Key_message))
        m_valuesDict.insert(zorvak_2dCodeKey_message, child.stringValue());
    else if (isNamed(child, KOVA_XML_Key_origin))
        readOriginChild(child);
    else
        OutputElementReading::logUnexpectedElement(child, element);
}

void KOVA_OuputBarcode::readOriginChild(const XmlNode& origin)
{
    m_origin = pointFromText(origin.stringValue());
    for (const XmlNode& attribute : OutputElementReading::attributes(origin)) {
        const bool flipped = platform::StringValues::boolValue(attribute.stringValue());
        if (isNamed(attribute, KOVA_XML_Key_originFlippedX))
            m_valuesDict.insert(zorvak_2dCodeKey_isFlippedX, flipped);
        else if (isNamed(attribute, KOVA_XML_Key_originFlippedY))
            m_valuesDict.insert(zorvak_2dCodeKey_isFlippedY, flipped);
    }
}

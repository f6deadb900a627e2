#pragma once

#include "platform/xml/XmlNode.h"

#include <QPointF>
#include <QString>
#include <QVariantMap>

// One machine-readable code of an output, read from a "barcode" element: its symbology, scale,
// corner point and message. The code dictionary (the keys of ZORVAK_2dCodeGenerator) is what the
// output keeps and draws from; type and scale are also held as plain values, and the message
// lives only in the dictionary.
class KOVA_OuputBarcode {
public:
    // Symbologies as the code generators number them.
    enum Type : int { Aztec = 0, QRCode = 1, Code128 = 2, PDF417 = 3 };

    // Reads a "barcode" element. Never fails: what it does not know is logged and left out.
    explicit KOVA_OuputBarcode(const platform::XmlNode& node);

    int type() const { return m_type; }
    double scale() const { return m_scale; }
    // In output pixels as read; the output replaces it by fractions of its size.
    QPointF origin() const { return m_origin; }
    void setOrigin(const QPointF& origin) { m_origin = origin; }
    // The message of the code dictionary; null when the element has none.
    QString message() const;
    QVariantMap valuesDict() const { return m_valuesDict; }
    void setValuesDict(const QVariantMap& values) { m_valuesDict = values; }

private:
    void readAttribute(const platform::XmlNode& attribute);
    void readChild(const platform::XmlNode& child, const platform::XmlNode& element);
    void readOriginChild(const platform::XmlNode& origin);

    int m_type = Aztec;
    double m_scale = 0;
    QPointF m_origin;
    QVariantMap m_valuesDict;
};

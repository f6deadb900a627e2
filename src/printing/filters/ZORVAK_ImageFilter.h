#pragma once

#include "platform/plist/Archivable.h"

#include <QImage>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// A colour filter of a print page, named as the print centre names it ("CIColorControls",
// "CIColorMatrix", ...), with its inputs set by key ("inputContrast", "inputRVector", ...).
// A filter starts from its documented defaults and is applied to a page's picture.
class ZORVAK_ImageFilter : public platform::Archivable {
public:
    explicit ZORVAK_ImageFilter(const QString& name);

    QString name() const { return m_name; }
    QVariant valueForKey(const QString& key) const { return m_inputs.value(key); }
    void setValueForKey(const QVariant& value, const QString& key) { m_inputs.insert(key, value); }
    QVariantMap inputs() const { return m_inputs; }

    // The picture with the filter applied, in the input's format.
    QImage apply(const QImage& input) const;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

private:
    QString m_name;
    QVariantMap m_inputs;
};

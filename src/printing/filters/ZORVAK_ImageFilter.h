#pragma once

#include "platform/plist/Archivable.h"

#include <QImage>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <mutex>

namespace platform {
class KeyedUnarchiver;
} // namespace platform

// A colour filter of a print page, named as the print centre names it ("CIColorControls",
// "CIColorMatrix", ...), with its inputs set by key ("inputContrast", "inputRVector", ...).
// A filter starts from its documented defaults and is applied to a page's picture.
//
// The known filters and their inputs' defaults:
//   "CIColorControls"    inputSaturation 1, inputBrightness 0, inputContrast 1
//   "CIExposureAdjust"   inputEV 0
//   "CIHueAdjust"        inputAngle 0 (radians)
//   "CIGammaAdjust"      inputPower 1
//   "CISharpenLuminance" inputSharpness 0.4, inputRadius 1.69
//   "CIColorMatrix"      inputRVector (1,0,0,0), inputGVector (0,1,0,0), inputBVector (0,0,1,0),
//                        inputAVector (0,0,0,1), inputBiasVector (0,0,0,0)
// Scalars are numbers; vectors are lists of four numbers (vector()). A filter of another name
// has no inputs and leaves pictures as they are.
//
// Archived, a filter is an object of the class named by the filter, a subclass of "CIFilter"
// (class chain [name, "CIFilter", "NSObject"]), whose keys are its inputs: scalars as numbers,
// vectors as arrays of four numbers. Only the known filters are read back; an archive holding
// another filter class, or an input of another kind, is refused.
//
// Inputs may be set and read, and the filter applied, from any thread.
class ZORVAK_ImageFilter : public platform::Archivable {
public:
    static inline const QString ColorControls = QStringLiteral("CIColorControls");
    static inline const QString ExposureAdjust = QStringLiteral("CIExposureAdjust");
    static inline const QString HueAdjust = QStringLiteral("CIHueAdjust");
    static inline const QString GammaAdjust = QStringLiteral("CIGammaAdjust");
    static inline const QString SharpenLuminance = QStringLiteral("CISharpenLuminance");
    static inline const QString ColorMatrix = QStringLiteral("CIColorMatrix");
    static inline const QString SuperclassName = QStringLiteral("CIFilter");

    explicit ZORVAK_ImageFilter(const QString& name);

    QString name() const { return m_name; }
    QVariant valueForKey(const QString& key) const;
    void setValueForKey(const QVariant& value, const QString& key);
    QVariantMap inputs() const;

    // A vector input (x, y, z, w).
    static QVariantList vector(double x, double y, double z, double w);

    // The picture with the filter applied, in the input's format.
    QImage apply(const QImage& input) const;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // The known filter `name` with the inputs the archive holds (the defaults for the others);
    // null, the archive stopped with an error, when an input is of another kind.
    static std::shared_ptr<platform::Archivable> initWithCoder(const QString& name, platform::KeyedUnarchiver& coder);

private:
    QString m_name;
    mutable std::mutex m_mutex; // guards the inputs
    QVariantMap m_inputs;
};

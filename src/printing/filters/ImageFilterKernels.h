#pragma once

#include <QString>
#include <QVariantMap>

#include <vector>

class ImageFilterPixels;

// The colour filters a print page knows, each with its inputs' defaults and the pixel work it
// does, after the documented formulas of the filters it is named after. Scalar inputs are
// numbers, vectors lists of four (ZORVAK_ImageFilter::vector).
namespace ImageFilterKernels {

struct Kernel {
    QString name;
    QVariantMap defaults;
    void (*apply)(ImageFilterPixels& pixels, const QVariantMap& inputs);
};

// The known filters, in the order an old ticket's colour adjustments are applied.
const std::vector<Kernel>& kernels();
// The filter of that name; null for a name no filter has.
const Kernel* kernelNamed(const QString& name);

} // namespace ImageFilterKernels

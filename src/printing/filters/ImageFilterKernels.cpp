#include "printing/filters/ImageFilterKernels.h"

#include "platform/text/StringValues.h"
#include "printing/filters/ImageFilterPixels.h"
#include "printing/filters/ZORVAK_ImageFilter.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ImageFilterKernels {

namespace {

using Pixel = ImageFilterPixels::Pixel;
using Vector = std::array<float, 4>;

// Blurs wider than this many pixels (the standard deviation) cost much and show nothing more.
constexpr float LargestBlurRadius = 100;

float scalar(const QVariantMap& inputs, const QString& key)
{
    return float(platform::StringValues::doubleValue(inputs.value(key)));
}

Vector vectorInput(const QVariantMap& inputs, const QString& key)
{
    const QVariantList components = inputs.value(key).toList();
    Vector vector{};
    for (qsizetype i = 0; i < qsizetype(vector.size()) && i < components.size(); ++i)
        vector[size_t(i)] = float(platform::StringValues::doubleValue(components.at(i)));
    return vector;
}

// Rec. 709 luma, the weights the filters' luminance is measured with.
float lumaOf(const Pixel& pixel)
{
    return 0.2126f * pixel.r + 0.7152f * pixel.g + 0.0722f * pixel.b;
}

// Saturation mixes each colour with its luma (0 grey, 1 unchanged), brightness is added and
// contrast scales about the middle grey.
void colorControls(ImageFilterPixels& pixels, const QVariantMap& inputs)
{
    const float saturation = scalar(inputs, QStringLiteral("inputSaturation"));
    const float brightness = scalar(inputs, QStringLiteral("inputBrightness"));
    const float contrast = scalar(inputs, QStringLiteral("inputContrast"));
    const auto adjust = [=](float component, float luma) {
        return (luma + (component - luma) * saturation + brightness - 0.5f) * contrast + 0.5f;
    };
    pixels.forEachPixel([&](Pixel& pixel, qsizetype) {
        const float luma = lumaOf(pixel);
        pixel.r = adjust(pixel.r, luma);
        pixel.g = adjust(pixel.g, luma);
        pixel.b = adjust(pixel.b, luma);
    });
}

// Multiplies the colours by 2 to the power of the exposure value.
void exposureAdjust(ImageFilterPixels& pixels, const QVariantMap& inputs)
{
    const float factor = std::exp2(scalar(inputs, QStringLiteral("inputEV")));
    pixels.forEachPixel([=](Pixel& pixel, qsizetype) {
        pixel.r *= factor;
        pixel.g *= factor;
        pixel.b *= factor;
    });
}

// Rotates the colours about the grey axis by the angle in radians (red towards green for a
// positive angle).
void hueAdjust(ImageFilterPixels& pixels, const QVariantMap& inputs)
{
    const float angle = scalar(inputs, QStringLiteral("inputAngle"));
    const float cosine = std::cos(angle);
    const float third = (1 - cosine) / 3;
    const float sine = std::sin(angle) / std::sqrt(3.0f);
    const float same = cosine + third;
    const float next = third + sine;
    const float previous = third - sine;
    pixels.forEachPixel([=](Pixel& pixel, qsizetype) {
        const Pixel in = pixel;
        pixel.r = same * in.r + previous * in.g + next * in.b;
        pixel.g = next * in.r + same * in.g + previous * in.b;
        pixel.b = previous * in.r + next * in.g + same * in.b;
    });
}

// Raises the colours to the power.
void gammaAdjust(ImageFilterPixels& pixels, const QVariantMap& inputs)
{
    const float power = scalar(inputs, QStringLiteral("inputPower"));
    pixels.forEachPixel([=](Pixel& pixel, qsizetype) {
        pixel.r = std::pow(pixel.r, power);
        pixel.g = std::pow(pixel.g, power);
        pixel.b = std::pow(pixel.b, power);
    });
}

std::vector<float> gaussianWeights(float radius)
{
    const int reach = int(std::ceil(3 * radius));
    const double spread = 2.0 * radius * radius; // in double: above 0 for every radius above 0
    std::vector<double> exponentials(size_t(2 * reach + 1));
    double sum = 0;
    for (int offset = -reach; offset <= reach; ++offset)
        sum += exponentials[size_t(offset + reach)] = std::exp(-double(offset) * offset / spread);
    std::vector<float> weights;
    weights.reserve(exponentials.size());
    for (const double exponential : exponentials)
        weights.push_back(float(exponential / sum));
    return weights;
}

// One pass of a separable blur along rows (step 1) or columns (step width), the edges repeated.
void blurPass(const std::vector<float>& from, std::vector<float>& to, int width, int height, bool alongRows,
              const std::vector<float>& weights)
{
    const int reach = int(weights.size() / 2);
    const int length = alongRows ? width : height;
    const qsizetype step = alongRows ? 1 : width;
    for (int line = 0; line < (alongRows ? height : width); ++line) {
        const qsizetype start = alongRows ? qsizetype(line) * width : line;
        for (int position = 0; position < length; ++position) {
            float sum = 0;
            for (int offset = -reach; offset <= reach; ++offset)
                sum += weights[size_t(offset + reach)] * from[size_t(start + std::clamp(position + offset, 0, length - 1) * step)];
            to[size_t(start + position * step)] = sum;
        }
    }
}

// An unsharp mask of the luminance: the difference between the luma and its gaussian blur of
// standard deviation radius, times the sharpness, is added to each colour, leaving the
// chrominance as it was.
void sharpenLuminance(ImageFilterPixels& pixels, const QVariantMap& inputs)
{
    const float sharpness = scalar(inputs, QStringLiteral("inputSharpness"));
    const float radius = std::min(scalar(inputs, QStringLiteral("inputRadius")), LargestBlurRadius);
    if (!(radius > 0) || sharpness == 0)
        return;
    std::vector<float> luma(size_t(pixels.width()) * size_t(pixels.height()));
    pixels.forEachPixel([&](Pixel& pixel, qsizetype index) { luma[size_t(index)] = lumaOf(pixel); });
    const std::vector<float> weights = gaussianWeights(radius);
    std::vector<float> rows(luma.size());
    std::vector<float> blurred(luma.size());
    blurPass(luma, rows, pixels.width(), pixels.height(), true, weights);
    blurPass(rows, blurred, pixels.width(), pixels.height(), false, weights);
    pixels.forEachPixel([&](Pixel& pixel, qsizetype index) {
        const float detail = sharpness * (luma[size_t(index)] - blurred[size_t(index)]);
        pixel.r += detail;
        pixel.g += detail;
        pixel.b += detail;
    });
}

float dot(const Pixel& pixel, const Vector& vector)
{
    return pixel.r * vector[0] + pixel.g * vector[1] + pixel.b * vector[2] + pixel.a * vector[3];
}

// Each component becomes the dot product of the pixel with its vector, plus its bias.
void colorMatrix(ImageFilterPixels& pixels, const QVariantMap& inputs)
{
    const Vector red = vectorInput(inputs, QStringLiteral("inputRVector"));
    const Vector green = vectorInput(inputs, QStringLiteral("inputGVector"));
    const Vector blue = vectorInput(inputs, QStringLiteral("inputBVector"));
    const Vector alpha = vectorInput(inputs, QStringLiteral("inputAVector"));
    const Vector bias = vectorInput(inputs, QStringLiteral("inputBiasVector"));
    pixels.forEachPixel([&](Pixel& pixel, qsizetype) {
        const Pixel in = pixel;
        pixel.r = dot(in, red) + bias[0];
        pixel.g = dot(in, green) + bias[1];
        pixel.b = dot(in, blue) + bias[2];
        pixel.a = dot(in, alpha) + bias[3];
    });
}

} // namespace

const std::vector<Kernel>& kernels()
{
    static const std::vector<Kernel> known{
        {ZORVAK_ImageFilter::ColorControls,
         {{QStringLiteral("inputSaturation"), 1.0}, {QStringLiteral("inputBrightness"), 0.0}, {QStringLiteral("inputContrast"), 1.0}},
         &colorControls},
        {ZORVAK_ImageFilter::ExposureAdjust, {{QStringLiteral("inputEV"), 0.0}}, &exposureAdjust},
        {ZORVAK_ImageFilter::HueAdjust, {{QStringLiteral("inputAngle"), 0.0}}, &hueAdjust},
        {ZORVAK_ImageFilter::GammaAdjust, {{QStringLiteral("inputPower"), 1.0}}, &gammaAdjust},
        {ZORVAK_ImageFilter::SharpenLuminance, {{QStringLiteral("inputSharpness"), 0.4}, {QStringLiteral("inputRadius"), 1.69}}, &sharpenLuminance},
        {ZORVAK_ImageFilter::ColorMatrix,
         {{QStringLiteral("inputRVector"), ZORVAK_ImageFilter::vector(1, 0, 0, 0)},
          {QStringLiteral("inputGVector"), ZORVAK_ImageFilter::vector(0, 1, 0, 0)},
          {QStringLiteral("inputBVector"), ZORVAK_ImageFilter::vector(0, 0, 1, 0)},
          {QStringLiteral("inputAVector"), ZORVAK_ImageFilter::vector(0, 0, 0, 1)},
          {QStringLiteral("inputBiasVector"), ZORVAK_ImageFilter::vector(0, 0, 0, 0)}},
         &colorMatrix},
    };
    return known;
}

const Kernel* kernelNamed(const QString& name)
{
    const std::vector<Kernel>& known = kernels();
    const auto found = std::find_if(known.cbegin(), known.cend(), [&](const Kernel& kernel) { return kernel.name == name; });
    return found == known.cend() ? nullptr : &*found;
}

} // namespace ImageFilterKernels

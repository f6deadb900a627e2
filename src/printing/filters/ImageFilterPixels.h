#pragma once

#include <QImage>

#include <algorithm>
#include <limits>

// The pixels a colour filter works on: a picture in straight (not premultiplied) RGBA of 8 or
// 16 bits a component, whose colours are read and written as values from 0 to 1.
class ImageFilterPixels {
public:
    // One pixel's colour: red, green, blue and alpha from 0 to 1, alpha not multiplied in.
    struct Pixel {
        float r;
        float g;
        float b;
        float a;
    };

    // A working copy of `input` in straight RGBA, or RGBX when it has no alpha, of 16 bits a
    // component when it has more than 8, else of 8.
    explicit ImageFilterPixels(const QImage& input);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }

    // Calls `change(pixel, index)` on every pixel, the index counting row by row from the top
    // left; the changed value is written back limited to 0 to 1 (and opaque where the picture
    // has no alpha).
    template <class Change>
    void forEachPixel(Change change);

    // The worked picture, in the format of the input.
    QImage result() const;

private:
    template <class Component, class Change>
    void forEachPixelOf(Change change);

    static float limited(float value) { return value > 0 ? std::min(value, 1.0f) : 0.0f; } // NaN gives 0

    QImage::Format m_inputFormat;
    QImage m_image;
    bool m_sixteenBits;
    bool m_opaque;
};

template <class Change>
void ImageFilterPixels::forEachPixel(Change change)
{
    if (m_sixteenBits)
        forEachPixelOf<quint16>(change);
    else
        forEachPixelOf<quint8>(change);
}

template <class Component, class Change>
void ImageFilterPixels::forEachPixelOf(Change change)
{
    constexpr float Maximum = std::numeric_limits<Component>::max();
    constexpr float Scale = 1.0f / Maximum;
    const int width = m_image.width();
    qsizetype index = 0;
    for (int y = 0; y < m_image.height(); ++y) {
        auto* components = reinterpret_cast<Component*>(m_image.scanLine(y));
        for (int x = 0; x < width; ++x, ++index, components += 4) {
            Pixel pixel{components[0] * Scale, components[1] * Scale, components[2] * Scale,
                        m_opaque ? 1.0f : components[3] * Scale};
            change(pixel, index);
            components[0] = Component(limited(pixel.r) * Maximum + 0.5f);
            components[1] = Component(limited(pixel.g) * Maximum + 0.5f);
            components[2] = Component(limited(pixel.b) * Maximum + 0.5f);
            components[3] = m_opaque ? Component(Maximum) : Component(limited(pixel.a) * Maximum + 0.5f);
        }
    }
}

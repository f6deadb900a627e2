#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>

// A colour space a print page is rendered in: an ICC profile read with lcms2,
// or sRGB. Immutable, so it may be shared between threads; every conversion
// opens its own profiles.
class ZORVAK_ColorSpace {
public:
    // The colour models, numbered as the print centre numbers them.
    enum class Model { Unknown = -1, Monochrome = 0, RGB = 1, CMYK = 2, Lab = 3, DeviceN = 4, XYZ = 7 };

    static std::shared_ptr<const ZORVAK_ColorSpace> sRGB();
    // The colour space of the profile `iccData`; null when lcms2 cannot read it.
    static std::shared_ptr<const ZORVAK_ColorSpace> fromICCData(const QByteArray& iccData);

    Model model() const { return m_model; }
    // Whether the profile can be rendered into (it has the tables or the
    // matrix a conversion into it needs).
    bool producesOutput() const { return m_producesOutput; }
    bool isSRGB() const { return m_isSRGB; }
    const QByteArray& iccData() const { return m_iccData; }

    // `picture` (sRGB, premultiplied 4-channel pixels of 8 or 16 bits) rendered
    // in this colour space, perceptual intent, into `format`: RGBX formats for an
    // RGB space, or grey of the same depth for a monochrome one. Clear pixels
    // come out black. A null image when the conversion cannot be made.
    QImage convertedFromSRGB(const QImage& picture, QImage::Format format) const;

    // How samples are laid out: three of 8 or 16 bits a pixel, red, green and blue, or with
    // `cmy` yellow, magenta and cyan (the inverted blue, green and red); packed into one buffer
    // or `planar`, one buffer each in that order, rows without padding.
    struct SampleLayout {
        int bitsPerComponent = 8;
        bool planar = false;
        bool cmy = false;
    };
    // `picture` (as for convertedFromSRGB) rendered in this RGB space straight into `samples` in
    // `layout`, in one pass: width x height x 3 samples, the three planes one after the other
    // when planar. False when the conversion cannot be made.
    bool renderSamples(const QImage& picture, const SampleLayout& layout, char* samples) const;

private:
    ZORVAK_ColorSpace(QByteArray iccData, Model model, bool producesOutput, bool isSRGB);

    QByteArray m_iccData;
    Model m_model = Model::Unknown;
    bool m_producesOutput = false;
    bool m_isSRGB = false;
};

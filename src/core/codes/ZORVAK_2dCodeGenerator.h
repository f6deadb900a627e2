#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QPainter;

// Keys of a code dictionary, the description of one code to draw.
inline const QString zorvak_2dCodeKey_message = QStringLiteral("zorvak_2dCodeKey_message");
inline const QString zorvak_2dCodeKey_type = QStringLiteral("zorvak_2dCodeKey_type");
inline const QString zorvak_2dCodeKey_scale = QStringLiteral("zorvak_2dCodeKey_scale");
inline const QString zorvak_2dCodeKey_origin = QStringLiteral("zorvak_2dCodeKey_origin");
inline const QString zorvak_2dCodeKey_position = QStringLiteral("zorvak_2dCodeKey_position");
inline const QString zorvak_2dCodeKey_isFlippedX = QStringLiteral("zorvak_2dCodeKey_isFlippedX");
inline const QString zorvak_2dCodeKey_isFlippedY = QStringLiteral("zorvak_2dCodeKey_isFlippedY");
inline const QString zorvak_2dCodeKey_object = QStringLiteral("zorvak_2dCodeKey_object");

// Makes the image of a machine-readable code for a message: type 0 Aztec,
// 1 QR, 2 Code 128, 3 PDF417 (any other type makes Code 128). The image is
// enlarged by outputScale, so one module is 16 pixels. The subclasses fix the
// type and give typed access to the symbology's one option.
class ZORVAK_2dCodeGenerator {
public:
    // A generator class: makes a new generator of that class.
    using GeneratorClass = std::unique_ptr<ZORVAK_2dCodeGenerator> (*)();
    using Reply = std::function<void(const QImage& bitmap, double outputScale)>;

    // Names of the options, the parameters of the code's generator.
    static inline const QString correctionLevelOption = QStringLiteral("inputCorrectionLevel");
    static inline const QString quietSpaceOption = QStringLiteral("inputQuietSpace");

    // The values an option accepts (bounds included): a number outside is
    // ignored in making a code and clears the options when set.
    struct OptionRange {
        double low;
        double high;
        std::optional<double> accepted(const QVariant& value) const;
    };
    static constexpr OptionRange aztecCorrectionRange{5, 95}; // percent
    static constexpr OptionRange pdf417CorrectionRange{0, 8};
    static constexpr OptionRange quietSpaceRange{0, 20};       // modules

    ZORVAK_2dCodeGenerator();
    virtual ~ZORVAK_2dCodeGenerator();

    QString message() const;
    void setMessage(const QString& message);
    int type() const;
    virtual void setType(int type);
    QVariantMap options() const;
    void setOptions(const QVariantMap& options);
    double outputScale() const;

    // The code, enlarged by outputScale; a null image without a message, for
    // an empty message, for one its symbology cannot encode losslessly (ISO
    // Latin 1, Code 128 ASCII) and for one the symbology refuses (too long).
    // Options out of their accepted range are ignored.
    QImage createOutputImageCore() const;
    // The code in the rendered-image format (RGBA premultiplied, sRGB).
    virtual QImage createOutputImage();
    // The image enlarged without smoothing, so modules stay sharp.
    static QImage image(const QImage& image, double scaledByX, double byY);

    // 1 QR, 2 Code 128, 3 PDF417, any other type Aztec.
    static GeneratorClass classForType(qint64 type);
    static GeneratorClass classForNumber(const QVariant& type);
    static std::unique_ptr<ZORVAK_2dCodeGenerator> make();
    static QImage createImageWithMessage(GeneratorClass generatorClass, const QString& message);
    // Calls the reply with the code (null when none could be made) and the
    // output scale; nothing without a reply.
    static void inputMessage(GeneratorClass generatorClass, const QString& message, const Reply& reply);

    // Division by the size gives the zero rectangle or point when the width or
    // the height is 0.
    static QRectF normalizedRect(const QRectF& rect, const QSizeF& forSize);
    static QRectF denormalizedRect(const QRectF& rect, const QSizeF& forSize);
    static QPointF normalizedPoint(const QPointF& point, const QSizeF& forSize);
    static QPointF denormalizedPoint(const QPointF& point, const QSizeF& forSize);
    // The lower-left corner, in the context's coordinates, of a code of the
    // given drawn size inside the rectangle: at the origin `point` (a point or
    // a point text, fractions of the rectangle, flipped as the options say)
    // or, when there is no origin, 10 pixels from the corner the options'
    // position names.
    static QPointF processedPoint(const QVariant& point, const QSizeF& size, const QRectF& rect,
                                  const QVariantMap& options);

    // Draws one code dictionary or a list of them into the context, whose
    // coordinates have their origin at the bottom left with y up. Each code
    // is drawn upright with `scale` pixels per module, placed inside the
    // rectangle; codes that cannot be made are left out.
    static void draw(const QVariant& codes, QPainter& context, const QRectF& insideRect);

protected:
    explicit ZORVAK_2dCodeGenerator(int type);
    // The options become just this one when the value is in range, else none.
    void setNumberOption(const QString& option, const std::optional<double>& value, const OptionRange& range);
    std::optional<double> numberOption(const QString& option) const;

private:
    QString m_message;
    int m_type = 0;
    QVariantMap m_options;
};

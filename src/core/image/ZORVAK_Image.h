#pragma once

#include "core/image/BitmapContext.h"
#include "core/image/ImageSource.h"
#include "core/text/AttributedString.h"

#include <QColor>
#include <QHash>
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

// The image and canvas object: wraps an image source, a decoded bitmap with
// optional metadata, or an attributed string; knows the metadata, orientation
// and sizes; owns or shares a canvas (BitmapContext) and draws itself into it
// with crop, fit mode, rotation, orientation, background, shadow and border.
// Geometry is in pixels with the origin at the bottom left and y up, except
// crop rectangles, which count rows from the top as bitmaps store them.
// One object is used by one queue at a time.
class ZORVAK_Image {
public:
    // The fit modes of `contentsGravity`; any other text stretches.
    static inline const QString kCAGravityResizeAspect = QStringLiteral("resizeAspect");
    static inline const QString kCAGravityResizeAspectFill = QStringLiteral("resizeAspectFill");
    static inline const QString defaultShadowColorCode = QStringLiteral("#00000055");
    static inline const QString defaultBorderColorCode = QStringLiteral("#FFFFFFFF");
    // The longer side of previews.
    static constexpr int previewPixelSize = 1000;

    ZORVAK_Image() = default;
    explicit ZORVAK_Image(std::shared_ptr<ImageSource> source);
    // A decoded bitmap; `metaData` as a source's properties would give it.
    ZORVAK_Image(const QImage& image, const std::optional<QVariantMap>& metaData);
    // Text to draw instead of an image; its border does not clip.
    explicit ZORVAK_Image(const AttributedString& string);

    // A bitmap (QImage), or a path text, file URL or data to open; none for
    // anything else or what cannot be opened.
    static std::shared_ptr<ZORVAK_Image> imageWithObject(const QVariant& object);
    // An upright preview of a path, file URL or data, at most `previewPixelSize`
    // on its longer side, without metadata. Previews of files are kept in a
    // process-wide cache bounded in memory, keyed by path, modification time and
    // size, so a changed file is previewed again.
    static std::shared_ptr<ZORVAK_Image> previewImageWithObject(const QVariant& object);
    // An image object for text: `string` with `attributes` over its whole length.
    static std::shared_ptr<ZORVAK_Image> imageWithDrawingString(const QString& string, const TextAttributes& attributes);
    // The same for an attributed string: given attributes replace its own.
    static std::shared_ptr<ZORVAK_Image> imageWithDrawingString(const AttributedString& string,
                                                                const std::optional<TextAttributes>& attributes);

    // Image input: `object` is a path text, a file URL or data.
    static std::shared_ptr<ImageSource> createCGImageSourceFromObject(const QVariant& object);
    // The first picture (null when none opens) and, when asked, its properties.
    static QImage createCGImageFromObject(const QVariant& object, QVariantMap* getProperties = nullptr);
    // Calls `reply` with every picture of the source, its index and properties.
    static void imageFromObject(const QVariant& object,
                                const std::function<void(const QImage& image, int index, const QVariantMap& properties)>& reply);
    static QVariantMap metaDataForImageSource(const ImageSource& source);

    // Metadata and orientation (EXIF 1-8; other numbers count as 1).
    QVariantMap metaData() const;
    int orientationNatural() const;
    int orientation() const;
    std::optional<int> orientationForced() const { return m_orientationForced; }
    void setOrientationForced(std::optional<int> orientation) { m_orientationForced = orientation; }
    static std::optional<int> orientationForImage(const QVariant& object);
    // The turn an orientation stands for: 3 pi, 6 pi/2, 8 -pi/2; none otherwise.
    static std::optional<double> rotationForImageMetaData(const QVariantMap& metaData);
    static std::optional<double> rotationForImage(const QVariant& object);

    // Sizes in pixels. Orientations 5 to 8 exchange width and height.
    QImage cgImage() const;
    QSizeF actualSize() const;
    QSizeF size() const;
    static QSizeF orientedSizeForOrientation(int orientation, const QSizeF& size);
    QSizeF orientedSizeForSize(const QSizeF& size) const;
    QSizeF orientedSize() const;
    QSizeF naturalOrientedSize() const;
    static QSizeF sizeForImageMetaData(const QVariantMap& metaData, bool oriented = false);
    static QSizeF orientedSizeForImageMetaData(const QVariantMap& metaData);
    static QSizeF sizeForImage(const ZORVAK_Image& image);
    static QSizeF sizeForImage(const QVariant& object);
    static QSizeF orientedSizeForImage(const ZORVAK_Image& image);
    static QSizeF orientedSizeForImage(const QVariant& object);

    // Canvas. A new canvas of `size` (sides truncated to whole pixels) replaces
    // the current one; none (and no canvas) when a side is not above 0 or the
    // size is beyond the canvas limits.
    std::shared_ptr<BitmapContext> drawingContextWithCanvasSize(const QSizeF& size);
    void setDrawingContext(std::shared_ptr<BitmapContext> context) { m_drawingContext = std::move(context); }
    // The canvas; logs and gives none when there is none.
    std::shared_ptr<BitmapContext> drawingContext() const;
    QSizeF drawingContextSize() const;

    // Geometry relative to a size; zero results when a side of `size` is 0.
    static QRectF normalizedRect(const QRectF& rect, const QSizeF& size);
    static QRectF denormalizedRect(const QRectF& rect, const QSizeF& size);
    static QPointF normalizedPoint(const QPointF& point, const QSizeF& size);
    static QPointF denormalizedPoint(const QPointF& point, const QSizeF& size);

    // A colour of a code; opaque black, logged, for a null code.
    static QColor createColorWithHexcode(const QString& hexcode);
    // Colours cached on this object.
    void setColorWithHexcode(const QString& hexcode, const QString& forKey);
    QColor colorForKey(const QString& key) const;
    QColor colorForHexcode(const QString& hexcode);

    // Drawing settings.
    QRectF destinationRect() const { return m_destinationRect; }
    void setDestinationRect(const QRectF& rect) { m_destinationRect = rect; }
    QRectF cropRect() const { return m_cropRect; }
    void setCropRect(const QRectF& rect) { m_cropRect = rect; }
    bool isNormalizedCropRect() const { return m_isNormalizedCropRect; }
    void setIsNormalizedCropRect(bool normalized) { m_isNormalizedCropRect = normalized; }
    QString contentsGravity() const { return m_contentsGravity; }
    void setContentsGravity(const QString& gravity) { m_contentsGravity = gravity; }
    std::optional<double> rotation() const { return m_rotation; }
    void setRotation(std::optional<double> radians) { m_rotation = radians; }
    QString backgroundColorCode() const { return m_backgroundColorCode; }
    void setBackgroundColorCode(const QString& code) { m_backgroundColorCode = code; }
    bool hasShadow() const { return m_hasShadow; }
    void setHasShadow(bool shadow) { m_hasShadow = shadow; }
    QSizeF shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(const QSizeF& offset) { m_shadowOffset = offset; }
    double shadowBlur() const { return m_shadowBlur; }
    void setShadowBlur(double blur) { m_shadowBlur = blur; }
    QString shadowColorCode() const { return m_shadowColorCode; }
    void setShadowColorCode(const QString& code) { m_shadowColorCode = code; }
    bool hasBorder() const { return m_hasBorder; }
    void setHasBorder(bool border) { m_hasBorder = border; }
    bool borderClipsContent() const { return m_borderClipsContent; }
    void setBorderClipsContent(bool clips) { m_borderClipsContent = clips; }
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width) { m_borderWidth = width; }
    QString borderColorCode() const { return m_borderColorCode; }
    void setBorderColorCode(const QString& code) { m_borderColorCode = code; }

    // Draws the object into its canvas inside `destinationRect` (the whole
    // canvas when that is the zero rectangle).
    void draw();
    // Pays, once per process, what the first drawing would otherwise pay: the
    // image format plugins and codecs, the metadata reader and writer, the font
    // database and text shaping, the workers that decode layers and the bitmap
    // memory of a first rendering (kept in the pixel buffer pool, within its
    // bound). Processes that render call it at start, so that their first
    // rendering costs no more than later ones. Thread-safe.
    static void prepareForDrawing();
    // Decodes the picture as draw() needs it with the present settings and
    // canvas, so that decoding may run on another thread ahead of drawing (the
    // object passes to that thread meanwhile); the next draw() takes the result
    // when the settings are still the same, and decodes afresh otherwise. Does
    // nothing for text or a picture already decoded.
    void decodeForDrawing();
    // Strokes `frame` inside its edge with a line of `width`, corners rounded by `corner`.
    static void drawBorderforFrame(QPainter& painter, const QRectF& frame, double width, const QColor& color, double corner);
    // The part of `image` under `rect`, given in pixels of the upright picture
    // (rows from the top); null when the rectangle lies outside the bitmap.
    static QImage croppedImage(const QImage& image, const QRectF& withRect, int orientation);
    QImage croppedImage(const QImage& image, const QRectF& withRect) const;
    QImage croppedImageWithRect(const QRectF& rect) const;
    // A rectangle in the upright picture of `imageSize` as stored pixels.
    static QRectF transformedRect(const QRectF& rect, const QSizeF& forImageSize, int orientation);
    // Lays out `string` in `inRect` from its top, wrapping lines at its width.
    static void renderString(const AttributedString& string, BitmapContext* toContext, const QRectF& inRect);
    void renderString(const AttributedString& string, const QRectF& inDrawingRect);
    // The picture scaled so that its longer side is `maxDimension` pixels; this
    // object's canvas becomes that picture's canvas.
    QImage copyWithMaxDimension(double maxDimension);

private:
    struct Placement;
    // A reduced decoding made ahead of drawing, for the placement it was made for.
    struct DecodedForDrawing {
        int orientation;
        QRectF content;
        QRectF storedSource;
        QRectF bitmapSource;
        int bitmapOrientation;
        QRectF bitmapContent;
        QImage bitmap;
    };

    bool hasBitmap() const { return m_image || m_source; }
    QRectF bitmapSourceRect() const;
    void fit(Placement& placement) const;
    Placement placementInDestination() const;
    QImage bitmapForPlacement(Placement& placement) const;
    QImage bitmapToDraw(Placement& placement);
    void drawContent(QPainter& painter, const Placement& placement, const QImage& bitmap) const;
    void drawWithShadow(QPainter& painter, const Placement& placement, const QImage& bitmap) const;

    std::shared_ptr<ImageSource> m_source;
    mutable std::optional<QImage> m_image;
    std::optional<DecodedForDrawing> m_decodedForDrawing;
    std::optional<QVariantMap> m_metaData;
    std::optional<AttributedString> m_string;
    std::shared_ptr<BitmapContext> m_drawingContext;
    QHash<QString, QColor> m_colors;

    QRectF m_destinationRect;
    QRectF m_cropRect;
    bool m_isNormalizedCropRect = false;
    std::optional<int> m_orientationForced;
    QString m_contentsGravity;
    std::optional<double> m_rotation;
    QString m_backgroundColorCode;
    bool m_hasShadow = false;
    QSizeF m_shadowOffset{0, 0};
    double m_shadowBlur = 0;
    QString m_shadowColorCode = defaultShadowColorCode;
    bool m_hasBorder = false;
    bool m_borderClipsContent = true;
    double m_borderWidth = 10.0;
    QString m_borderColorCode = defaultBorderColorCode;
};

#pragma once

#include "template/KOVA_DrawingOptions.h"
#include "template/KOVA_RenderOptions.h"
#include "template/KOVA_Template.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class BitmapContext;
class ZORVAK_Image;

namespace platform {
class DispatchGroup;
}

// The compositor: turns one template (or a container layer standing for a nested
// template) with its layers into a new picture of the rendered-image type. The canvas
// has the template's scaled frame size and is white where the template has a
// background; each layer is drawn over those below it, in z order, through one
// ZORVAK_Image that takes the layer's picture and settings (crop, gravity,
// background, rotation, border, shadow). A template without layers is drawn as its
// own single layer.
//
// Layer pictures: a container's comes from the container's own image() (its cache);
// an image or graphic layer's file is opened as given, else searched for in the
// folders "Images", "Graphics" and "Templates" of the job container (or the folder
// holding the template file) and of the part of the template's path before
// "Templates/"; an entry of the job container that a link takes out of it is refused,
// and the composition with it (no picture); graphics in PDF files are rasterised at the layer's size; an image
// layer falls back to the job's image. Text and stamp layers draw their text.
//
// The render options decide the mode and scale: in preview mode graphics use their
// reduced picture and image layers whose file is missing show a placeholder; in
// unrotated mode no layer is turned; every frame, border width and font size is drawn
// at the options' scale. Container layers are drawn in the same preview mode and scale,
// never unrotated. The template and its layers are only read, so any number of
// compositions of one template may run at once. Runs on the calling queue (the
// template's rendering queue) and keeps no state between calls; the pictures of image
// and graphic layers are decoded ahead on the user-initiated global queue, several at
// once.
//
// Every picture is placed the same way, turned from the composition's top-left geometry
// into the canvas's bottom-left one and given its drawing options: the layers of a
// template, the layers of a template whose pictures a caller finds its own way
// (composeLayers), and pictures a caller draws into a canvas of its own at frames and
// with options of its own (drawPicture: the placement nodes of an output).
class KOVA_ProductImageComposer {
public:
    // A layer's picture, cropped and turned, and the options it is drawn with; no
    // picture when the layer shows nothing.
    struct LayerPicture {
        std::shared_ptr<ZORVAK_Image> picture;
        KOVA_DrawingOptions options;
    };
    using LayerPictures = std::function<LayerPicture(const KOVA_Template& layer)>;
    // Where the rows of a layer's stored crop rectangle are counted from.
    enum class CropRows { FromTop, FromBottom };

    // The folders searched for layer pictures, in order.
    static const QStringList& searchFolders();
    // The placeholder picture of image layers in previews, among the resources.
    static inline const QString placeholderResourceName = QStringLiteral("Girl and Butterfly");

    // `frame`, given from the top left of a composition `height` high (y down), as
    // the canvas measures it: from the bottom left, y up.
    static QRectF canvasRect(const QRectF& frame, double height);
    // Draws `picture` with `options` into `canvas` at `frame`, given from the top left
    // of a composition `height` high.
    static void drawPicture(ZORVAK_Image& picture, const std::shared_ptr<BitmapContext>& canvas, double height,
                            const QRectF& frame, const KOVA_DrawingOptions& options);
    // Gives the picture the layer's crop rectangle, when it has one that is not empty.
    // Rows counted from the bottom are turned into the picture's own, from the top.
    static void applyCrop(ZORVAK_Image& picture, const KOVA_Template& layer, CropRows rows = CropRows::FromTop);

    KOVA_ProductImageComposer(const KOVA_Template& productTemplate, const KOVA_RenderOptions& options);

    // The composed picture; a null image when the canvas cannot be made (a side below
    // one pixel, or beyond the canvas limits, which is logged) or a layer's picture is
    // refused for leading out of the job (logged with the entry).
    QImage createProductImage();
    // The template's layers alone, with the pictures and options `pictures` gives,
    // each at its layer's frame, on a canvas of the template's frame at the options'
    // scale that is left transparent; the template itself is never drawn. A null image
    // when the canvas cannot be made.
    QImage composeLayers(const LayerPictures& pictures);

private:
    std::shared_ptr<BitmapContext> createCanvas() const;
    void fillBackground();
    QImage takeComposedImage();
    // A layer's picture and, for a picture being decoded ahead, the group to wait on.
    struct DecodingPicture {
        std::shared_ptr<ZORVAK_Image> picture;
        std::shared_ptr<platform::DispatchGroup> decoding;
    };

    void drawLayers(const KOVA_Template::List& layers, const LayerPictures& pictures);
    DecodingPicture decodingAhead(const KOVA_Template& layer, const LayerPictures& pictures) const;
    // The picture, set to be drawn into the canvas at the layer's frame (at the
    // origin for the template itself); none when the layer shows nothing.
    std::shared_ptr<ZORVAK_Image> placedPicture(const KOVA_Template& layer, bool isTemplate,
                                                const LayerPicture& layerPicture) const;
    static void placePicture(ZORVAK_Image& picture, const std::shared_ptr<BitmapContext>& canvas, double height,
                             const QRectF& frame, const KOVA_DrawingOptions& options);
    LayerPicture preparedPicture(const KOVA_Template& layer, bool isTemplate) const;
    std::shared_ptr<ZORVAK_Image> pictureForLayer(const KOVA_Template& layer, bool isTemplate, const QSizeF& size) const;
    std::shared_ptr<ZORVAK_Image> containerPicture(const KOVA_Template& layer, bool isTemplate) const;
    std::shared_ptr<ZORVAK_Image> graphicPicture(const KOVA_Template& layer, const QSizeF& size) const;
    std::shared_ptr<ZORVAK_Image> textPicture(const KOVA_Template& layer) const;
    // The file search of image and graphic layers, with the fallbacks of image layers.
    std::shared_ptr<ZORVAK_Image> filePicture(const KOVA_Template& layer, const QSizeF& size) const;
    std::shared_ptr<ZORVAK_Image> searchedPicture(const KOVA_Template& layer, const QSizeF& size) const;
    // Where a picture named by a relative path may be, in the order of the search.
    QStringList searchLocations(const QString& graphicPath) const;
    // The job container's folder, cleaned; empty when the template belongs to none.
    QString jobFolder() const;
    // Whether `location`, inside the job container as written, leads out of it through a link.
    bool leadsOutOfJob(const QString& location) const;
    // The picture at `location`; a graphic's PDF file rasterised at `size`.
    static std::shared_ptr<ZORVAK_Image> loadPicture(const QVariant& location, const KOVA_Template& layer,
                                                     const QSizeF& size);
    static std::shared_ptr<ZORVAK_Image> placeholderPicture(const QSizeF& size);
    // Turns the picture a quarter so that its long side runs along the layer's.
    static void autorotate(ZORVAK_Image& picture, const QSizeF& layerSize);
    KOVA_DrawingOptions layerOptions(const KOVA_Template& layer) const;

    const KOVA_Template& m_template;
    const KOVA_RenderOptions m_options;
    // The template's frame at the options' scale: the canvas.
    const QRectF m_frame;
    std::shared_ptr<BitmapContext> m_canvas;
    // Set while composing when a layer's picture was refused for leading out of the job:
    // the composition then gives no picture at all, so that the output fails.
    mutable bool m_refusedPicture = false;
};

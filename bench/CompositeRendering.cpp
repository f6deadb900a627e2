#include "CompositeRendering.h"

#include "JpegFloor.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "template/KOVA_Template.h"

#include <QImage>
#include <QUrl>

namespace {

// The composite's template from its file. Photo A is shown as it is, centre
// cropped; a template file cannot switch off autorotation, which would turn it
// to run along its portrait frame.
KOVA_Template::Pointer loadComposite(const QString& templatePath)
{
    const KOVA_Template::Pointer composite = KOVA_Template::templateWithPath(templatePath, QUrl());
    if (composite && !composite->layers().isEmpty())
        composite->layers().constFirst()->setAutorotate(false);
    return composite;
}

} // namespace

namespace CompositeRendering {

bool render(const QString& templatePath, const QString& destination)
{
    const KOVA_Template::Pointer composite = loadComposite(templatePath);
    if (!composite)
        return false;
    const QImage image = composite->imageUncached();
    return !image.isNull()
        && ZORVAK_ImageWriter::writeImage(image, QUrl::fromLocalFile(destination),
                                          {{zorvakImageKey_lossyCompressionQuality, JpegFloor::quality / 100.0}});
}

} // namespace CompositeRendering

#include "HostileFiles.h"
#include "core/image/ImageSource.h"
#include "core/image/UprightImageReader.h"
#include "core/image/ZORVAK_ImageBitmaps.h"

#include <gtest/gtest.h>

using kova::test::loggedBy;

TEST(PictureFileReaders, RefuseSpecialAndOversizedFilesNamingThePath)
{
    const kova::test::ScratchFolder folder;
    const auto pictureNamed = [&](const QString& kind) { return folder.path(kind + QStringLiteral(".jpeg")); };
    const qint64 pictureLimit = UprightImageReader::maximumFileSize;
    const kova::test::PathReader readers[] = {
        {"the upright reader", pictureLimit, pictureNamed,
         [](const QString& path) { return loggedBy([&] { UprightImageReader::read(path); }); }},
        {"the barcode reader", pictureLimit, pictureNamed,
         [](const QString& path) { return loggedBy([&] { ZORVAK_ImageBitmaps::decodedBarcodeImage(path); }); }},
        {"the 16-bit bitmap reader", pictureLimit, pictureNamed,
         [](const QString& path) { return loggedBy([&] { ZORVAK_ImageBitmaps::rgbaBitmapDataWithObject(QUrl::fromLocalFile(path)); }); }},
        {"the image source", ImageSource::maxFileBytes, pictureNamed,
         [](const QString& path) {
             platform::Error error;
             ImageSource::create(path, &error);
             return error.message;
         }},
        {"the PDF rasteriser", ZORVAK_ImageBitmaps::maximumPDFFileSize,
         [&](const QString& kind) { return folder.path(kind + QStringLiteral(".pdf")); },
         [](const QString& path) {
             platform::Error error;
             ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(10, 10), std::nullopt, {}, &error);
             return error.message;
         }},
    };
    for (const kova::test::PathReader& reader : readers)
        kova::test::expectSpecialFilesRefused(reader);
}

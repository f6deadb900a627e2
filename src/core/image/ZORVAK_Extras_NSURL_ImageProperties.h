#pragma once

#include <QUrl>
#include <QVariantMap>

#include <functional>

// The image-file utilities of the URL category (ZORVAK_Extras_NSURL.h): they
// rewrite an image's metadata, which takes the image code, so they live here.
namespace ZORVAK_Extras_NSURL {

// Gets the image's metadata (ImageProperties) and answers what to write.
using PropertiesBlock = std::function<QVariantMap(QVariantMap properties)>;

// Rewrites the image's metadata through `block` without re-encoding its pixels,
// atomically into `destination`, or over the image itself when `destination`
// is empty, and gives the written file the image's modification date. Answers
// whether a file was written; every failure is logged with the path and the
// reason. Without a block nothing happens.
bool changeImageProperties(const QUrl& url, const PropertiesBlock& block, const QUrl& destination = {});

// changeImageProperties() setting the orientation, when it is from 1 to 8;
// any other value changes nothing.
bool setImageOrientation(const QUrl& url, int orientation, const QUrl& destination = {});

} // namespace ZORVAK_Extras_NSURL

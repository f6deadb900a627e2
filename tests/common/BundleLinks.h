#pragma once

// The ways a job bundle's picture can be reached through a symbolic link: out of the
// bundle (the picture itself, or its images folder), or to another place inside it.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <functional>

namespace kova::test {

enum class BundleLink { PictureLinkedOut, ImagesFolderLinkedOut, PictureLinkedInside, ImagesFolderLinkedInside };

inline const char* nameOf(BundleLink link)
{
    switch (link) {
    case BundleLink::PictureLinkedOut: return "picture linked out";
    case BundleLink::ImagesFolderLinkedOut: return "images folder linked out";
    case BundleLink::PictureLinkedInside: return "picture linked inside";
    case BundleLink::ImagesFolderLinkedInside: return "images folder linked inside";
    }
    return "";
}

inline bool leadsOut(BundleLink link)
{
    return link == BundleLink::PictureLinkedOut || link == BundleLink::ImagesFolderLinkedOut;
}

// A link at `at` to `target`, with the folders `at` lies in.
inline bool linkMakingFolders(const QString& target, const QString& at)
{
    return QDir().mkpath(QFileInfo(at).path()) && QFile::link(target, at);
}

// Makes `bundle`/`images`/`name` reach a picture as `link` says: the file `outside` (or
// its folder, for the images folder), or a picture inside the bundle that `write` makes,
// with its folders, at the path it is given.
inline bool layBundleLink(BundleLink link, const QString& bundle, const QString& images, const QString& name,
                          const QString& outside, const std::function<bool(const QString& path)>& write)
{
    const QString folder = bundle + QLatin1Char('/') + images;
    switch (link) {
    case BundleLink::PictureLinkedOut:
        return linkMakingFolders(outside, folder + QLatin1Char('/') + name);
    case BundleLink::ImagesFolderLinkedOut:
        return linkMakingFolders(QFileInfo(outside).path(), folder);
    case BundleLink::PictureLinkedInside:
        return write(folder + QStringLiteral("/sub/") + name) && linkMakingFolders(QStringLiteral("sub/") + name, folder + QLatin1Char('/') + name);
    case BundleLink::ImagesFolderLinkedInside:
        return write(bundle + QStringLiteral("/pictures/") + name) && linkMakingFolders(QStringLiteral("pictures"), folder);
    }
    return false;
}

} // namespace kova::test

#include "platform/defaults/JavaPreferences.h"

#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/StandardPaths.h"
#include "platform/xml/XmlDocument.h"

#include <QDir>

#include <cerrno>

namespace platform {
namespace {
constexpr int maximumDepth = 32;
constexpr int maximumNodes = 4096;
constexpr qint64 maximumPrefsFileSize = 4 * 1024 * 1024;
} // namespace

QString JavaPreferences::defaultUserRoot()
{
    return StandardPaths::path(StandardPaths::Folder::Home) + QStringLiteral("/.java/.userPrefs");
}

QVariantMap JavaPreferences::read(const QString& userRoot)
{
    int nodesLeft = maximumNodes;
    return {{QStringLiteral("/"), readNode(userRoot, 0, nodesLeft)}};
}

QVariantMap JavaPreferences::readNode(const QString& folder, int depth, int& nodesLeft)
{
    QVariantMap node = readEntries(folder + QStringLiteral("/prefs.xml"));
    if (depth >= maximumDepth)
        return node;
    const QStringList children = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString& child : children) {
        if (--nodesLeft < 0)
            break;
        node.insert(child + QLatin1Char('/'), readNode(folder + QLatin1Char('/') + child, depth + 1, nodesLeft));
    }
    return node;
}

QVariantMap JavaPreferences::readEntries(const QString& prefsFile)
{
    Error error;
    const std::optional<QByteArray> contents = BoundedFileRead::contents(prefsFile, maximumPrefsFileSize, &error);
    if (!contents) {
        if (error.code != ENOENT) // a node without entries has no file
            Log::error(QStringLiteral("cannot read the Java preferences %1").arg(error.message));
        return {};
    }
    const auto document = XmlDocument::parse(*contents, {});
    if (!document)
        return {};
    QVariantMap entries;
    for (const XmlNode& entry : document->rootElement().elementsForName(QStringLiteral("entry"))) {
        const XmlNode key = entry.attributeForName(QStringLiteral("key"));
        if (!key.isNull())
            entries.insert(key.stringValue(), entry.attributeForName(QStringLiteral("value")).stringValue());
    }
    return entries;
}

} // namespace platform

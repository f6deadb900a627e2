#include "platform/files/FileNames.h"

#include <QFileInfo>

namespace platform {
namespace {

// Replaces what would split a name or end it early.
QString withoutSeparators(QString name)
{
    name.replace(QLatin1Char('/'), QLatin1Char(':'));
    name.replace(QChar(u'\0'), QLatin1Char(':'));
    return name;
}

bool namesNoFile(const QString& name)
{
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
}

// The extension with its dot, when the name has one that leaves room for some base.
QString keptExtension(const QString& name, qsizetype maximumBytes)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {};
    const QString extension = name.mid(dot);
    return FileNames::byteLength(extension) < maximumBytes / 2 ? extension : QString();
}

} // namespace

QString FileNames::pathComponent(const QString& name, qsizetype maximumBytes)
{
    const QString component = withoutSeparators(name);
    if (namesNoFile(component))
        return FallbackName;
    if (byteLength(component) <= maximumBytes)
        return component;
    const QString extension = keptExtension(component, maximumBytes);
    const QString base = component.left(component.size() - extension.size());
    const QString shortened = FileNames::truncatedToBytes(base, maximumBytes - byteLength(extension)) + extension;
    return namesNoFile(shortened) ? FallbackName : shortened;
}

QString FileNames::joinedComponent(const QString& base, const QString& suffix, qsizetype maximumBytes)
{
    const QString tail = QLatin1Char('_') + pathComponent(suffix, maximumBytes / 2);
    return pathComponent(base, maximumBytes - byteLength(tail)) + tail;
}

QString FileNames::truncatedToBytes(const QString& text, qsizetype maximumBytes)
{
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const char16_t unit = text.at(end).unicode();
        const bool pair = QChar::isHighSurrogate(unit) && end + 1 < text.size() && text.at(end + 1).isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        const qsizetype characterBytes = pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        if (bytes + characterBytes > maximumBytes)
            break;
        bytes += characterBytes;
        end += length;
    }
    return text.left(end);
}

bool FileNames::isInsideFolder(const QString& path, const QString& folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    const QString prefix = canonicalFolder.endsWith(QLatin1Char('/')) ? canonicalFolder : canonicalFolder + QLatin1Char('/');
    return !canonicalFolder.isEmpty() && canonicalPath.startsWith(prefix);
}

qsizetype FileNames::byteLength(const QString& text)
{
    return text.toUtf8().size();
}

} // namespace platform

#include "platform/files/ResourcePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace platform::ResourcePaths {

namespace {

QStringList resourceFolders()
{
    const QString programFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return {QDir(programFolder).filePath(QStringLiteral("../share/kova")), QStringLiteral(KOVA_INSTALL_DATA_DIR),
            QStringLiteral(KOVA_BUILD_DATA_DIR)};
}

} // namespace

QString pathForResource(const QString& name, const QString& type)
{
    const QString fileName = name + QLatin1Char('.') + type;
    for (const QString& folder : resourceFolders()) {
        const QFileInfo file(QDir(folder).filePath(fileName));
        if (file.isFile())
            return file.canonicalFilePath();
    }
    return {};
}

} // namespace platform::ResourcePaths

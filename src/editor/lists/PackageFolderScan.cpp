#include "editor/lists/PackageFolderScan.h"

#include "editor/lists/TemplateFolderScan.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>

namespace {

// The content modification time in nanoseconds, or -1 when the file cannot be read.
qint64 modificationTime(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

} // namespace

PackageFolderScan::PackageFolderScan(QString folder)
    : m_folder(std::move(folder))
{
}

const PackageFolderScan::List& PackageFolderScan::scan()
{
    if (!QFileInfo(m_folder).isDir()) {
        platform::Log::log(QStringLiteral("%1 is NOT a directory path!").arg(m_folder));
        return m_packages;
    }
    QSet<QString> leftovers(m_knownFiles.keyBegin(), m_knownFiles.keyEnd());
    for (const QString& path : TemplateFolderScan::itemPaths(m_folder)) {
        if (!TemplateFolderScan::isXmlFile(path, false)) {
            platform::Log::log(QStringLiteral("file that is not an xml type: %1").arg(QUrl::fromLocalFile(path).toString()));
            continue;
        }
        if (update(path))
            leftovers.remove(path);
    }
    for (const QString& path : leftovers) {
        removePackage(path);
        m_knownFiles.remove(path);
    }
    return m_packages;
}

bool PackageFolderScan::update(const QString& path)
{
    const qint64 time = modificationTime(path);
    if (m_knownFiles.contains(path) && m_knownFiles.value(path) == time)
        return true;
    const auto package = KOVA_Package::instanceWithXMLObject<KOVA_Package>(QUrl::fromLocalFile(path));
    if (!package)
        return false;
    // The root's attributes give the name the list shows; its templates are read when used.
    package->parseXML([](const QVariantMap&, const platform::Error&, bool& stop) { stop = true; });
    removePackage(path);
    m_packages.append(package);
    m_knownFiles.insert(path, time);
    return true;
}

void PackageFolderScan::removePackage(const QString& path)
{
    for (qsizetype index = 0; index < m_packages.size(); ++index) {
        if (m_packages.at(index)->documentURL().toLocalFile() == path) {
            m_packages.removeAt(index);
            return;
        }
    }
}

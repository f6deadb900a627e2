#include "platform/files/StandardPaths.h"

#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StagingItems.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

// user-dirs.dirs is a few lines; anything larger is not one.
constexpr qint64 maxUserDirsFileSize = 64 * 1024;

// An environment variable naming a folder counts only when it is absolute.
QString absolutePathFromEnvironment(const char* variable)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

QString homeFolder()
{
    if (const QString home = absolutePathFromEnvironment("HOME"); !home.isEmpty())
        return home;
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return QDir::cleanPath(QFile::decodeName(found->pw_dir));
    return QStringLiteral("/");
}

QString xdgFolder(const char* variable, const QString& defaultUnderHome)
{
    const QString value = absolutePathFromEnvironment(variable);
    return value.isEmpty() ? homeFolder() + QLatin1Char('/') + defaultUnderHome : value;
}

QString configHome() { return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")); }
QString stateHome() { return xdgFolder("XDG_STATE_HOME", QStringLiteral(".local/state")); }
QString dataHome() { return xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")); }
QString cacheHome() { return xdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache")); }

// A shell word as xdg-user-dirs writes it: in double quotes, with backslash escapes.
QString unquotedShellValue(const QString& value)
{
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) || !value.endsWith(QLatin1Char('"')))
        return value;
    QString text;
    const QStringView inner = QStringView(value).mid(1, value.size() - 2);
    for (qsizetype at = 0; at < inner.size(); ++at) {
        if (inner.at(at) == QLatin1Char('\\') && at + 1 < inner.size())
            ++at;
        text += inner.at(at);
    }
    return text;
}

// The desktop folder a user-dirs.dirs line names: "$HOME/..." or absolute.
QString desktopFromUserDirsValue(const QString& value, const QString& home)
{
    const QString path = unquotedShellValue(value);
    const QLatin1String homeVariable("$HOME");
    if (path.startsWith(homeVariable)) {
        const QString rest = path.mid(homeVariable.size());
        return rest.isEmpty() || rest.startsWith(QLatin1Char('/')) ? QDir::cleanPath(home + rest) : QString();
    }
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

QString desktopFolder()
{
    const QString home = homeFolder();
    QString desktop = home + QStringLiteral("/Desktop");
    Error error;
    const std::optional<QByteArray> contents
        = BoundedFileRead::contents(configHome() + QStringLiteral("/user-dirs.dirs"), maxUserDirsFileSize, &error);
    if (!contents) {
        if (error.code != ENOENT)
            Log::error(QStringLiteral("cannot read the user folders: %1").arg(error.message));
        return desktop;
    }
    const QLatin1String key("XDG_DESKTOP_DIR=");
    for (const QByteArray& line : contents->split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.startsWith(key))
            continue;
        // Like the shell that sources the file, the last assignment counts.
        if (const QString named = desktopFromUserDirsValue(text.mid(key.size()), home); !named.isEmpty())
            desktop = named;
    }
    return desktop;
}

QString underLocalRoot(const QString& relative)
{
    const QString root = qEnvironmentVariable("KOVA_LOCAL_DOMAIN");
    const QString absoluteRoot = root.isEmpty() ? QStringLiteral("/") : QDir(root).absolutePath();
    return QDir::cleanPath(absoluteRoot + QLatin1Char('/') + relative);
}

QString userPath(StandardPaths::Folder folder)
{
    using Folder = StandardPaths::Folder;
    switch (folder) {
    case Folder::Home: return homeFolder();
    case Folder::Temporary: return QDir::cleanPath(QDir::tempPath());
    case Folder::Preferences: return configHome();
    case Folder::Library: return stateHome();
    case Folder::Logs: return stateHome() + QStringLiteral("/Logs");
    case Folder::ApplicationSupport: return dataHome();
    case Folder::Caches: return cacheHome();
    case Folder::Desktop: return desktopFolder();
    case Folder::Trash: return dataHome() + QStringLiteral("/Trash");
    case Folder::ColorProfiles: return dataHome() + QStringLiteral("/icc");
    default: return {};
    }
}

QString localPath(StandardPaths::Folder folder)
{
    using Folder = StandardPaths::Folder;
    switch (folder) {
    case Folder::ApplicationSupport: return underLocalRoot(QStringLiteral("var/lib"));
    case Folder::Applications: return underLocalRoot(QStringLiteral("opt"));
    case Folder::ColorProfiles: return underLocalRoot(QStringLiteral("usr/local/share/color/icc"));
    default: return {};
    }
}

QString systemPath(StandardPaths::Folder folder)
{
    return folder == StandardPaths::Folder::ColorProfiles ? underLocalRoot(QStringLiteral("usr/share/color/icc")) : QString();
}

// The device of the path or of its nearest existing ancestor.
std::optional<dev_t> deviceOf(const QString& path)
{
    QString existing = QDir::cleanPath(QDir(path).absolutePath());
    struct stat status {};
    while (::stat(QFile::encodeName(existing).constData(), &status) != 0) {
        if (existing == QLatin1String("/"))
            return std::nullopt;
        existing = QFileInfo(existing).path();
    }
    return status.st_dev;
}

// The temporary folder, or the cache folder when only that one shares a file
// system with `appropriateFor`.
QString itemReplacementBase(const QString& appropriateFor)
{
    const QString temporary = userPath(StandardPaths::Folder::Temporary);
    const std::optional<dev_t> device = deviceOf(appropriateFor);
    if (!device || deviceOf(temporary) == device)
        return temporary;
    const QString caches = StandardPaths::createdPath(StandardPaths::Folder::Caches, StandardPaths::Domain::User);
    return !caches.isEmpty() && deviceOf(caches) == device ? caches : temporary;
}

// The program an items folder is named after.
QString itemReplacementProgram()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("kova") : name;
}

} // namespace

QString StandardPaths::path(Folder folder, Domain domain)
{
    switch (domain) {
    case Domain::User: return userPath(folder);
    case Domain::Local: return localPath(folder);
    case Domain::System: return systemPath(folder);
    }
    return {};
}

QString StandardPaths::createdPath(Folder folder, Domain domain, Error* error)
{
    const QString folderPath = path(folder, domain);
    if (folderPath.isEmpty()) {
        setError(error, Error::fromErrno(ENOENT, QStringLiteral("no such standard folder in this domain")));
        return {};
    }
    return FileOperations::makeDirectory(folderPath, true, error) ? folderPath : QString();
}

QStringList StandardPaths::pathsInEveryDomain(Folder folder)
{
    QStringList paths;
    for (const Domain domain : {Domain::User, Domain::Local, Domain::System}) {
        if (const QString folderPath = path(folder, domain); !folderPath.isEmpty())
            paths += folderPath;
    }
    return paths;
}

QString StandardPaths::makeItemReplacementFolder(const QString& appropriateFor, Error* error)
{
    return StagingItems::makeProcessFolder(itemReplacementBase(appropriateFor), itemReplacementProgram(), error);
}

void StandardPaths::removeStaleItemReplacementFolders()
{
    for (const Folder folder : {Folder::Temporary, Folder::Caches}) {
        if (const QString base = userPath(folder); QFileInfo(base).isDir())
            StagingItems::removeStaleProcessFolders(base, itemReplacementProgram());
    }
}

void StandardPaths::pointEveryDomainInto(const QString& root)
{
    const auto point = [&root](const char* variable, const QString& sub) {
        const QString path = root + QLatin1Char('/') + sub;
        QDir().mkpath(path);
        setenv(variable, QFile::encodeName(path).constData(), 1);
    };
    point("HOME", QStringLiteral("home"));
    point("XDG_CONFIG_HOME", QStringLiteral("home/.config"));
    point("XDG_STATE_HOME", QStringLiteral("home/.local/state"));
    point("XDG_DATA_HOME", QStringLiteral("home/.local/share"));
    point("XDG_CACHE_HOME", QStringLiteral("home/.cache"));
    point("XDG_RUNTIME_DIR", QStringLiteral("runtime"));
    point("KOVA_LOCAL_DOMAIN", QStringLiteral("local"));
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // No session bus unless one is started there: never the user's own.
    setenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=") + root + QStringLiteral("/runtime/no-bus")).constData(), 1);
}

} // namespace platform

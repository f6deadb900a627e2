#include "helper/lib/SystemFolderOwnership.h"

#include <cerrno>
#include <grp.h>
#include <unistd.h>
#include <vector>

namespace kova::helper {

namespace {

constexpr uid_t superuser = 0;

// The group's id, or an error naming the group when it is unknown.
bool groupIdNamed(const QString& groupName, gid_t* groupId, platform::Error* error)
{
    const QByteArray name = groupName.toUtf8();
    std::vector<char> buffer(16384);
    group entry {};
    group* found = nullptr;
    const int status = getgrnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found);
    if (found) {
        *groupId = found->gr_gid;
        return true;
    }
    *error = status ? platform::Error::fromErrno(status, groupName)
                    : platform::Error { platform::Error::POSIXDomain, ENOENT,
                          QStringLiteral("No group named \"%1\"").arg(groupName) };
    return false;
}

} // namespace

platform::Error SystemFolderOwnership::setOwner(int descriptor, const QString& path, const QString& groupName)
{
    platform::Error error;
    gid_t groupId = 0;
    if (!groupIdNamed(groupName, &groupId, &error))
        return error;
    if (fchown(descriptor, superuser, groupId) != 0)
        return platform::Error::fromErrno(errno, path);
    return {};
}

} // namespace kova::helper

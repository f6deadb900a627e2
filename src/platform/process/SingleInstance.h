#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <QVariantList>

#include <functional>
#include <memory>

namespace platform {

class ApplicationActivation;
class FileLock;

// Makes sure one copy of a program runs per user session. The claim is an
// atomic decision of the bus (the well-known name, never queued for and never
// handed over) or, where there is no session bus, of the kernel (an exclusive
// lock on "<name>.lock" in $XDG_RUNTIME_DIR, else in the user's state folder).
// Of copies started at the same moment exactly one wins. The claim lasts as
// long as this object, which the running copy keeps for its whole life.
// Use on the main thread, after the application object exists.
class SingleInstance {
public:
    // Takes the items a second copy hands over; answers a line for each one it
    // did not take, naming it and saying why.
    using OpenItems = std::function<QStringList(const QStringList& paths)>;

    // `onActivate` runs on the main thread when another copy asks this one to
    // come to the front, `onOpen` when it hands this one its items (without it
    // every item is refused).
    SingleInstance(QDBusConnection bus, QString name, std::function<void()> onActivate, OpenItems onOpen = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the claim, false when another copy
    // holds it. A claim that cannot be made at all (no lock file can be opened)
    // is logged and answers true: a copy that cannot check runs.
    bool claim();
    // Asks the copy that holds the name to come to the front; false when none
    // answers (always without a bus).
    bool activateOwner() const;
    // Hands the items at `paths` (absolute) to the copy that holds the name,
    // which takes them and comes to the front. False when none answers, with
    // the reason in `*error`; otherwise `*refused` holds the owner's line for
    // each item it did not take.
    bool openInOwner(const QStringList& paths, QStringList* refused, QString* error) const;

    // Where the lock file of `name` lies.
    static QString lockFilePath(const QString& name);

private:
    enum class BusClaim { Owned, Taken, Failed };
    BusClaim claimBusName();
    bool claimLockFile();
    QDBusMessage callOwner(const QString& method, const QVariantList& arguments, int timeoutMilliseconds) const;

    QDBusConnection m_bus;
    const QString m_name;
    std::unique_ptr<ApplicationActivation> m_activation;
    bool m_ownsName = false;
    std::unique_ptr<FileLock> m_lock;
};

} // namespace platform

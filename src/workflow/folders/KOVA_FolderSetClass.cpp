#include "workflow/folders/KOVA_FolderSetClass.h"

#include "core/observation/OBKVONotificationCenter.h"
#include "core/queues/ZORVAK_Coalesce.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "workflow/folders/KOVA_DefaultsDelegate.h"
#include "workflow/folders/KOVA_FolderSet.h"

#include <QRegularExpression>

#include <algorithm>
#include <mutex>

namespace {

constexpr double saveDelay = 0.5;
constexpr double noticeDelay = 0.1;

bool namesMatch(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// "Folder" -> "Folder 1", "Folder 7" -> "Folder 8".
QString countedOn(const QString& name)
{
    static const QRegularExpression trailingNumber(QStringLiteral(" [0-9]+$"));
    const QRegularExpressionMatch match = trailingNumber.match(name);
    if (!match.hasMatch())
        return name + QStringLiteral(" 1");
    const qint64 counter = match.captured().trimmed().toLongLong() + 1;
    return name.left(match.capturedStart()) + QStringLiteral(" %1").arg(counter);
}

// Every class side made for the whole run, for the flush before the process ends.
std::mutex& processWideMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<KOVA_FolderSetClass*>& processWideClasses()
{
    static auto* classes = new std::vector<KOVA_FolderSetClass*>;
    return *classes;
}

} // namespace

KOVA_FolderSetClass::KOVA_FolderSetClass(Settings settings) : m_settings(std::move(settings)) {}

KOVA_FolderSetClass& KOVA_FolderSetClass::makeProcessWide(Settings settings)
{
    const auto* kept = new std::shared_ptr<KOVA_FolderSetClass>(std::make_shared<KOVA_FolderSetClass>(std::move(settings)));
    const std::lock_guard lock(processWideMutex());
    processWideClasses().push_back(kept->get());
    return **kept;
}

void KOVA_FolderSetClass::saveFolderSetsNow()
{
    std::vector<KOVA_FolderSetClass*> classes;
    {
        const std::lock_guard lock(processWideMutex());
        classes = processWideClasses();
    }
    for (KOVA_FolderSetClass* side : classes)
        ZORVAK_Coalesce::runPendingRequestsForKeyNow(side->coalescingKey(QStringLiteral("save")));
}

std::shared_ptr<KOVA_FolderSet> KOVA_FolderSetClass::makeFolderSet(const QString& name) const
{
    return m_settings.makeFolderSet(name);
}

KOVA_FolderSetClass::FolderSets KOVA_FolderSetClass::folderSets()
{
    loadOnce();
    const std::lock_guard lock(m_mutex);
    return m_folderSets;
}

void KOVA_FolderSetClass::setFolderSets(const FolderSets& folderSets)
{
    loadOnce();
    const std::lock_guard lock(m_mutex);
    m_folderSets = folderSets;
}

void KOVA_FolderSetClass::addFolderSet(const std::shared_ptr<KOVA_FolderSet>& folderSet)
{
    if (!folderSet)
        return;
    folderSet->setName(folderSet->name()); // made unique among the listed sets
    const qsizetype index = folderSets().size();
    willChange(platform::KeyValueChange::Insertion, {index}, FolderSetsKey);
    {
        const std::lock_guard lock(m_mutex);
        m_folderSets.append(folderSet);
    }
    didChange(platform::KeyValueChange::Insertion, {index}, FolderSetsKey);
    saveFolderSets();
}

void KOVA_FolderSetClass::removeFolderSet(const std::shared_ptr<KOVA_FolderSet>& sender)
{
    platform::Log::log(QStringLiteral("%1 removeFolderSet:sender %2")
                           .arg(className(), sender ? sender->description() : QStringLiteral("(null)")));
    if (!sender)
        return;
    const auto isRemoved = [&](const std::shared_ptr<KOVA_FolderSet>& folderSet) { return folderSet->isEqual(sender.get()); };
    QList<qsizetype> indexes;
    const FolderSets current = folderSets();
    for (qsizetype i = 0; i < current.size(); ++i) {
        if (isRemoved(current.at(i)))
            indexes.append(i);
    }
    if (indexes.isEmpty())
        return;
    willChange(platform::KeyValueChange::Removal, indexes, FolderSetsKey);
    {
        const std::lock_guard lock(m_mutex);
        m_folderSets.removeIf(isRemoved);
    }
    didChange(platform::KeyValueChange::Removal, indexes, FolderSetsKey);
    saveFolderSets();
}

QString KOVA_FolderSetClass::validateName(const QString& name, const KOVA_FolderSet* renamed)
{
    if (name.isNull())
        return name;
    FolderSets others = folderSets();
    others.removeIf([renamed](const std::shared_ptr<KOVA_FolderSet>& folderSet) { return folderSet.get() == renamed; });
    QString candidate = name;
    const auto clashes = [&candidate](const std::shared_ptr<KOVA_FolderSet>& folderSet) {
        return namesMatch(folderSet->name(), candidate);
    };
    while (std::any_of(others.cbegin(), others.cend(), clashes))
        candidate = countedOn(candidate);
    return candidate;
}

std::shared_ptr<KOVA_FolderSet> KOVA_FolderSetClass::folderSetWithName(const QString& name)
{
    const FolderSets current = folderSets();
    for (const std::shared_ptr<KOVA_FolderSet>& folderSet : current) {
        if (namesMatch(folderSet->name(), name))
            return folderSet;
    }
    if (!m_settings.picksByNumber || name.size() != 1)
        return nullptr;
    const int number = name.toInt();
    if (number < 1 || number > current.size())
        return nullptr;
    return current.at(number - 1);
}

KOVA_FolderSetClass::FolderSets KOVA_FolderSetClass::folderSetsFromSavedData() const
{
    const QByteArray data = platform::UserDefaults::standardUserDefaults()->dataForKey(keyForSavedFolderSets());
    if (data.isEmpty())
        return {};
    platform::Error error;
    const QStringList allowed{QStringLiteral("NSDictionary"), QStringLiteral("NSArray"), className(), QStringLiteral("NSURL")};
    const QVariant root = platform::KeyedUnarchiver::unarchivedObjectOfClasses(data, allowed, &error);
    if (!error.isNull()) {
        platform::Log::log(QStringLiteral("%1: %2").arg(keyForSavedFolderSets(), error.description()));
        return {};
    }
    FolderSets loaded;
    if (root.typeId() != QMetaType::QVariantList)
        return loaded;
    for (const QVariant& item : root.toList()) {
        if (std::shared_ptr<KOVA_FolderSet> folderSet = platform::Archivable::fromVariant<KOVA_FolderSet>(item))
            loaded.append(std::move(folderSet));
    }
    return loaded;
}

void KOVA_FolderSetClass::updateFromSavedData()
{
    setFolderSets(arranged(folderSetsFromSavedData()));
}

void KOVA_FolderSetClass::saveFolderSets()
{
    auto self = shared_from_this();
    ZORVAK_Coalesce::runOnceForKeyAfterWaiting(coalescingKey(QStringLiteral("save")), nullptr, saveDelay,
                                               [self] { self->writeSavedData(); });
}

void KOVA_FolderSetClass::updateFolderSets()
{
    auto self = shared_from_this();
    ZORVAK_Coalesce::runOnceForKeyAfterWaiting(coalescingKey(QStringLiteral("update")), nullptr, noticeDelay,
                                               [self] { self->notifyObservers(); });
}

void KOVA_FolderSetClass::addObserver(const std::shared_ptr<const void>& observer, ObserverBlock block)
{
    if (!observer)
        return;
    removeObserver(observer.get());
    const std::lock_guard lock(m_mutex);
    m_observers.push_back({observer, observer.get(), std::move(block)});
}

void KOVA_FolderSetClass::removeObserver(const void* observer)
{
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_observers, [observer](const Observer& entry) { return entry.identity == observer; });
}

QVariant KOVA_FolderSetClass::valueForKey(const QString& key) const
{
    if (key != FolderSetsKey)
        return Observable::valueForKey(key);
    const std::lock_guard lock(m_mutex);
    QVariantList list;
    for (const std::shared_ptr<KOVA_FolderSet>& folderSet : m_folderSets)
        list.append(platform::Archivable::toVariant(folderSet));
    return list;
}

void KOVA_FolderSetClass::loadOnce()
{
    std::call_once(m_loaded, [this] {
        FolderSets loaded = arranged(folderSetsFromSavedData());
        {
            const std::lock_guard lock(m_mutex);
            m_folderSets = std::move(loaded);
        }
        observeSavedData();
    });
    std::call_once(m_announcedLoad, [this] {
        if (m_settings.didLoad)
            m_settings.didLoad();
    });
}

KOVA_FolderSetClass::FolderSets KOVA_FolderSetClass::arranged(const FolderSets& loaded) const
{
    return m_settings.arrangeLoadedList ? m_settings.arrangeLoadedList(loaded) : loaded;
}

// Every change of the saved list, this process's own saves included, ends in a notice.
void KOVA_FolderSetClass::observeSavedData()
{
    std::weak_ptr<KOVA_FolderSetClass> weakSelf = weak_from_this();
    m_savedDataObservation = OBKVONotificationCenter::observeTarget(
        shared_from_this(), platform::UserDefaults::standardUserDefaults(), keyForSavedFolderSets(),
        platform::KeyValueObservingOptionNew, [weakSelf](const OBKVONotification&) {
            if (auto self = weakSelf.lock())
                self->updateFolderSets();
        });
}

bool KOVA_FolderSetClass::writeSavedData()
{
    platform::Error error;
    const QByteArray data = platform::KeyedArchiver::archivedDataWithRootObject(folderSets(), &error);
    if (data.isEmpty()) {
        platform::Log::error(QStringLiteral("could not archive the folder sets for %1: %2")
                                 .arg(keyForSavedFolderSets(), error.description()));
        return false;
    }
    const bool saved = platform::UserDefaults::standardUserDefaults()->setObject(data, keyForSavedFolderSets());
    if (std::shared_ptr<KOVA_DefaultsDelegate> delegate = KOVA_DefaultsDelegate::installedDelegate())
        delegate->setDefaultObject(data, keyForSavedFolderSets());
    return saved;
}

void KOVA_FolderSetClass::notifyObservers()
{
    // Each observer is held alive while its block runs.
    std::vector<std::pair<std::shared_ptr<const void>, ObserverBlock>> live;
    {
        const std::lock_guard lock(m_mutex);
        std::erase_if(m_observers, [](const Observer& entry) { return entry.object.expired(); });
        for (const Observer& entry : m_observers) {
            if (std::shared_ptr<const void> object = entry.object.lock())
                live.emplace_back(std::move(object), entry.block);
        }
    }
    const FolderSets current = folderSets();
    platform::Log::log(QStringLiteral("%1: telling %2 observers of %3 saved sets")
                           .arg(keyForSavedFolderSets()).arg(live.size()).arg(current.size()));
    for (const auto& [object, block] : live)
        block(current);
}

QString KOVA_FolderSetClass::coalescingKey(const QString& operation) const
{
    return QStringLiteral("com.morvanta.kova.folderSets.%1.%2").arg(operation, keyForSavedFolderSets());
}

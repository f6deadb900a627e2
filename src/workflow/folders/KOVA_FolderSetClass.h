#pragma once

#include "platform/observation/Observable.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class KOVA_FolderSet;
class OBKVOObservation;

// The class side of one folder-set class: its process-wide list of sets, loaded
// once from the standard user defaults and saved there as a keyed archive, the
// observers of the saved list, and the operations on both. Every folder-set class
// has one such object for as long as the process runs (KOVA_FolderSet::classSide()
// and its subclasses' own). Observed under "folderSets" for additions and removals.
//
// The list is read on many queues (the output delivery looks up its set on a
// rendering queue) while the preferences change it on the main queue: it is kept
// under a lock and every reader gets a copy.
class KOVA_FolderSetClass : public platform::Observable, public std::enable_shared_from_this<KOVA_FolderSetClass> {
public:
    using FolderSets = QList<std::shared_ptr<KOVA_FolderSet>>;
    using ObserverBlock = std::function<void(const FolderSets& folderSets)>;

    static inline const QString FolderSetsKey = QStringLiteral("folderSets");

    struct Settings {
        QString className; // the class of the sets, as archived
        QString keyForSavedFolderSets;
        bool usesOldKOVANames = false;
        // A one-character name with a number from 1 on picks the set at that position.
        bool picksByNumber = false;
        // A new set of the class named `name` in the home folder.
        std::function<std::shared_ptr<KOVA_FolderSet>(const QString& name)> makeFolderSet;
        // What a list read from the defaults becomes; none keeps it as read.
        std::function<FolderSets(const FolderSets& loaded)> arrangeLoadedList;
        // Runs once, right after the list was first loaded and published.
        std::function<void()> didLoad;
    };

    explicit KOVA_FolderSetClass(Settings settings);
    // The class side of one class for the whole run: never destroyed, since saves and
    // notices may still be on their way while the process exits.
    static KOVA_FolderSetClass& makeProcessWide(Settings settings);

    const QString& className() const { return m_settings.className; }
    const QString& keyForSavedFolderSets() const { return m_settings.keyForSavedFolderSets; }
    bool usesOldKOVANames() const { return m_settings.usesOldKOVANames; }
    std::shared_ptr<KOVA_FolderSet> makeFolderSet(const QString& name) const;

    // A copy of the list, loaded on first use.
    FolderSets folderSets();
    // Replaces the list's contents; no save, no notice.
    void setFolderSets(const FolderSets& folderSets);
    // Makes the set's name unique, appends it (announced under "folderSets") and saves.
    void addFolderSet(const std::shared_ptr<KOVA_FolderSet>& folderSet);
    // Removes every set equal to `sender` (announced under "folderSets") and saves.
    void removeFolderSet(const std::shared_ptr<KOVA_FolderSet>& sender);

    // `name` when no set of the list has it (ignoring case), else the name with its
    // trailing " <number>" counted on (or " 1" appended) until none has it. The set
    // `renamed`, whose own name is being set, takes no part in the comparison.
    QString validateName(const QString& name, const KOVA_FolderSet* renamed = nullptr);
    // The first set whose name equals `name` ignoring case; failing that, for a class
    // that picks by number, the set at the position a one-character name gives.
    std::shared_ptr<KOVA_FolderSet> folderSetWithName(const QString& name);

    // A new list decoded from the class's key in the defaults; empty when there is
    // nothing or it cannot be decoded (logged).
    FolderSets folderSetsFromSavedData() const;
    // Reads the list again from the defaults, arranged as loading arranges it; no save,
    // no notice.
    void updateFromSavedData();

    // Saves the list 0.5 s after the last of a burst of requests, on the main queue.
    void saveFolderSets();
    // Writes at once a save that saveFolderSets() still holds back, in every
    // process-wide class: the last thing before the process ends.
    static void saveFolderSetsNow();
    // Saves the list at once, on the calling queue; false (logged) when it cannot be.
    bool writeSavedData();
    // Tells the observers 0.1 s after the last of a burst of requests, on the main queue.
    void updateFolderSets();

    // Enters `block` for `observer`, held weakly: an observer that is gone drops out.
    void addObserver(const std::shared_ptr<const void>& observer, ObserverBlock block);
    void removeObserver(const void* observer);

    // "folderSets": the list, each set as an Archivable variant.
    QVariant valueForKey(const QString& key) const override;

private:
    struct Observer {
        std::weak_ptr<const void> object;
        const void* identity = nullptr;
        ObserverBlock block;
    };

    void loadOnce();
    FolderSets arranged(const FolderSets& loaded) const;
    void observeSavedData();
    void notifyObservers();
    QString coalescingKey(const QString& operation) const;

    const Settings m_settings;
    std::once_flag m_loaded;
    std::once_flag m_announcedLoad;
    std::shared_ptr<OBKVOObservation> m_savedDataObservation;
    mutable std::mutex m_mutex; // guards the two fields below
    FolderSets m_folderSets;
    std::vector<Observer> m_observers;
};

#include "platform/observation/CallbackGate.h"
#include "platform/observation/Observable.h"

#include "ChangeRecorder.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

using namespace platform;

namespace {

const QString countKey = QStringLiteral("count");
const QString itemsKey = QStringLiteral("items");

// A model with one value and one list, announcing its changes as model objects do.
class Shelf : public Observable {
public:
    QVariant valueForKey(const QString& key) const override
    {
        std::lock_guard lock(m_mutex);
        if (key == countKey)
            return m_count;
        if (key == itemsKey)
            return m_items;
        return {};
    }

    void setCount(int count)
    {
        willChangeValueForKey(countKey);
        store([&] { m_count = count; });
        didChangeValueForKey(countKey);
    }

    void insertItem(qsizetype index, const QString& item)
    {
        willChange(KeyValueChange::Insertion, {index}, itemsKey);
        store([&] { m_items.insert(index, item); });
        didChange(KeyValueChange::Insertion, {index}, itemsKey);
    }

    void removeItem(qsizetype index)
    {
        willChange(KeyValueChange::Removal, {index}, itemsKey);
        store([&] { m_items.removeAt(index); });
        didChange(KeyValueChange::Removal, {index}, itemsKey);
    }

    void replaceItem(qsizetype index, const QString& item)
    {
        willChange(KeyValueChange::Replacement, {index}, itemsKey);
        store([&] { m_items[index] = item; });
        didChange(KeyValueChange::Replacement, {index}, itemsKey);
    }

private:
    void store(const std::function<void()>& change)
    {
        std::lock_guard lock(m_mutex);
        change();
    }

    mutable std::mutex m_mutex;
    int m_count = 0;
    QStringList m_items;
};

using kova::test::ChangeRecorder;

const char contextA = 0;
const char contextB = 0;

} // namespace

TEST(Observable, OptionsDecideWhatTheChangeCarries)
{
    auto shelf = std::make_shared<Shelf>();
    shelf->setCount(3);
    auto initialNew = std::make_shared<ChangeRecorder>();
    auto newOld = std::make_shared<ChangeRecorder>();
    auto prior = std::make_shared<ChangeRecorder>();
    auto bare = std::make_shared<ChangeRecorder>();

    shelf->addObserver(initialNew, countKey, KeyValueObservingOptionInitial | KeyValueObservingOptionNew, &contextA);
    ASSERT_EQ(initialNew->changes().size(), 1);
    EXPECT_EQ(initialNew->changes().at(0).dictionary,
              (QVariantMap{{KeyValueChangeKindKey, quint64(1)}, {KeyValueChangeNewKey, 3}}));
    EXPECT_EQ(initialNew->changes().at(0).context, &contextA);

    shelf->addObserver(newOld, countKey, KeyValueObservingOptionNew | KeyValueObservingOptionOld, &contextA);
    shelf->addObserver(prior, countKey, KeyValueObservingOptionPrior | KeyValueObservingOptionOld, &contextA);
    shelf->addObserver(bare, countKey, 0, &contextA);
    shelf->setCount(5);

    EXPECT_EQ(newOld->changes().size(), 1);
    EXPECT_EQ(newOld->changes().at(0).dictionary,
              (QVariantMap{{KeyValueChangeKindKey, quint64(1)}, {KeyValueChangeNewKey, 5}, {KeyValueChangeOldKey, 3}}));
    EXPECT_EQ(newOld->changes().at(0).object, shelf.get());
    EXPECT_EQ(newOld->changes().at(0).key, countKey);

    ASSERT_EQ(prior->changes().size(), 2);
    EXPECT_EQ(prior->changes().at(0).dictionary, (QVariantMap{{KeyValueChangeKindKey, quint64(1)},
                                                           {KeyValueChangeOldKey, 3},
                                                           {KeyValueChangeNotificationIsPriorKey, true}}));
    EXPECT_EQ(prior->changes().at(1).dictionary, (QVariantMap{{KeyValueChangeKindKey, quint64(1)}, {KeyValueChangeOldKey, 3}}));

    EXPECT_EQ(bare->changes().size(), 1);
    EXPECT_EQ(bare->changes().at(0).dictionary, (QVariantMap{{KeyValueChangeKindKey, quint64(1)}}));
    EXPECT_EQ(initialNew->changes().size(), 2);
}

TEST(Observable, ListChangesCarryIndexesAndTheAffectedElements)
{
    auto shelf = std::make_shared<Shelf>();
    auto recorder = std::make_shared<ChangeRecorder>();
    shelf->addObserver(recorder, itemsKey, KeyValueObservingOptionNew | KeyValueObservingOptionOld, nullptr);

    shelf->insertItem(0, QStringLiteral("a"));
    shelf->insertItem(1, QStringLiteral("b"));
    shelf->replaceItem(0, QStringLiteral("c"));
    shelf->removeItem(1);

    const auto notices = recorder->changes();
    ASSERT_EQ(notices.size(), 4);
    EXPECT_EQ(notices[1].kind(), quint64(KeyValueChange::Insertion));
    EXPECT_EQ(notices[1].indexes(), QList<qsizetype>{1});
    EXPECT_EQ(notices[1].newValue.toStringList(), QStringList{QStringLiteral("b")});
    EXPECT_FALSE(notices[1].dictionary.contains(KeyValueChangeOldKey));

    EXPECT_EQ(notices[2].kind(), quint64(KeyValueChange::Replacement));
    EXPECT_EQ(notices[2].oldValue.toStringList(), QStringList{QStringLiteral("a")});
    EXPECT_EQ(notices[2].newValue.toStringList(), QStringList{QStringLiteral("c")});

    EXPECT_EQ(notices[3].kind(), quint64(KeyValueChange::Removal));
    EXPECT_EQ(notices[3].oldValue.toStringList(), QStringList{QStringLiteral("b")});
    EXPECT_FALSE(notices[3].dictionary.contains(KeyValueChangeNewKey));
}

TEST(Observable, NestedAnnouncementsOfOneKeyMakeOneChange)
{
    auto shelf = std::make_shared<Shelf>();
    shelf->setCount(1);
    auto recorder = std::make_shared<ChangeRecorder>();
    shelf->addObserver(recorder, countKey,
                       KeyValueObservingOptionNew | KeyValueObservingOptionOld | KeyValueObservingOptionPrior, nullptr);

    shelf->willChangeValueForKey(countKey);
    shelf->setCount(2);
    shelf->setCount(3);
    shelf->didChangeValueForKey(countKey);

    const auto notices = recorder->changes();
    ASSERT_EQ(notices.size(), 2);
    EXPECT_TRUE(notices[0].isPrior());
    EXPECT_EQ(notices[1].oldValue, 1);
    EXPECT_EQ(notices[1].newValue, 3);

    // An announcement on another thread is a change of its own, not part of this one.
    shelf->willChangeValueForKey(countKey);
    std::thread([&] { shelf->setCount(4); }).join();
    shelf->didChangeValueForKey(countKey);
    EXPECT_EQ(recorder->changes().size(), 6);
}

TEST(Observable, RegistrationsAreRemovedOneAtATimeAndObserversAreHeldWeakly)
{
    auto shelf = std::make_shared<Shelf>();
    auto recorder = std::make_shared<ChangeRecorder>();
    shelf->addObserver(recorder, countKey, 0, &contextA);
    shelf->addObserver(recorder, countKey, 0, &contextA);
    shelf->addObserver(recorder, countKey, 0, &contextB);

    shelf->removeObserver(recorder.get(), countKey, &contextA);
    shelf->setCount(1);
    EXPECT_EQ(recorder->changes().size(), 2);
    shelf->removeObserver(recorder.get(), countKey, &contextA);
    shelf->removeObserver(recorder.get(), countKey, &contextA); // nothing left: ignored
    shelf->setCount(2);
    ASSERT_EQ(recorder->changes().size(), 3);
    EXPECT_EQ(recorder->changes().at(2).context, &contextB);

    auto shortLived = std::make_shared<ChangeRecorder>();
    shelf->addObserver(shortLived, countKey, 0, nullptr);
    const std::weak_ptr<ChangeRecorder> watch = shortLived;
    shortLived.reset();
    shelf->setCount(3); // the gone observer is skipped and its registration dropped
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(recorder->changes().size(), 4);
}

TEST(Observable, CallbacksMayRegisterAndRemoveFromInside)
{
    auto shelf = std::make_shared<Shelf>();
    auto once = std::make_shared<ChangeRecorder>();
    auto late = std::make_shared<ChangeRecorder>();
    once->onChange = [&](const ChangeRecorder::Change&) {
        shelf->removeObserver(once.get(), countKey, nullptr);
        shelf->addObserver(late, countKey, KeyValueObservingOptionInitial, nullptr);
    };
    shelf->addObserver(once, countKey, 0, nullptr);

    shelf->setCount(1);
    shelf->setCount(2);
    EXPECT_EQ(once->changes().size(), 1);
    EXPECT_EQ(late->changes().size(), 2); // the initial notice, then the second change
}

TEST(Observable, DestructionTellsTheOwnedObservationsAndDropsObservers)
{
    struct Ending : OwnedObservation {
        void ownerDestroyed(const ObservationOwner& owner) override { endedBy = &owner; }
        const ObservationOwner* endedBy = nullptr;
    };
    auto ending = std::make_shared<Ending>();
    auto shelf = std::make_shared<Shelf>();
    shelf->attachObservation(ending);
    shelf->attachObservation(ending);
    EXPECT_EQ(shelf->ownedObservations().size(), 1u);
    auto recorder = std::make_shared<ChangeRecorder>();
    shelf->addObserver(recorder, countKey, 0, nullptr);

    const ObservationOwner* address = shelf.get();
    shelf.reset();
    EXPECT_EQ(ending->endedBy, address);
    EXPECT_EQ(ending.use_count(), 1);
    EXPECT_TRUE(recorder->changes().isEmpty());
}

TEST(CallbackGate, CloseWaitsForCallsOnOtherThreadsOnly)
{
    CallbackGate gate;
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::atomic<bool> closed{false};

    std::thread caller([&] {
        ASSERT_TRUE(gate.tryEnter());
        inside = true;
        while (!release)
            std::this_thread::yield();
        gate.leave();
    });
    while (!inside)
        std::this_thread::yield();
    std::thread closer([&] {
        gate.close();
        closed = true;
    });
    // While the call runs, close() must not return: give it ample time to do so wrongly.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while (!closed && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_FALSE(closed);
    release = true;
    caller.join();
    closer.join();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(gate.tryEnter());

    // A call that closes its own gate does not wait for itself.
    CallbackGate own;
    ASSERT_TRUE(own.tryEnter());
    own.close();
    own.leave();
    EXPECT_FALSE(own.tryEnter());
}

TEST(CallbackGate, CallsClosingEachOthersGatesDoNotDeadlock)
{
    // Two threads, each inside one gate's call, close both gates: one of them must
    // give up waiting for the other, or neither would return.
    CallbackGate first;
    CallbackGate second;
    std::atomic<int> inside{0};
    const auto run = [&](CallbackGate& own, CallbackGate& other) {
        ASSERT_TRUE(own.tryEnter());
        ++inside;
        while (inside < 2)
            std::this_thread::yield();
        other.close();
        own.close();
        own.leave();
    };
    std::thread a(run, std::ref(first), std::ref(second));
    std::thread b(run, std::ref(second), std::ref(first));
    a.join();
    b.join();
    EXPECT_FALSE(first.tryEnter());
    EXPECT_FALSE(second.tryEnter());
}

#include "core/observation/OBKVONotificationCenter.h"

#include "ChangeRecorder.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <atomic>
#include <thread>
#include <vector>

using namespace platform;

namespace {

const QString valueKey = QStringLiteral("value");
const QString labelKey = QStringLiteral("label");

// A model object with two observable values; thread-safe like the system's models.
class Model : public Observable {
public:
    QVariant valueForKey(const QString& key) const override
    {
        if (key == valueKey)
            return m_value.load();
        if (key == labelKey)
            return QStringLiteral("label");
        return {};
    }

    void setValue(int value)
    {
        willChangeValueForKey(valueKey);
        m_value = value;
        didChangeValueForKey(valueKey);
    }

    void touchLabel()
    {
        willChangeValueForKey(labelKey);
        didChangeValueForKey(labelKey);
    }

private:
    std::atomic<int> m_value{0};
};

// An observer that is not observable itself; knows when its destruction began.
class Watcher : public ObservationOwner {
public:
    ~Watcher() override { alive = false; }

    std::atomic<bool> alive{true};
    std::atomic<int> calls{0};
};

using kova::test::ChangeRecorder;

constexpr quint64 newAndOld = KeyValueObservingOptionNew | KeyValueObservingOptionOld;

} // namespace

TEST(OBKVONotificationCenter, BlockReceivesTheChangeUnderTheOptionsGiven)
{
    auto model = std::make_shared<Model>();
    model->setValue(1);
    ChangeRecorder plain;
    ChangeRecorder initialAndPrior;
    const auto observation = OBKVONotificationCenter::addObservationKeyPath(model, valueKey, newAndOld, plain.block());
    OBKVONotificationCenter::addObservationKeyPath(
        model, valueKey, KeyValueObservingOptionInitial | KeyValueObservingOptionPrior | KeyValueObservingOptionNew,
        initialAndPrior.block());
    ASSERT_EQ(initialAndPrior.count(), 1);
    EXPECT_EQ(initialAndPrior.changes()[0].newValue, 1);

    model->setValue(2);
    ASSERT_EQ(plain.count(), 1);
    const ChangeRecorder::Change notification = plain.changes()[0];
    EXPECT_EQ(notification.key, valueKey);
    EXPECT_EQ(notification.object, model.get());
    EXPECT_EQ(notification.observer, nullptr);
    EXPECT_EQ(notification.kind(), 1u);
    EXPECT_EQ(notification.oldValue, 1);
    EXPECT_EQ(notification.newValue, 2);
    EXPECT_FALSE(notification.isPrior());
    EXPECT_TRUE(notification.indexes().isEmpty());

    ASSERT_EQ(initialAndPrior.count(), 3);
    EXPECT_TRUE(initialAndPrior.changes()[1].isPrior());
    EXPECT_FALSE(initialAndPrior.changes()[1].newValue.isValid());
    EXPECT_EQ(initialAndPrior.changes()[2].newValue, 2);

    model->touchLabel(); // another key: not observed
    EXPECT_EQ(plain.count(), 1);
    EXPECT_TRUE(observation->isValid());
}

TEST(OBKVONotificationCenter, ObservationEndsWithItsTarget)
{
    auto model = std::make_shared<Model>();
    auto captured = std::make_shared<int>(0);
    std::atomic<int> calls{0};
    const auto observation = OBKVONotificationCenter::addObservationKeyPath(
        model, valueKey, KeyValueObservingOptionNew, [captured, &calls](const OBKVONotification&) { ++calls; });
    model->setValue(1);
    EXPECT_EQ(calls, 1);

    model.reset();
    EXPECT_FALSE(observation->isValid());
    EXPECT_EQ(calls, 1);
    // The ended registration lives on only through the caller's reference.
    EXPECT_EQ(captured.use_count(), 2);
    observation->remove();
    EXPECT_FALSE(observation->isValid());
}

TEST(OBKVONotificationCenter, ObservationEndsWithItsObserverUnlessManual)
{
    auto model = std::make_shared<Model>();
    auto automatic = std::make_shared<Watcher>();
    auto manual = std::make_shared<Watcher>();
    std::atomic<int> calls{0};
    const auto count = [&calls](const OBKVONotification&) { ++calls; };
    const auto ending = OBKVONotificationCenter::observeTarget(automatic, model, valueKey, 0, count);
    const auto surviving =
        OBKVONotificationCenter::observeTarget(manual, model, valueKey, OBKVOManualRemovalOption, count);
    model->setValue(1);
    EXPECT_EQ(calls, 2);

    automatic.reset();
    manual.reset();
    EXPECT_FALSE(ending->isValid());
    EXPECT_TRUE(surviving->isValid());
    EXPECT_EQ(model->ownedObservations().size(), 1u);
    model->setValue(2); // no handler runs for a gone observer, even a manual registration's
    EXPECT_EQ(calls, 2);

    surviving->remove();
    EXPECT_FALSE(surviving->isValid());
    EXPECT_TRUE(model->ownedObservations().empty());
}

TEST(OBKVONotificationCenter, SelectorObservationCallsTheMethodWithTheUserInfo)
{
    auto model = std::make_shared<Model>();
    auto watcher = std::make_shared<Watcher>();
    QVariantMap lastChange;
    QVariant lastUserInfo;
    Observable* lastObject = nullptr;
    const OBKVOSelector valueChanged{
        QStringLiteral("valueChanged"),
        [&](const QString& keyPath, Observable& object, const QVariantMap& change, const QVariant& userInfo) {
            EXPECT_EQ(keyPath, valueKey);
            ++watcher->calls;
            lastObject = &object;
            lastChange = change;
            lastUserInfo = userInfo;
        }};
    const auto observation = OBKVONotificationCenter::observeTarget(watcher, model, valueKey, valueChanged,
                                                                    QStringLiteral("info"), KeyValueObservingOptionNew);
    model->setValue(4);
    EXPECT_EQ(watcher->calls, 1);
    EXPECT_EQ(lastObject, model.get());
    EXPECT_EQ(lastChange.value(KeyValueChangeNewKey), 4);
    EXPECT_EQ(lastUserInfo, QStringLiteral("info"));

    OBKVONotificationCenter::stopObserving(*watcher, model.get(), valueKey, QStringLiteral("otherMethod"));
    EXPECT_TRUE(observation->isValid());
    OBKVONotificationCenter::stopObserving(*watcher, model.get(), valueKey, QStringLiteral("valueChanged"));
    EXPECT_FALSE(observation->isValid());
    model->setValue(5);
    EXPECT_EQ(watcher->calls, 1);

    // Without an observer there is no one to send the selector to.
    OBKVONotificationCenter::defaultCenter().addObserver(nullptr, model, valueKey, valueChanged, {}, 0);
    model->setValue(6);
    EXPECT_EQ(watcher->calls, 1);
}

TEST(OBKVONotificationCenter, RemovalMatchesKeyPathsAsAWholeSet)
{
    auto model = std::make_shared<Model>();
    auto watcher = std::make_shared<Watcher>();
    const QStringList both{valueKey, labelKey};
    const auto pair = OBKVONotificationCenter::addObserverKeyPath(model, watcher, both, 0, [](const auto&) {});
    const auto single = OBKVONotificationCenter::addObserverKeyPath(model, watcher, valueKey, 0, [](const auto&) {});

    OBKVONotificationCenter::removeObserverKeyPath(*model, watcher.get(), QStringList{labelKey, valueKey});
    EXPECT_FALSE(pair->isValid());
    EXPECT_TRUE(single->isValid());

    // Another observer's pattern leaves this one's registration alone.
    auto stranger = std::make_shared<Watcher>();
    OBKVONotificationCenter::removeObserverKeyPath(*model, stranger.get(), valueKey);
    EXPECT_TRUE(single->isValid());
    OBKVONotificationCenter::removeAllObservers(*model);
    EXPECT_FALSE(single->isValid());
    EXPECT_TRUE(watcher->ownedObservations().empty());
}

TEST(OBKVONotificationCenter, ListTargetObservesTheElementsItHadWhenRegistered)
{
    auto first = std::make_shared<Model>();
    auto second = std::make_shared<Model>();
    auto later = std::make_shared<Model>();
    QList<std::shared_ptr<Model>> list{first, second};
    ChangeRecorder received;
    const auto observation =
        OBKVONotificationCenter::addObservationKeyPath(list, valueKey, KeyValueObservingOptionNew, received.block());
    list.append(later);
    list.removeFirst();

    second->setValue(2);
    first->setValue(1);
    later->setValue(3);
    ASSERT_EQ(received.count(), 2);
    EXPECT_EQ(received.changes()[0].object, second.get());
    EXPECT_EQ(received.changes()[1].object, first.get());

    // An element's end drops that element only.
    second.reset();
    EXPECT_TRUE(observation->isValid());
    first->setValue(4);
    EXPECT_EQ(received.count(), 3);

    // A removal by one element does not match the list registration.
    OBKVONotificationCenter::removeObserverKeyPath(*first, nullptr, valueKey);
    EXPECT_TRUE(observation->isValid());

    // Ending after the list changed stops exactly the elements it observed.
    observation->remove();
    first->setValue(5);
    later->setValue(6);
    EXPECT_EQ(received.count(), 3);
    EXPECT_TRUE(first->ownedObservations().empty());
}

TEST(OBKVONotificationCenter, EndingIsIdempotentAndRemovalOfNothingChangesNothing)
{
    auto model = std::make_shared<Model>();
    auto idle = std::make_shared<Watcher>();
    ChangeRecorder received;
    const auto observation = OBKVONotificationCenter::addObservationKeyPath(model, valueKey, 0, received.block());

    OBKVONotificationCenter::stopObservingAllTargets(*idle);
    EXPECT_TRUE(observation->isValid());

    observation->remove();
    observation->remove();
    OBKVONotificationCenter::defaultCenter().removeObservation(observation);
    OBKVONotificationCenter::defaultCenter().removeObservation(nullptr);
    OBKVONotificationCenter::removeAllObservers(*model);
    EXPECT_FALSE(observation->isValid());
    model->setValue(1);
    EXPECT_EQ(received.count(), 0);

    // Nothing to observe: the registration never begins.
    const auto absent =
        OBKVONotificationCenter::addObservationKeyPath(std::shared_ptr<Model>(), valueKey, 0, received.block());
    EXPECT_FALSE(absent->isValid());
}

TEST(OBKVONotificationCenter, HandlersMayEndTheirOwnObservation)
{
    auto model = std::make_shared<Model>();
    int calls = 0;
    std::shared_ptr<OBKVOObservation> observation;
    observation = OBKVONotificationCenter::addObservationKeyPath(model, valueKey, 0, [&](const OBKVONotification&) {
        ++calls;
        observation->remove();
    });
    model->setValue(1);
    model->setValue(2);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(observation->isValid());

    // Ended by the first initial notice, before the registration was complete.
    const auto initial = OBKVONotificationCenter::addObservationKeyPath(
        model, QStringList{valueKey, labelKey}, KeyValueObservingOptionInitial, [&](const OBKVONotification& notice) {
            ++calls;
            OBKVONotificationCenter::removeAllObservers(*notice.target());
        });
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(initial->isValid());
    model->setValue(3);
    model->touchLabel();
    EXPECT_EQ(calls, 2);

    // The observer dropping its last reference from inside its own handler.
    auto watcher = std::make_shared<Watcher>();
    std::shared_ptr<Watcher>* holder = &watcher;
    const auto ending = OBKVONotificationCenter::observeTarget(
        watcher, model, QStringList{valueKey, labelKey}, 0, [holder](const OBKVONotification&) { holder->reset(); });
    model->setValue(2);
    EXPECT_FALSE(ending->isValid());
    EXPECT_TRUE(model->ownedObservations().empty());
}

TEST(OBKVONotificationCenter, NoHandlerRunsOnceItsObserverIsGoneWhileOthersChangeTheTarget)
{
    auto model = std::make_shared<Model>();
    std::atomic<bool> stop{false};
    std::atomic<int> lateCalls{0};
    std::vector<std::thread> changers;
    for (int thread = 0; thread < 4; ++thread) {
        changers.emplace_back([&, thread] {
            for (int change = 0; !stop; ++change)
                model->setValue(thread * 1000000 + change);
        });
    }

    for (int round = 0; round < 300; ++round) {
        // An observer held weakly: its handler may only run while it lives.
        auto watcher = std::make_shared<Watcher>();
        Watcher* raw = watcher.get();
        OBKVONotificationCenter::observeTarget(watcher, model, valueKey, KeyValueObservingOptionNew,
                                               [raw, &lateCalls](const OBKVONotification&) {
                                                   if (!raw->alive)
                                                       ++lateCalls;
                                                   ++raw->calls;
                                               });

        // A registration without observer, ended explicitly: its handler may not be
        // running anywhere once remove() has returned.
        auto removed = std::make_shared<std::atomic<bool>>(false);
        const auto observation = OBKVONotificationCenter::addObservationKeyPath(
            model, valueKey, KeyValueObservingOptionNew, [removed, &lateCalls](const OBKVONotification&) {
                if (*removed)
                    ++lateCalls;
                std::this_thread::yield();
                if (*removed)
                    ++lateCalls;
            });
        if (round % 2)
            std::this_thread::yield();
        observation->remove();
        *removed = true;
        watcher.reset();
    }
    stop = true;
    for (auto& changer : changers)
        changer.join();

    EXPECT_EQ(lateCalls, 0);
    EXPECT_TRUE(model->ownedObservations().empty());
}

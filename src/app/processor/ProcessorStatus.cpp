#include "app/processor/ProcessorStatus.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/observation/OBKVONotificationCenter.h"
#include "platform/defaults/UserDefaults.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/processing/KOVA_JobProcessor.h"

using platform::UserDefaults;

ProcessorStatus::ProcessorStatus(std::function<void()> changed, QObject* parent)
    : QObject(parent)
    , m_changed(std::move(changed))
{
    const auto refreshOnMain = [this](const OBKVONotification&) {
        QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
    };
    for (const QString& key : { key_kovaProcessorIsRunning, key_kovaProcessorJobsCompleted, key_kovaProcessorJobsFailed })
        m_observations.push_back(OBKVONotificationCenter::addObservationKeyPath(UserDefaults::standardUserDefaults(), key,
            platform::KeyValueObservingOptionNew, refreshOnMain));
    m_observations.push_back(OBKVONotificationCenter::addObservationKeyPath(KOVA_JobProcessor::shared(),
        KOVA_JobProcessor::IsProcessingKey, platform::KeyValueObservingOptionNew, refreshOnMain));
    read();
}

ProcessorStatus::~ProcessorStatus()
{
    for (const auto& observation : m_observations)
        observation->remove();
}

QString ProcessorStatus::buttonTitle(bool isRunning, bool isProcessing)
{
    if (!isRunning)
        return titlePaused;
    return isProcessing ? titleProcessing : titleIdle;
}

void ProcessorStatus::runState()
{
    const auto defaults = UserDefaults::standardUserDefaults();
    defaults->setBool(!defaults->boolForKey(key_kovaProcessorIsRunning), key_kovaProcessorIsRunning);
}

void ProcessorStatus::resetJobStats()
{
    const auto defaults = UserDefaults::standardUserDefaults();
    defaults->setInteger(0, key_kovaProcessorJobsCompleted);
    defaults->setInteger(0, key_kovaProcessorJobsFailed);
}

void ProcessorStatus::refresh()
{
    read();
    if (m_changed)
        m_changed();
}

void ProcessorStatus::read()
{
    const auto defaults = UserDefaults::standardUserDefaults();
    m_isRunning = defaults->boolForKey(key_kovaProcessorIsRunning);
    m_isProcessing = KOVA_JobFolders::isProcessing();
    m_jobsCompleted = defaults->integerForKey(key_kovaProcessorJobsCompleted);
    m_jobsFailed = defaults->integerForKey(key_kovaProcessorJobsFailed);
}

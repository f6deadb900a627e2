#include "app/preferences/PrefsGeneralViewController.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
std::shared_ptr<platform::UserDefaults> defaults() { return platform::UserDefaults::standardUserDefaults(); }

// The unsaved-changes policies by their stored number.
const char* const templatePolicies[] = { "Ask Before Saving", "Save Always", "Never Save" };
} // namespace

PrefsGeneralViewController::PrefsGeneralViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(identifier);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeProcessorBox());
    layout->addWidget(makeTemplateEditorBox());
    layout->addStretch();
    observe(key_kovaProcessorIsRunning, &PrefsGeneralViewController::showProcessorIsRunning);
    observe(key_kovaProcessorJobsCompleted, &PrefsGeneralViewController::showJobCounters);
    observe(key_kovaProcessorJobsFailed, &PrefsGeneralViewController::showJobCounters);
    observe(key_kovaConfirmBeforeSavingTemplate, &PrefsGeneralViewController::showTemplatePolicy);
    observe(templateOutputOptionsKey, &PrefsGeneralViewController::showSaveAsPNG);
}

void PrefsGeneralViewController::observe(const QString& key, void (PrefsGeneralViewController::*show)())
{
    (this->*show)();
    m_observations.push_back(std::make_unique<PreferenceObservation>(key, [this, show] { (this->*show)(); }));
}

QWidget* PrefsGeneralViewController::makeProcessorBox()
{
    auto* box = new QGroupBox(QStringLiteral("Processor"), this);
    auto* form = new QFormLayout(box);
    m_processorIsRunning = new QCheckBox(QStringLiteral("Process jobs from the job folders"), box);
    m_processorIsRunning->setObjectName(QStringLiteral("processorIsRunning"));
    connect(m_processorIsRunning, &QCheckBox::clicked, this,
            [](bool on) { defaults()->setBool(on, key_kovaProcessorIsRunning); });
    form->addRow(m_processorIsRunning);
    m_jobsCompleted = new QLabel(box);
    m_jobsCompleted->setObjectName(QStringLiteral("jobsCompleted"));
    m_jobsFailed = new QLabel(box);
    m_jobsFailed->setObjectName(QStringLiteral("jobsFailed"));
    auto* reset = new QPushButton(QStringLiteral("Reset Counters"), box);
    reset->setObjectName(QStringLiteral("resetJobStats"));
    connect(reset, &QPushButton::clicked, this, &PrefsGeneralViewController::resetJobStats);
    form->addRow(QStringLiteral("Jobs completed:"), m_jobsCompleted);
    form->addRow(QStringLiteral("Jobs failed:"), m_jobsFailed);
    form->addRow(reset);
    return box;
}

QWidget* PrefsGeneralViewController::makeTemplateEditorBox()
{
    auto* box = new QGroupBox(QStringLiteral("Template Editor"), this);
    auto* form = new QFormLayout(box);
    m_templatePolicy = new QComboBox(box);
    m_templatePolicy->setObjectName(QStringLiteral("templateChangesPolicy"));
    for (const char* policy : templatePolicies)
        m_templatePolicy->addItem(QString::fromLatin1(policy));
    connect(m_templatePolicy, &QComboBox::activated, this,
            [](int policy) { defaults()->setInteger(policy, key_kovaConfirmBeforeSavingTemplate); });
    form->addRow(QStringLiteral("Unsaved changes:"), m_templatePolicy);
    m_saveAsPNG = new QCheckBox(QStringLiteral("Offer \"Save as PNG\" in the canvas menu"), box);
    m_saveAsPNG->setObjectName(QStringLiteral("saveAsPNG"));
    connect(m_saveAsPNG, &QCheckBox::clicked, this, &PrefsGeneralViewController::setSaveAsPNG);
    form->addRow(m_saveAsPNG);
    return box;
}

void PrefsGeneralViewController::resetJobStats()
{
    defaults()->setInteger(0, key_kovaProcessorJobsCompleted);
    defaults()->setInteger(0, key_kovaProcessorJobsFailed);
}

void PrefsGeneralViewController::setSaveAsPNG(bool on)
{
    const qint64 options = defaults()->integerForKey(templateOutputOptionsKey);
    const qint64 changed = on ? options | saveAsPNGOption : options & ~saveAsPNGOption;
    if (changed != options)
        defaults()->setInteger(changed, templateOutputOptionsKey);
}

void PrefsGeneralViewController::showProcessorIsRunning()
{
    m_processorIsRunning->setChecked(defaults()->boolForKey(key_kovaProcessorIsRunning));
}

void PrefsGeneralViewController::showJobCounters()
{
    m_jobsCompleted->setText(QString::number(defaults()->integerForKey(key_kovaProcessorJobsCompleted)));
    m_jobsFailed->setText(QString::number(defaults()->integerForKey(key_kovaProcessorJobsFailed)));
}

void PrefsGeneralViewController::showTemplatePolicy()
{
    const qint64 policy = defaults()->integerForKey(key_kovaConfirmBeforeSavingTemplate);
    m_templatePolicy->setCurrentIndex(policy >= 1 && policy < qint64(std::size(templatePolicies)) ? int(policy) : 0);
}

void PrefsGeneralViewController::showSaveAsPNG()
{
    m_saveAsPNG->setChecked(defaults()->integerForKey(templateOutputOptionsKey) & saveAsPNGOption);
}

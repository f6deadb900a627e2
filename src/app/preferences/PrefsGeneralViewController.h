#pragma once

#include "app/preferences/PreferenceObservation.h"

#include <QWidget>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;

// The general pane: the processor's run switch and counters, the template
// editor's policy for unsaved changes and its PNG export. Every control shows
// its preference and writes it back; a change made elsewhere shows at once.
class PrefsGeneralViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("prefGeneral");
    // The template editor's option bits; 0x200 offers the PNG export.
    static inline const QString templateOutputOptionsKey = QStringLiteral("com.morvanta.kova.template.outputOptions");
    static constexpr qint64 saveAsPNGOption = 0x200;

    explicit PrefsGeneralViewController(QWidget* parent = nullptr);

    // Sets both processor counters to 0.
    static void resetJobStats();

private:
    QWidget* makeProcessorBox();
    QWidget* makeTemplateEditorBox();
    void observe(const QString& key, void (PrefsGeneralViewController::*show)());
    void showProcessorIsRunning();
    void showJobCounters();
    void showTemplatePolicy();
    void showSaveAsPNG();
    static void setSaveAsPNG(bool on);

    QCheckBox* m_processorIsRunning = nullptr;
    QLabel* m_jobsCompleted = nullptr;
    QLabel* m_jobsFailed = nullptr;
    QComboBox* m_templatePolicy = nullptr;
    QCheckBox* m_saveAsPNG = nullptr;
    std::vector<std::unique_ptr<PreferenceObservation>> m_observations;
};

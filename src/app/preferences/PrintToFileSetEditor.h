#pragma once

#include <QWidget>

#include <memory>

class KOVA_PrintToFileSet;
class QCheckBox;
class QComboBox;
class QLineEdit;

// The detail area of the print-to-file pane: the options of one set (file type,
// name scheme, overwriting, orientation, upload folder and its limits), each
// written to the set as it is edited. Without a set the editors are disabled.
class PrintToFileSetEditor : public QWidget {
    Q_OBJECT
public:
    explicit PrintToFileSetEditor(QWidget* parent = nullptr);

    void setFolderSet(const std::shared_ptr<KOVA_PrintToFileSet>& folderSet);
    std::shared_ptr<KOVA_PrintToFileSet> folderSet() const { return m_folderSet; }

private:
    QComboBox* makeComboBox(const char* name, const QStringList& entries);
    QCheckBox* makeCheckBox(const char* name, const QString& title);
    QLineEdit* makeLineEdit(const char* name);
    void connectEditors();
    void showFolderSet();
    void storeMaxPixels();
    void storeMaxBytes();

    std::shared_ptr<KOVA_PrintToFileSet> m_folderSet;
    QComboBox* m_fileFormat = nullptr;
    QComboBox* m_nameFormat = nullptr;
    QCheckBox* m_overwriteExisting = nullptr;
    QCheckBox* m_normalizeOrientation = nullptr;
    QComboBox* m_uploadFolder = nullptr;
    QCheckBox* m_hasMaxPixels = nullptr;
    QLineEdit* m_maxPixels = nullptr;
    QCheckBox* m_hasMaxBytes = nullptr;
    QLineEdit* m_maxBytes = nullptr;
};

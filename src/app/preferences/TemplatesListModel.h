#pragma once

#include "template/KOVA_Template.h"

#include <QAbstractTableModel>
#include <QString>

#include <memory>

class ZORVAK_FileEvent;

// The template files at the top level of a watched folder, as rows of file name
// and template name ("<missing>" in red when the template has none). Each change
// in the folder scans it on the watcher's queue; the templates found are appended
// on the main thread, each file once (told by its path). Rows are only appended:
// a file removed from the folder stays listed until the folder changes. A scan
// of a watcher that was replaced meanwhile is dropped.
class TemplatesListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, TypeColumn, ColumnCount };

    explicit TemplatesListModel(QObject* parent = nullptr);
    ~TemplatesListModel() override;

    // Watches `folder` instead of the folder watched so far, with an empty list;
    // the folder already watched changes nothing.
    void changeInputFilePath(const QString& folder);
    QString inputFilePath() const;

    KOVA_Template::List templates() const { return m_templates; }

    // The templates of `folder`'s top-level XML files that load; every other item
    // is logged ("file that is not an xml type: ..."), and folders are not entered.
    static KOVA_Template::List scanFolder(const QString& folder);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void appendScanned(const KOVA_Template::List& scanned, quint64 generation);
    bool listsFile(const QString& path) const;

    KOVA_Template::List m_templates; // main thread only
    std::unique_ptr<ZORVAK_FileEvent> m_fileEvent;
    quint64 m_generation = 0; // counts the watchers made; main thread only
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // gone with the model
};

#pragma once

#include "editor/lists/DocumentListModel.h"

#include <QSortFilterProxyModel>

// The packages table's view of the package list: sorted by file name (numbers by value,
// letters in any case) and filtered by a part of the file name, ignoring case and
// diacritics. Each comparison of the sort is logged with its first package.
class PackageFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit PackageFilterModel(QObject* parent = nullptr);

    void setFilterText(const QString& text);
    const QString& filterText() const { return m_filterText; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    DocumentListModel::Entry entryOfRow(int sourceRow) const;
    QString fileNameOfRow(int sourceRow) const;

    QString m_filterText;
};

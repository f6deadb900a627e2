#pragma once

#include <QSortFilterProxyModel>

// The packages table's view of the package list: sorted by file name (numbers by value,
// letters in any case) and filtered by a part of the file name, ignoring case and
// diacritics.
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
    QString fileNameOfRow(int sourceRow) const;

    QString m_filterText;
};

#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

// Lets an open panel show folders and the files whose type conforms to one of
// the allowed types (type identifiers, or file-name extensions such as "jpg").
class AllowedTypesFilter : public QSortFilterProxyModel {
public:
    AllowedTypesFilter(const QStringList& allowed, QObject* parent);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QStringList m_types;
};

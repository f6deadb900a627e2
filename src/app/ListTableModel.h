#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QSet>

// A table model whose rows are the entries of a list it keeps. When the list is read
// anew, arrangeRows brings the rows in line one at a time (rows removed, moved up to
// their place, inserted) instead of resetting the model, so views keep their
// selection, scroll position and open editors. Entries are told apart by a key.
class ListTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

protected:
    // Makes `rows` list the entries of `fresh` in its order; an entry already listed
    // (same key) keeps its row object, a new one is inserted as `fresh` has it.
    template <typename Row, typename KeyOf>
    void arrangeRows(QList<Row>& rows, const QList<Row>& fresh, KeyOf keyOf)
    {
        removeRowsMissingFrom(rows, fresh, keyOf);
        for (int row = 0; row < fresh.size(); ++row)
            placeRow(rows, fresh.at(row), row, keyOf);
        // Left over only when `rows` listed an entry twice.
        if (rows.size() > fresh.size()) {
            beginRemoveRows({}, int(fresh.size()), int(rows.size()) - 1);
            rows.resize(fresh.size());
            endRemoveRows();
        }
    }

private:
    template <typename Row, typename KeyOf>
    void removeRowsMissingFrom(QList<Row>& rows, const QList<Row>& fresh, KeyOf keyOf)
    {
        QSet<decltype(keyOf(fresh.first()))> kept;
        for (const Row& entry : fresh)
            kept.insert(keyOf(entry));
        for (int row = int(rows.size()) - 1; row >= 0; --row) {
            if (kept.contains(keyOf(rows.at(row))))
                continue;
            beginRemoveRows({}, row, row);
            rows.removeAt(row);
            endRemoveRows();
        }
    }

    // Every row above `row` is in place: the entry is either there already, further
    // down (moved up) or new (inserted).
    template <typename Row, typename KeyOf>
    void placeRow(QList<Row>& rows, const Row& entry, int row, KeyOf keyOf)
    {
        const auto wanted = keyOf(entry);
        int found = -1;
        for (int listed = row; listed < rows.size() && found < 0; ++listed)
            found = keyOf(rows.at(listed)) == wanted ? listed : -1;
        if (found == row)
            return;
        if (found > row) {
            beginMoveRows({}, found, found, {}, row);
            rows.move(found, row);
            endMoveRows();
            return;
        }
        beginInsertRows({}, row, row);
        rows.insert(row, entry);
        endInsertRows();
    }
};

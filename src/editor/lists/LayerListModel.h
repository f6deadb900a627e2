#pragma once

#include "template/KOVA_Template.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <functional>

// The layers table: the open template's layers, topmost first (row 0 shows the last
// layer of the list). The model holds the list as it was last read on the editor's
// shared queue. Rows are dragged as one MIME object holding every dragged row number;
// a drop above row r gives the dragged layers the z-levels just above the layer of
// row r (just above nothing, at the bottom, past the last row), in their stacking
// order, and hands the new levels to the reorder handler.
class LayerListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Pointer = KOVA_Template::Pointer;
    using List = KOVA_Template::List;
    // Receives the template's layers and one z-level string for each.
    using ReorderHandler = std::function<void(const List& layers, const QStringList& zLevels)>;

    static inline const QString layerIndexMimeType = QStringLiteral("com.morvanta.kova.template.layer.index");

    using QAbstractTableModel::QAbstractTableModel;

    void setLayers(const List& layers);
    const List& layers() const { return m_layers; }
    void setReorderHandler(ReorderHandler handler) { m_reorder = std::move(handler); }

    Pointer layerForRow(int row) const;
    // The row showing the layer, or -1.
    int rowForLayer(const Pointer& layer) const;

    // The dragged row numbers a MIME object carries (none when it is not a layer drag).
    static QList<int> draggedRows(const QMimeData* data);
    // Whether dragged rows starting at `firstRow` may be dropped above `row`.
    bool isValidDrop(const QList<int>& rows, int row) const;
    // The z-level strings of the layers (list order) after moving `rows` above `row`.
    QStringList zLevelsForDrop(const QList<int>& rows, int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    // The row a drop lands above: the row dropped on, or the gap's row.
    int dropRow(int row, const QModelIndex& parent) const;

    List m_layers;
    ReorderHandler m_reorder;
};

#pragma once

#include "editor/inspector/InspectorPanels.h"
#include "editor/inspector/KOVA_LayerInspector.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>

class QTableWidget;
class TextboxTableCellView;

// The layer inspector's view: a one-column table without header, one panel a row. Row 0
// shows the panel of the inspected layer's type, the rows after it (background,
// shadow, border, layout, canvas) are the same for every layer. A panel whose enable
// switch is off collapses to its switch, and the text panel grows with its text.
class KOVA_LayerViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr double collapsedRowHeight = InspectorPanels::switchHeight;
    static constexpr double unknownRowHeight = 80.0;

    explicit KOVA_LayerViewController(KOVA_LayerInspector& inspector, QWidget* parent = nullptr);
    ~KOVA_LayerViewController() override;

    KOVA_LayerInspector& inspector() const { return m_inspector; }
    QTableWidget* tableView() const { return m_tableView; }
    // The text panel once it has been shown.
    TextboxTableCellView* textboxCellView() const;

    // The panel identifiers, one per row.
    const QStringList& panels() const { return m_panelIdentifiers; }
    // None for a row outside the table.
    QString identifierForRow(int row) const;
    // The view shown in the row.
    QWidget* viewForRow(int row) const;

    // A switched-off panel: 18; else the text panel's wanted height, the panel's designed
    // height, or 80 when there is none.
    double heightOfRow(int row) const;
    static double heightOfRow(const QString& identifier, std::optional<bool> enabled,
                              std::optional<double> designedHeight, std::optional<double> textCellHeight);

    // Row 0 follows the inspected layer's type; the table is made again.
    void bind();
    // The row of the panel measures its height again.
    void toggleViewForIdentifier(const QString& identifier);
    void noteChangeInTopRowHeight();

    // A separator line at the foot of the panel (only one however often it is shown).
    static void addBoxSeparatorToView(QWidget* view);

private:
    void setDefaultRowHeights();
    void keepRoomForTheWidestPanel();
    // The frame steppers' ranges and increments.
    static void prebind(QWidget* view);
    QWidget* makeRowView(int row);
    // The panel as a row shows it: its steppers' ranges set, its separator at the foot.
    QWidget* panelView(const QString& identifier);
    static QWidget* holding(QWidget* view);
    std::optional<bool> panelEnabled(const QString& identifier) const;

    KOVA_LayerInspector& m_inspector;
    QTableWidget* m_tableView;
    QPointer<TextboxTableCellView> m_textboxCellView;
    QStringList m_panelIdentifiers;
    QHash<QString, double> m_defaultFrameHeight;
};

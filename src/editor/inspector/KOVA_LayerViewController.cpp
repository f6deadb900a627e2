#include "editor/inspector/KOVA_LayerViewController.h"

#include "editor/inspector/InspectorPanels.h"
#include "editor/inspector/TextboxTableCellView.h"
#include "platform/Log.h"

#include <QDoubleSpinBox>
#include <QFrame>
#include <QHeaderView>
#include <QLayout>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

const QString separatorName = QStringLiteral("panelSeparator");

} // namespace

KOVA_LayerViewController::KOVA_LayerViewController(KOVA_LayerInspector& inspector, QWidget* parent)
    : QWidget(parent)
    , m_inspector(inspector)
    , m_tableView(new QTableWidget(0, 1, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tableView);
    m_tableView->horizontalHeader()->hide();
    m_tableView->verticalHeader()->hide();
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->setShowGrid(false);
    m_tableView->setSelectionMode(QAbstractItemView::NoSelection);
    m_tableView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_tableView->setFocusPolicy(Qt::NoFocus);
    connect(&inspector, &KOVA_LayerInspector::layerChanged, this, &KOVA_LayerViewController::bind);
    connect(&inspector, &KOVA_LayerInspector::toggleViewForIdentifier, this,
            &KOVA_LayerViewController::toggleViewForIdentifier);
    connect(&inspector, &KOVA_LayerInspector::noteChangeInTopRowHeight, this, [this] {
        if (m_textboxCellView)
            m_textboxCellView->heightTextField();
        noteChangeInTopRowHeight();
    });
    bind();
    setDefaultRowHeights();
    keepRoomForTheWidestPanel();
}

KOVA_LayerViewController::~KOVA_LayerViewController() = default;

TextboxTableCellView* KOVA_LayerViewController::textboxCellView() const
{
    return m_textboxCellView;
}

QString KOVA_LayerViewController::identifierForRow(int row) const
{
    return row >= 0 && row < m_panelIdentifiers.size() ? m_panelIdentifiers.at(row) : QString();
}

QWidget* KOVA_LayerViewController::viewForRow(int row) const
{
    const auto* holder = qobject_cast<QScrollArea*>(m_tableView->cellWidget(row, 0));
    return holder ? holder->widget() : nullptr;
}

void KOVA_LayerViewController::bind()
{
    if (m_panelIdentifiers.isEmpty())
        m_panelIdentifiers = InspectorPanels::panelsDefault();
    m_panelIdentifiers[0] = InspectorPanels::identifierForLayer(m_inspector.layer().get());
    m_tableView->setRowCount(0);
    m_tableView->setRowCount(static_cast<int>(m_panelIdentifiers.size()));
    for (int row = 0; row < m_panelIdentifiers.size(); ++row)
        m_tableView->setCellWidget(row, 0, holding(makeRowView(row)));
    for (int row = 0; row < m_panelIdentifiers.size(); ++row)
        m_tableView->setRowHeight(row, static_cast<int>(heightOfRow(row)));
}

QWidget* KOVA_LayerViewController::makeRowView(int row)
{
    const QString identifier = identifierForRow(row);
    QWidget* view = panelView(identifier);
    if (!view)
        return nullptr;
    if (!m_defaultFrameHeight.contains(identifier))
        m_defaultFrameHeight.insert(identifier, view->sizeHint().height());
    if (auto* cell = qobject_cast<TextboxTableCellView*>(view)) {
        cell->setHeightDefault(m_defaultFrameHeight.value(identifier));
        cell->heightTextField();
        connect(cell, &TextboxTableCellView::heightChanged, this, &KOVA_LayerViewController::noteChangeInTopRowHeight);
        m_textboxCellView = cell;
    }
    return view;
}

QWidget* KOVA_LayerViewController::panelView(const QString& identifier)
{
    QWidget* view = InspectorPanels::makeView(identifier, m_inspector);
    if (!view)
        return nullptr;
    prebind(view);
    addBoxSeparatorToView(view);
    return view;
}

// A row shows the top of its panel, which keeps its own height: a collapsed panel
// shows its switch and nothing squeezed below it.
QWidget* KOVA_LayerViewController::holding(QWidget* view)
{
    if (!view)
        return nullptr;
    auto* holder = new QScrollArea;
    holder->setFrameShape(QFrame::NoFrame);
    holder->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    holder->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    holder->setWidgetResizable(true);
    holder->setWidget(view);
    return holder;
}

// Designed heights of the panels every layer shows, whether or not they were shown yet,
// measured as their rows show them.
void KOVA_LayerViewController::setDefaultRowHeights()
{
    for (const QString& identifier : InspectorPanels::panelsDefault()) {
        if (m_defaultFrameHeight.contains(identifier))
            continue;
        const std::unique_ptr<QWidget> view(panelView(identifier));
        m_defaultFrameHeight.insert(identifier, view ? view->sizeHint().height() : 0.0);
    }
}

// A row cannot scroll sideways: the table is never narrower than the widest panel beside
// the vertical scroll bar, so the splitter it sits in cannot push a control past the
// table's edge or under the bar.
void KOVA_LayerViewController::keepRoomForTheWidestPanel()
{
    int widest = 0;
    for (const QString& identifier : InspectorPanels::panelsAll()) {
        const std::unique_ptr<QWidget> view(panelView(identifier));
        widest = std::max(widest, view->minimumSizeHint().width());
    }
    const QScrollBar* bar = m_tableView->verticalScrollBar();
    const int barWidth = m_tableView->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar);
    m_tableView->setMinimumWidth(widest + barWidth + 2 * m_tableView->frameWidth());
}

void KOVA_LayerViewController::prebind(QWidget* view)
{
    for (const char* position : {"stepperFrameX", "stepperFrameY"})
        if (auto* stepper = view->findChild<QDoubleSpinBox*>(position))
            stepper->setRange(KOVA_LayerInspector::minDouble, KOVA_LayerInspector::maxDouble);
    for (const char* size : {"stepperFrameWidth", "stepperFrameHeight"})
        if (auto* stepper = view->findChild<QDoubleSpinBox*>(size))
            stepper->setRange(KOVA_LayerInspector::minZero, KOVA_LayerInspector::maxDouble);
    for (auto* stepper : view->findChildren<QDoubleSpinBox*>(QRegularExpression(QStringLiteral("^stepperFrame")))) {
        stepper->setSingleStep(1.0);
        stepper->setAccelerated(true);
    }
}

std::optional<bool> KOVA_LayerViewController::panelEnabled(const QString& identifier) const
{
    for (int index = 0; index < static_cast<int>(KOVA_LayerInspector::Key::Count); ++index) {
        const auto key = static_cast<KOVA_LayerInspector::Key>(index);
        if (KOVA_LayerInspector::name(key) == identifier + QStringLiteral("Enabled"))
            return m_inspector.value(key).toBool();
    }
    return std::nullopt;
}

double KOVA_LayerViewController::heightOfRow(int row) const
{
    const QString identifier = identifierForRow(row);
    const auto designed = m_defaultFrameHeight.constFind(identifier);
    return heightOfRow(identifier, panelEnabled(identifier),
                       designed == m_defaultFrameHeight.constEnd() ? std::nullopt : std::optional(*designed),
                       m_textboxCellView ? std::optional(m_textboxCellView->height()) : std::nullopt);
}

double KOVA_LayerViewController::heightOfRow(const QString& identifier, std::optional<bool> enabled,
                                             std::optional<double> designedHeight,
                                             std::optional<double> textCellHeight)
{
    if (enabled == false)
        return collapsedRowHeight;
    if (identifier == InspectorPanels::textbox && textCellHeight)
        return *textCellHeight;
    return designedHeight.value_or(unknownRowHeight);
}

void KOVA_LayerViewController::toggleViewForIdentifier(const QString& identifier)
{
    if (const int row = static_cast<int>(m_panelIdentifiers.indexOf(identifier)); row >= 0)
        m_tableView->setRowHeight(row, static_cast<int>(heightOfRow(row)));
}

void KOVA_LayerViewController::noteChangeInTopRowHeight()
{
    m_tableView->setRowHeight(0, static_cast<int>(heightOfRow(0)));
}

void KOVA_LayerViewController::addBoxSeparatorToView(QWidget* view)
{
    const QObjectList& children = view->children();
    if (!view->layout() || (!children.isEmpty() && children.last()->objectName() == separatorName))
        return;
    auto* separator = new QFrame;
    separator->setObjectName(separatorName);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    view->layout()->addWidget(separator);
}

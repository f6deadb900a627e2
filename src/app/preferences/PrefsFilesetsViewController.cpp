#include "app/preferences/PrefsFilesetsViewController.h"

#include "app/preferences/FolderSetChooser.h"
#include "app/preferences/FolderSetClickDelegate.h"
#include "app/preferences/FolderSetsTableModel.h"
#include "app/preferences/PrintToFileSetEditor.h"
#include "core/ui/Beeper.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/folders/ZORVAK_UTTypeToPathExtension.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
enum PrintToFileColumn { NameColumn, FolderColumn, FileFormatColumn, NameFormatColumn };

const KOVA_PrintToFileSet& printToFileSet(const KOVA_FolderSet& set) { return static_cast<const KOVA_PrintToFileSet&>(set); }

QVariant displayed(int role, const QVariant& value)
{
    return role == Qt::DisplayRole ? value : QVariant();
}

QList<FolderSetsTableModel::Column> printToFileColumns()
{
    return {
        { QStringLiteral("Name"), [](const KOVA_FolderSet& set, int role) { return displayed(role, set.name()); } },
        { QStringLiteral("Folder"), &FolderSetsTableModel::folderPath },
        { QStringLiteral("File Type"),
          [](const KOVA_FolderSet& set, int role) {
              return displayed(role, ZORVAK_UTTypeToPathExtension::transformedValue(printToFileSet(set).fileFormat()));
          } },
        { QStringLiteral("File Name"),
          [](const KOVA_FolderSet& set, int role) { return displayed(role, printToFileSet(set).nameFormat()); } },
    };
}
} // namespace

PrefsFilesetsViewController::PrefsFilesetsViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(identifier);
    m_model = new FolderSetsTableModel(KOVA_PrintToFileSet::classSide(), printToFileColumns(), this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tableViewFolderSets"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(FolderColumn, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setItemDelegateForColumn(FolderColumn,
                                      new FolderSetClickDelegate([this](int row) { acceptClick(row); },
                                                                 [this](int row) { performClick(row); }, m_table));
    m_editor = new PrintToFileSetEditor(this);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PrefsFilesetsViewController::showSelectedSet);
    connect(m_model, &QAbstractItemModel::modelReset, this, &PrefsFilesetsViewController::showSelectedSet);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(makeButtons());
    layout->addWidget(m_editor);
}

QWidget* PrefsFilesetsViewController::makeButtons()
{
    auto* buttons = new QWidget(this);
    auto* layout = new QHBoxLayout(buttons);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* add = new QPushButton(QStringLiteral("+"), buttons);
    add->setObjectName(QStringLiteral("addFolderSet"));
    connect(add, &QPushButton::clicked, this, &PrefsFilesetsViewController::addFolderSet);
    auto* remove = new QPushButton(QStringLiteral("−"), buttons);
    remove->setObjectName(QStringLiteral("deleteFolderSets"));
    connect(remove, &QPushButton::clicked, this, &PrefsFilesetsViewController::deleteFolderSets);
    layout->addWidget(add);
    layout->addWidget(remove);
    layout->addStretch();
    return buttons;
}

// There are always the eight sets "Path 1" to "Path 8": an added set would vanish
// at the next load and a deleted one come back empty.
void PrefsFilesetsViewController::addFolderSet()
{
    Beeper::beep();
}

void PrefsFilesetsViewController::deleteFolderSets()
{
    Beeper::beep();
}

void PrefsFilesetsViewController::acceptClick(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_table->selectionModel()->select(m_model->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void PrefsFilesetsViewController::performClick(int row)
{
    FolderSetChooser::choose(m_model->folderSetAt(row), m_table);
}

void PrefsFilesetsViewController::showSelectedSet()
{
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    const std::shared_ptr<KOVA_FolderSet> set = selected.isEmpty() ? nullptr : m_model->folderSetAt(selected.constFirst().row());
    m_editor->setFolderSet(std::dynamic_pointer_cast<KOVA_PrintToFileSet>(set));
}

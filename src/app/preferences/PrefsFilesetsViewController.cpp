#include "app/preferences/PrefsFilesetsViewController.h"

#include "app/preferences/AddDeleteButtons.h"
#include "app/preferences/FolderSetsTableModel.h"
#include "app/preferences/FolderSetsTableView.h"
#include "app/preferences/PrintToFileSetEditor.h"
#include "core/ui/Beeper.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/folders/ZORVAK_UTTypeToPathExtension.h"

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
    m_table = new FolderSetsTableView(m_model, FolderColumn, this);
    m_table->setObjectName(QStringLiteral("tableViewFolderSets"));
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_editor = new PrintToFileSetEditor(this);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PrefsFilesetsViewController::showSelectedSet);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(new AddDeleteButtons(QStringLiteral("deleteFolderSets"), [this] { addFolderSet(); },
                                           [this] { deleteFolderSets(); }, this));
    layout->addWidget(m_editor);
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

// The editor is filled only for another set: what is being typed stays.
void PrefsFilesetsViewController::showSelectedSet()
{
    const QList<std::shared_ptr<KOVA_FolderSet>> selected = m_table->selectedFolderSets();
    const auto shown = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(selected.isEmpty() ? nullptr : selected.constFirst());
    if (shown != m_editor->folderSet())
        m_editor->setFolderSet(shown);
}

#include "app/preferences/PrefsTemplatesViewController.h"

#include "app/preferences/DragAndDropTableView1.h"
#include "app/preferences/TemplatesListModel.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"
#include "platform/files/UTType.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString templatesFolder()
{
    return platform::UserDefaults::standardUserDefaults()->stringForKey(key_kovaFolderTemplates);
}
} // namespace

PrefsTemplatesViewController::PrefsTemplatesViewController(QAction* templateEditorAction, QWidget* parent)
    : QWidget(parent), m_templateEditorAction(templateEditorAction)
{
    setObjectName(identifier);
    m_model = new TemplatesListModel(this);
    m_table = new DragAndDropTableView1(this);
    m_table->setObjectName(QStringLiteral("tableViewTemplates"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setAcceptDrop([this](const QList<QUrl>& urls) { return acceptDrop(urls); });

    auto* open = new QPushButton(QStringLiteral("Open Template Editor"), this);
    open->setObjectName(QStringLiteral("openEditor"));
    connect(open, &QPushButton::clicked, this, &PrefsTemplatesViewController::openEditor);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(open);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
}

void PrefsTemplatesViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    const QString folder = templatesFolder();
    if (!folder.isEmpty())
        m_model->changeInputFilePath(folder);
}

Qt::DropAction PrefsTemplatesViewController::acceptDrop(const QList<QUrl>& urls)
{
    QList<QUrl> xmlFiles;
    for (const QUrl& url : urls) {
        const QString type = platform::UTType::typeOfItemAtPath(url.toLocalFile());
        if (type != platform::kUTTypeXML || !QFileInfo(url.toLocalFile()).isFile())
            continue;
        platform::Log::log(QStringLiteral("%1: %2").arg(type, url.toLocalFile()));
        xmlFiles.append(url);
    }
    if (xmlFiles.isEmpty())
        return Qt::IgnoreAction;
    if (templatesFolder().isEmpty()) {
        platform::Log::log(QStringLiteral("no templates folder is set: the dropped templates stay where they are"));
        return Qt::IgnoreAction;
    }
    m_table->setDraggedItems(xmlFiles);
    const int moved = receiveDraggedItems();
    if (moved == 0)
        return Qt::IgnoreAction;
    return moved == xmlFiles.size() ? Qt::MoveAction : Qt::CopyAction;
}

int PrefsTemplatesViewController::receiveDraggedItems()
{
    QStringList paths;
    for (const QUrl& url : m_table->draggedItems())
        paths.append(url.toLocalFile());
    platform::Log::log(QStringLiteral("-[PrefsTemplatesViewController receiveDraggedItems]: (%1)").arg(paths.join(u", ")));
    const QString folder = templatesFolder();
    if (folder.isEmpty())
        return 0;
    QStringList stayed;
    for (const QString& path : paths) {
        platform::Error error;
        const QString destination = QDir(folder).filePath(QFileInfo(path).fileName());
        if (platform::FileOperations::moveItemNoReplace(path, destination, &error))
            continue;
        platform::Log::log(error.description());
        stayed.append(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), error.message));
    }
    if (!stayed.isEmpty())
        tellFilesStayed(stayed);
    return int(paths.size() - stayed.size());
}

void PrefsTemplatesViewController::tellFilesStayed(const QStringList& reasons)
{
    const QVariantMap options {
        { QStringLiteral("messageText"), reasons.size() == 1 ? QStringLiteral("A dropped template was not moved")
                                                             : QStringLiteral("%1 dropped templates were not moved").arg(reasons.size()) },
        { QStringLiteral("informativeText"), reasons.join(u'\n') },
        { QStringLiteral("alertStyle"), 0 },
        { QStringLiteral("window"), QVariant::fromValue<QWidget*>(window()) },
    };
    ZORVAK_NSObjectOpenSave::alertPanelWithOptions(options);
}

void PrefsTemplatesViewController::openEditor()
{
    if (m_templateEditorAction)
        m_templateEditorAction->trigger();
}

#include "app/preferences/TemplatesListModel.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/queues/ZORVAK_FileEvent.h"
#include "core/ui/StatusDot.h"
#include "platform/Log.h"
#include "platform/files/UTType.h"

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {
bool isXMLFile(const QFileInfo& item)
{
    return item.isFile() && !item.isSymLink()
        && platform::UTType::typeOfItemAtPath(item.filePath()).compare(platform::kUTTypeXML, Qt::CaseInsensitive) == 0;
}
} // namespace

TemplatesListModel::TemplatesListModel(QObject* parent) : QAbstractTableModel(parent) {}

TemplatesListModel::~TemplatesListModel()
{
    // First, so that no scan is still running; one already on its way to the main
    // queue finds the model gone.
    m_fileEvent.reset();
    m_alive.reset();
}

QString TemplatesListModel::inputFilePath() const
{
    return m_fileEvent ? m_fileEvent->observedPaths().value(0) : QString();
}

void TemplatesListModel::changeInputFilePath(const QString& folder)
{
    if (m_fileEvent && inputFilePath() == folder)
        return;
    beginResetModel();
    m_templates.clear();
    endResetModel();
    const quint64 generation = ++m_generation;
    m_fileEvent = std::make_unique<ZORVAK_FileEvent>(folder);
    const std::weak_ptr<int> alive = m_alive;
    m_fileEvent->setEventBlock([this, alive, folder, generation](const QStringList&, const ZORVAK_FileEvent::Flags&) {
        const KOVA_Template::List scanned = scanFolder(folder);
        ZORVAK_Dispatch::performAsyncOnMainQueue([this, alive, scanned, generation] {
            if (alive.lock())
                appendScanned(scanned, generation);
        });
    });
    m_fileEvent->setRun(true);
}

KOVA_Template::List TemplatesListModel::scanFolder(const QString& folder)
{
    KOVA_Template::List found;
    const QDir directory(folder);
    if (!directory.exists()) {
        platform::Log::log(QStringLiteral("Failed enumeration at %1 with error:%2")
                               .arg(QUrl::fromLocalFile(folder).toString(), QStringLiteral("no such folder")));
        return found;
    }
    const QFileInfoList items =
        directory.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& item : items) {
        const QUrl url = QUrl::fromLocalFile(item.filePath());
        if (!isXMLFile(item)) {
            platform::Log::log(QStringLiteral("file that is not an xml type: %1").arg(url.toString()));
            continue;
        }
        if (KOVA_Template::Pointer loaded = KOVA_Template::instanceWithXMLObject(url))
            found.append(loaded);
    }
    return found;
}

bool TemplatesListModel::listsFile(const QString& path) const
{
    for (const KOVA_Template::Pointer& listed : m_templates) {
        if (listed->documentURL().toLocalFile() == path)
            return true;
    }
    return false;
}

void TemplatesListModel::appendScanned(const KOVA_Template::List& scanned, quint64 generation)
{
    if (generation != m_generation)
        return;
    for (const KOVA_Template::Pointer& found : scanned) {
        if (listsFile(found->documentURL().toLocalFile()))
            continue;
        beginInsertRows({}, int(m_templates.size()), int(m_templates.size()));
        m_templates.append(found);
        endInsertRows();
    }
}

int TemplatesListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_templates.size());
}

int TemplatesListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TemplatesListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_templates.size())
        return {};
    const KOVA_Template& listed = *m_templates.at(index.row());
    if (index.column() == NameColumn) {
        if (role == Qt::DisplayRole)
            return QFileInfo(listed.documentURL().toLocalFile()).completeBaseName();
        if (role == Qt::DecorationRole)
            return StatusDot::icon(StatusDot::available);
        return {};
    }
    const QString name = listed.name();
    if (role == Qt::DisplayRole)
        return name.isEmpty() ? string_kovaGeneric_missing : name;
    if (role == Qt::ForegroundRole)
        return QBrush(name.isEmpty() ? Qt::red : Qt::black);
    return {};
}

QVariant TemplatesListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == NameColumn ? QStringLiteral("File") : QStringLiteral("Template");
}

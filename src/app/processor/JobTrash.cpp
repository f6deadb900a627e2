#include "app/processor/JobTrash.h"

#include "app/processor/JobFileActions.h"

#include "core/ui/Beeper.h"
#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/files/Trash.h"
#include "platform/undo/UndoManager.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

using platform::Log::log;

JobTrash::JobTrash(QWidget* window, platform::UndoManager* undoManager)
    : QObject(window)
    , m_window(window)
    , m_undoManager(undoManager)
{
}

void JobTrash::registerUndoMoveFilesToTrash(const QList<QUrl>& urls)
{
    if (urls.isEmpty()) {
        Beeper::beep();
        return;
    }
    const QVariantMap options {
        { QStringLiteral("messageText"), QStringLiteral("Really Move Selected Job files to the Trash?") },
        { QStringLiteral("informativeText"), QString() },
        { QStringLiteral("window"), QVariant::fromValue(m_window) },
        { QStringLiteral("buttons"), QVariantMap { { QStringLiteral("Move to Trash"), 1 }, { QStringLiteral("Cancel"), 0 } } },
    };
    QPointer<JobTrash> self(this);
    ZORVAK_NSObjectOpenSave::alertPanelWithOptions(options, [self, urls](QMessageBox* alert, int answer) {
        log(QStringLiteral("%1:alert %2 returned %3")
                .arg(QStringLiteral("-[ViewController registerUndoMoveFilesToTrash:]_block_invoke"), alert ? alert->text() : QString())
                .arg(answer));
        if (answer == 1 && self)
            self->moveConfirmed(urls);
    });
}

void JobTrash::moveConfirmed(const QList<QUrl>& urls)
{
    QStringList names;
    QStringList paths;
    for (const QUrl& url : urls) {
        names << QFileInfo(url.toLocalFile()).fileName();
        paths << url.toLocalFile();
    }
    log(QStringLiteral("Moving job files to the trash: (%1)").arg(names.join(QStringLiteral(", "))));
    QPointer<JobTrash> self(this);
    platform::DispatchQueue::global(platform::QoS::UserInitiated)->async([self, urls, paths] {
        const platform::Trash::Result result = platform::Trash::moveToTrash(paths);
        JobFileActions::Stayed stayed;
        for (const auto& [path, error] : result.failures)
            stayed.append({ path, error.description() });
        platform::DispatchQueue::main()->async([self, urls, trashed = result.trashed, stayed] {
            if (!self)
                return;
            if (!trashed.isEmpty())
                self->registerUndo(urls, trashed);
            JobFileActions::tellItemsThatStayed(self->m_window, tr("the Trash"), stayed);
        });
    });
}

void JobTrash::registerUndo(const QList<QUrl>& urls, const QList<QPair<QString, QString>>& trashed)
{
    if (!m_undoManager)
        return;
    QPointer<JobTrash> self(this);
    m_undoManager->registerUndo(this, [self, urls, trashed] {
        for (const auto& pair : trashed)
            log(QStringLiteral("Restoring %1 from the trash").arg(QFileInfo(pair.second).fileName()));
        platform::Trash::restore(trashed);
        if (!self)
            return;
        self->m_undoManager->registerUndo(self.data(), [self, urls] {
            if (self)
                self->registerUndoMoveFilesToTrash(urls);
        });
    });
    m_undoManager->setActionName(QStringLiteral("Move Files to Trash"));
}

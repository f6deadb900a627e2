#include "editor/documents/SavePanel.h"

#include <QFileDialog>

void SavePanel::open(QWidget* window, const Options& options, Reply reply)
{
    auto* dialog = new QFileDialog(window, options.title, options.folder, options.nameFilter);
    dialog->setObjectName(objectName);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(options.defaultSuffix);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, reply = std::move(reply)](int result) {
        const QList<QUrl> chosen = dialog->selectedUrls();
        reply(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QUrl());
    });
    dialog->open();
}

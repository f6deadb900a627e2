#include "app/preferences/PrefsAdvancedViewController.h"

#include "core/ui/FileManagerReveal.h"
#include "workflow/KOVA_LoggerExtension.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PrefsAdvancedViewController::PrefsAdvancedViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(identifier);
    const QString logFile = KOVA_LoggerExtension::defaultLogFileKOVA().toLocalFile();
    auto* field = new QLineEdit(logFile, this);
    field->setObjectName(QStringLiteral("logFilePath"));
    field->setReadOnly(true);
    field->setToolTip(logFile);
    auto* reveal = new QPushButton(QStringLiteral("Reveal Log File"), this);
    reveal->setObjectName(QStringLiteral("revealLogFile"));
    connect(reveal, &QPushButton::clicked, this, [logFile] { FileManagerReveal::revealItems({ logFile }); });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Log file:"), field);
    form->addRow(QString(), reveal);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
}

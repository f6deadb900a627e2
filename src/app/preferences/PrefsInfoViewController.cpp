#include "app/preferences/PrefsInfoViewController.h"

#include "core/foundation/ZORVAK_NSBundle.h"
#include "core/foundation/ZORVAK_NSProcessInfo.h"

#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {
struct Licence {
    const char* library;
    const char* licence;
};

const Licence licences[] = {
    { "Qt", "GNU LGPL 3" },
    { "libxml2", "MIT" },
    { "libplist", "GNU LGPL 2.1" },
    { "Exiv2", "GNU GPL 2 or later" },
    { "Poppler", "GNU GPL 2 or later" },
    { "Little CMS", "MIT" },
    { "zint", "BSD 3-Clause" },
    { "ZXing-C++", "Apache 2.0" },
    { "ICU", "Unicode License" },
    { "libjpeg-turbo", "IJG and BSD 3-Clause" },
};
} // namespace

PrefsInfoViewController::PrefsInfoViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(identifier);
    auto* version = new QLabel(ZORVAK_NSBundle::longDescription(), this);
    version->setObjectName(QStringLiteral("longDescription"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(version);
    layout->addWidget(makeHostFacts());
    layout->addWidget(makeLicences(), 1);
}

QWidget* PrefsInfoViewController::makeHostFacts()
{
    const std::shared_ptr<ZORVAK_SystemInfo> host = ZORVAK_NSProcessInfo::systemInfo();
    auto* facts = new QWidget(this);
    auto* form = new QFormLayout(facts);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("System:"), new QLabel(QSysInfo::prettyProductName(), facts));
    form->addRow(QStringLiteral("Kernel:"), new QLabel(QSysInfo::kernelVersion(), facts));
    form->addRow(QStringLiteral("Architecture:"), new QLabel(host->hardwareArch(), facts));
    form->addRow(QStringLiteral("Processor:"), new QLabel(host->hardwareCPU().value_or(QString()), facts));
    form->addRow(QStringLiteral("Cores:"), new QLabel(QString::number(host->cpuCountLogical()), facts));
    form->addRow(QStringLiteral("Memory:"), new QLabel(host->physical().value_or(QString()), facts));
    return facts;
}

QWidget* PrefsInfoViewController::makeLicences()
{
    QString text;
    for (const Licence& licence : licences)
        text += QStringLiteral("%1: %2\n").arg(QString::fromLatin1(licence.library), QString::fromLatin1(licence.licence));
    auto* view = new QPlainTextEdit(text.trimmed(), this);
    view->setObjectName(QStringLiteral("licences"));
    view->setReadOnly(true);
    return view;
}

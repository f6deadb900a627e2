#include "core/ui/ZORVAK_NSObjectOpenSave.h"

#include "core/queues/ZORVAK_Dispatch.h"
#include "core/ui/AllowedTypesFilter.h"
#include "platform/Log.h"
#include "platform/text/StringValues.h"

#include <QDebug>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {
const char kTagProperty[] = "tag";

QString describe(const QVariantMap& options)
{
    QString text;
    QDebug(&text).nospace() << options;
    return text;
}

// The window candidates are taken when the panel is asked for and followed
// weakly until it is shown.
struct WindowChoice {
    QPointer<QWidget> fromOptions;
    QPointer<QWidget> receiver;

    WindowChoice(const QVariantMap& options, QWidget* receiverWidget)
        : fromOptions(options.value(QStringLiteral("window")).value<QWidget*>())
        , receiver(receiverWidget)
    {
    }
    // The window from the options when it is one, else the receiver's.
    QWidget* window() const
    {
        if (fromOptions && fromOptions->isWindow())
            return fromOptions;
        return receiver ? receiver->window() : nullptr;
    }
};

// A window that shows a window-modal dialog already carries a sheet.
bool hasAttachedSheet(const QWidget* window)
{
    const QList<QDialog*> dialogs = window->findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
    return std::any_of(dialogs.cbegin(), dialogs.cend(),
        [](const QDialog* dialog) { return dialog->isVisible() && dialog->windowModality() == Qt::WindowModal; });
}

// Shows the panel, a sheet when it has a parent window; `finished` runs when it
// closes, then the panel goes.
void present(QDialog* panel, std::function<void(int result)> finished)
{
    const bool isSheet = panel->parentWidget() != nullptr;
    panel->setWindowModality(isSheet ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(panel, &QDialog::finished, panel, [panel, isSheet, finished = std::move(finished)](int result) {
        if (isSheet)
            platform::Log::log(QLatin1String(Q_FUNC_INFO));
        finished(result);
        panel->deleteLater();
    });
    panel->show();
}

QFileDialog::FileMode fileMode(bool files, bool folders, bool multiple)
{
    if (folders && !files)
        return QFileDialog::Directory;
    return multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile;
}

void showMessage(QFileDialog* panel, const QString& message)
{
    auto* grid = qobject_cast<QGridLayout*>(panel->layout());
    if (grid && !message.isEmpty())
        grid->addWidget(new QLabel(message, panel), grid->rowCount(), 0, 1, grid->columnCount());
}

bool isList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

QFileDialog* makeOpenPanel(const QVariantMap& options, QWidget* sheetWindow)
{
    auto* panel = new QFileDialog(sheetWindow);
    // Qt's own dialog: a platform dialog could neither show the message nor filter by type.
    panel->setOption(QFileDialog::DontUseNativeDialog);
    bool files = true, folders = true, multiple = false;
    for (auto option = options.cbegin(); option != options.cend(); ++option) {
        const QString& key = option.key();
        const QVariant& value = option.value();
        if (key == QLatin1String("title"))
            panel->setWindowTitle(value.toString());
        else if (key == QLatin1String("message"))
            showMessage(panel, value.toString());
        else if (key == QLatin1String("canChooseFiles"))
            files = platform::StringValues::boolValue(value);
        else if (key == QLatin1String("canChooseDirectories"))
            folders = platform::StringValues::boolValue(value);
        else if (key == QLatin1String("allowsMultipleSelection"))
            multiple = platform::StringValues::boolValue(value);
        else if (key == QLatin1String("canCreateDirectories"))
            panel->setOption(QFileDialog::ReadOnly, !platform::StringValues::boolValue(value));
        else if (key == QLatin1String("allowedFileTypes") && isList(value))
            panel->setProxyModel(new AllowedTypesFilter(value.toStringList(), panel));
        else if (key == QLatin1String("directoryURL") && value.typeId() == QMetaType::QUrl)
            panel->setDirectoryUrl(value.toUrl());
    }
    panel->setFileMode(fileMode(files, folders, multiple));
    return panel;
}

// Title -> answer number, in the order of the numbers.
QList<std::pair<qint64, QString>> numberedButtons(const QVariant& value)
{
    QList<std::pair<qint64, QString>> buttons;
    if (value.typeId() != QMetaType::QVariantMap)
        return buttons;
    const QVariantMap titles = value.toMap();
    for (auto button = titles.cbegin(); button != titles.cend(); ++button)
        buttons.append({ platform::StringValues::integerValue(button.value()), button.key() });
    std::stable_sort(buttons.begin(), buttons.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return buttons;
}

void addButton(QMessageBox* alert, const QString& title, qint64 answer)
{
    // One role for all keeps the buttons in the order they are added.
    QPushButton* button = alert->addButton(title, QMessageBox::ActionRole);
    button->setProperty(kTagProperty, answer);
}

// The "buttons" first, then the "buttonTitles", whatever order the options list them in.
void addButtons(QMessageBox* alert, const QVariantMap& options)
{
    for (const auto& [answer, title] : numberedButtons(options.value(QStringLiteral("buttons"))))
        addButton(alert, title, answer);
    const QVariant titles = options.value(QStringLiteral("buttonTitles"));
    if (isList(titles)) {
        for (const QString& title : titles.toStringList())
            addButton(alert, title, ZORVAK_NSObjectOpenSave::kFirstButtonReturn + alert->buttons().size());
    }
    if (alert->buttons().isEmpty())
        addButton(alert, QStringLiteral("OK"), ZORVAK_NSObjectOpenSave::kFirstButtonReturn);
    alert->setDefaultButton(qobject_cast<QPushButton*>(alert->buttons().first()));
}

QMessageBox::Icon alertIcon(qint64 style)
{
    switch (style) {
    case 1: return QMessageBox::Information;
    case 2: return QMessageBox::Critical;
    default: return QMessageBox::Warning;
    }
}

QMessageBox* makeAlert(const QVariantMap& options, QWidget* sheetWindow)
{
    auto* alert = new QMessageBox(sheetWindow);
    alert->setText(options.value(QStringLiteral("messageText")).toString());
    alert->setInformativeText(options.value(QStringLiteral("informativeText")).toString());
    alert->setIcon(alertIcon(platform::StringValues::integerValue(options.value(QStringLiteral("alertStyle")))));
    addButtons(alert, options);
    return alert;
}
} // namespace

void ZORVAK_NSObjectOpenSave::openPanelWithOptions(const QVariantMap& options, OpenPanelReply reply, QWidget* receiver)
{
    platform::Log::log(QStringLiteral("%1 options:%2").arg(QLatin1String(Q_FUNC_INFO), describe(options)));
    ZORVAK_Dispatch::performAsyncOnMainQueue([options, reply = std::move(reply), choice = WindowChoice(options, receiver)] {
        QWidget* window = choice.window();
        QFileDialog* panel = makeOpenPanel(options, window && !hasAttachedSheet(window) ? window : nullptr);
        present(panel, [panel, reply](int result) {
            if (reply)
                reply(panel, result);
        });
    });
}

void ZORVAK_NSObjectOpenSave::alertPanelWithOptions(const QVariantMap& options, AlertReply reply, QWidget* receiver)
{
    platform::Log::log(QLatin1String(Q_FUNC_INFO));
    ZORVAK_Dispatch::performAsyncOnMainQueue([options, reply = std::move(reply), choice = WindowChoice(options, receiver)] {
        QMessageBox* alert = makeAlert(options, choice.window());
        present(alert, [alert, reply](int) {
            const QAbstractButton* chosen = alert->clickedButton();
            if (reply)
                reply(alert, chosen ? chosen->property(kTagProperty).toInt() : 0);
        });
    });
}

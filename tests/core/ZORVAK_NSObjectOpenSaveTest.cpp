#include "core/ui/ZORVAK_NSObjectOpenSave.h"

#include "FileFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QAbstractProxyModel>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace {
// The panel of that kind once the main queue has shown it.
template <class Panel>
Panel* shownPanel()
{
    Panel* shown = nullptr;
    kova::test::waitUntil([&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* panel = qobject_cast<Panel*>(window); panel && panel->isVisible())
                shown = panel;
        }
        return shown != nullptr;
    });
    return shown;
}

QStringList titlesOf(const QMessageBox* alert)
{
    QStringList titles;
    for (const QAbstractButton* button : alert->buttons())
        titles.append(button->text());
    return titles;
}

QAbstractButton* buttonTitled(const QMessageBox* alert, const QString& title)
{
    for (QAbstractButton* button : alert->buttons()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

// What a reply was called with.
template <class Panel>
struct Reply {
    std::optional<int> response;
    Panel* panel = nullptr;

    std::function<void(Panel*, int)> block()
    {
        return [this](Panel* replied, int answer) {
            panel = replied;
            response = answer;
        };
    }
    bool arrived() { return kova::test::waitUntil([this] { return response.has_value(); }); }
};
} // namespace

TEST(ZORVAK_NSObjectOpenSave, AlertButtonsComeInTheOrderOfTheirAnswersAndAnswerWithThem)
{
    const QVariantMap options = {
        { "messageText", "Really Move Selected Job files to the Trash?" },
        { "informativeText", QString() },
        { "buttons", QVariantMap{ { "Move to Trash", 1 }, { "Cancel", 0 } } },
        { "buttonTitles", QStringList{ "Later" } },
    };
    for (const auto& [chosen, answer] : { std::pair("Move to Trash", 1), std::pair("Cancel", 0), std::pair("Later", 1002) }) {
        Reply<QMessageBox> reply;
        ZORVAK_NSObjectOpenSave::alertPanelWithOptions(options, reply.block());
        QMessageBox* alert = shownPanel<QMessageBox>();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->text(), options.value("messageText").toString());
        EXPECT_EQ(titlesOf(alert), QStringList({ "Cancel", "Move to Trash", "Later" }));
        // Shown from left to right in the same order, the first as the default.
        const QList<QAbstractButton*> buttons = alert->buttons();
        EXPECT_LT(buttons[0]->x(), buttons[1]->x());
        EXPECT_LT(buttons[1]->x(), buttons[2]->x());
        EXPECT_EQ(alert->defaultButton(), buttons[0]);

        buttonTitled(alert, QLatin1String(chosen))->click();
        ASSERT_TRUE(reply.arrived());
        EXPECT_EQ(reply.response, answer) << chosen;
        EXPECT_EQ(reply.panel, alert);
    }
}

TEST(ZORVAK_NSObjectOpenSave, AlertIsASheetOnAWindowAndFreeStandingWithout)
{
    QWidget window;
    window.show();
    QWidget inside(&window);
    const std::pair<QVariantMap, QWidget*> cases[] = {
        { { { "window", QVariant::fromValue(&window) } }, nullptr },
        { {}, &inside }, // the receiver's window
        { { { "window", QVariant() } }, nullptr },
    };
    for (const auto& [options, receiver] : cases) {
        Reply<QMessageBox> reply;
        ZORVAK_NSObjectOpenSave::alertPanelWithOptions(options, reply.block(), receiver);
        QMessageBox* alert = shownPanel<QMessageBox>();
        ASSERT_TRUE(alert);
        const bool expectSheet = options.value("window").isValid() || receiver;
        EXPECT_EQ(alert->parentWidget(), expectSheet ? &window : nullptr);
        EXPECT_EQ(alert->windowModality(), expectSheet ? Qt::WindowModal : Qt::ApplicationModal);
        ASSERT_EQ(titlesOf(alert), QStringList({ "OK" }));
        alert->buttons().first()->click();
        ASSERT_TRUE(reply.arrived());
        EXPECT_EQ(reply.response, ZORVAK_NSObjectOpenSave::kFirstButtonReturn);
    }
}

TEST(ZORVAK_NSObjectOpenSave, OpenPanelChoosesAFolderAsASheet)
{
    const kova::test::ScratchFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Set")));
    QWidget window;
    window.show();
    const QVariantMap options = {
        { "message", "Choose a Folder for 'Set'" },
        { "canChooseFiles", false },
        { "canChooseDirectories", true },
        { "canCreateDirectories", true },
        { "allowsMultipleSelection", false },
        { "allowedFileTypes", QStringList{ "public.folder" } },
        { "directoryURL", QUrl::fromLocalFile(folder.path()) },
        { "window", QVariant::fromValue(&window) },
    };
    std::optional<int> response;
    QList<QUrl> chosen;
    ZORVAK_NSObjectOpenSave::openPanelWithOptions(options, [&](QFileDialog* panel, int answer) {
        response = answer;
        chosen = panel->selectedUrls();
    });
    QFileDialog* panel = shownPanel<QFileDialog>();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->parentWidget(), &window);
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel->fileMode(), QFileDialog::Directory);
    EXPECT_FALSE(panel->testOption(QFileDialog::ReadOnly));
    EXPECT_EQ(panel->directory().path(), folder.path());
    const QList<QLabel*> labels = panel->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.cbegin(), labels.cend(), [&](const QLabel* label) { return label->text() == options.value("message"); }));

    // Typed as a user would, then chosen.
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->setText(QStringLiteral("Set"));
    const QString set = folder.path(QStringLiteral("Set"));
    EXPECT_EQ(panel->selectedFiles(), QStringList({ set }));
    QMetaObject::invokeMethod(panel, "accept");
    ASSERT_TRUE(kova::test::waitUntil([&] { return response.has_value(); }));
    EXPECT_EQ(response, ZORVAK_NSObjectOpenSave::kResponseOK);
    EXPECT_EQ(chosen, QList<QUrl>({ QUrl::fromLocalFile(set) }));
}

TEST(ZORVAK_NSObjectOpenSave, OpenPanelOnAWindowThatShowsASheetStandsFree)
{
    QWidget window;
    window.show();
    QDialog sheet(&window);
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
    Reply<QFileDialog> reply;
    // Types given as a text rather than a list leave every type choosable.
    ZORVAK_NSObjectOpenSave::openPanelWithOptions(
        { { "window", QVariant::fromValue(&window) }, { "allowedFileTypes", "public.jpeg" } }, reply.block());
    QFileDialog* panel = shownPanel<QFileDialog>();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->parentWidget(), nullptr);
    EXPECT_EQ(panel->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(panel->proxyModel(), nullptr);
    EXPECT_EQ(panel->fileMode(), QFileDialog::ExistingFile);
    panel->reject();
    ASSERT_TRUE(reply.arrived());
    EXPECT_EQ(reply.response, 0);
}

TEST(ZORVAK_NSObjectOpenSave, OpenPanelShowsFoldersAndFilesOfTheAllowedTypes)
{
    const kova::test::ScratchFolder folder;
    for (const char* name : { "photo.JPG", "scan.pdf", "notes.txt" })
        ASSERT_TRUE(kova::test::writeFile(folder.path(QLatin1String(name)), "x"));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    Reply<QFileDialog> reply;
    ZORVAK_NSObjectOpenSave::openPanelWithOptions(
        { { "allowedFileTypes", QStringList{ "public.image", "pdf" } }, { "directoryURL", QUrl::fromLocalFile(folder.path()) } },
        reply.block());
    QFileDialog* panel = shownPanel<QFileDialog>();
    ASSERT_TRUE(panel && panel->proxyModel());
    const QAbstractProxyModel* shown = panel->proxyModel();
    const auto* files = qobject_cast<const QFileSystemModel*>(shown->sourceModel());
    ASSERT_TRUE(files);
    const auto isShown = [&](const char* name) { return shown->mapFromSource(files->index(folder.path(QLatin1String(name)))).isValid(); };
    ASSERT_TRUE(kova::test::waitUntil([&] { return isShown("photo.JPG"); }));
    EXPECT_TRUE(isShown("scan.pdf"));
    EXPECT_TRUE(isShown("sub"));
    EXPECT_FALSE(isShown("notes.txt"));
    panel->reject();
    EXPECT_TRUE(reply.arrived());
}

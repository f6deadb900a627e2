#include "app/preferences/DragAndDropTableView1.h"
#include "app/preferences/PrefsTemplatesViewController.h"
#include "app/preferences/TemplatesListModel.h"

#include "HostileFiles.h"
#include "TestEnvironment.h"
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"

#include <QApplication>
#include <QBrush>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {
QByteArray templateText(const QString& name)
{
    return QStringLiteral("<data type=\"KOVA_Template\" version=\"1.0\"><layout size=\"{100, 50}\" name=\"%1\"/></data>")
        .arg(name)
        .toUtf8();
}

void write(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QStringList listedFiles(const TemplatesListModel& model)
{
    QStringList files;
    for (int row = 0; row < model.rowCount(); ++row)
        files.append(model.index(row, TemplatesListModel::NameColumn).data().toString());
    return files;
}

// Drops `paths` on the table, offering a move or a copy; answers the action the
// drop reports to its source (Qt::IgnoreAction when refused).
Qt::DropAction drop(DragAndDropTableView1* table, const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(table->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::MoveAction);
    QDropEvent event(QPointF(10, 10), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(table->viewport(), &event);
    return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
}

// The informative texts of the alerts shown on `window`, which are closed.
QStringList alertsShown(QWidget* window)
{
    kova::test::processMainQueue();
    QStringList texts;
    for (QMessageBox* alert : window->findChildren<QMessageBox*>()) {
        if (!alert->isVisible())
            continue;
        texts.append(alert->informativeText());
        alert->done(0);
    }
    kova::test::processMainQueue();
    return texts;
}
} // namespace

class TemplatesPane : public testing::Test {
protected:
    void SetUp() override
    {
        folder = templates.path() + QStringLiteral("/Templates");
        QDir().mkpath(folder);
        defaults()->setObject(folder, key_kovaFolderTemplates);
    }
    void TearDown() override { defaults()->removeObjectForKey(key_kovaFolderTemplates); }

    static std::shared_ptr<platform::UserDefaults> defaults() { return platform::UserDefaults::standardUserDefaults(); }
    std::unique_ptr<PrefsTemplatesViewController> shownPane()
    {
        auto pane = std::make_unique<PrefsTemplatesViewController>(nullptr);
        pane->show();
        return pane;
    }

    QTemporaryDir templates;
    QString folder;
};

TEST_F(TemplatesPane, ListsTheTopLevelTemplatesAndLogsOtherFiles)
{
    write(folder + "/a.xml", templateText("Card"));
    write(folder + "/b.png", "not a template");
    write(folder + "/sub/c.xml", templateText("Deep"));
    const QString logged = kova::test::loggedBy([&] {
        const KOVA_Template::List found = TemplatesListModel::scanFolder(folder);
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found.constFirst()->name(), QStringLiteral("Card"));
    });
    EXPECT_TRUE(logged.contains(QStringLiteral("file that is not an xml type: ") + QUrl::fromLocalFile(folder + "/b.png").toString()))
        << logged.toStdString();
    EXPECT_FALSE(logged.contains(QStringLiteral("c.xml")));

    auto pane = shownPane();
    ASSERT_TRUE(kova::test::waitUntil([&] { return pane->templates()->rowCount() == 1; }));
    EXPECT_EQ(listedFiles(*pane->templates()), QStringList({ "a" }));
}

TEST_F(TemplatesPane, ATemplateWithoutANameShowsMissingInRed)
{
    write(folder + "/nameless.xml", templateText({}));
    auto pane = shownPane();
    ASSERT_TRUE(kova::test::waitUntil([&] { return pane->templates()->rowCount() == 1; }));
    const QModelIndex type = pane->templates()->index(0, TemplatesListModel::TypeColumn);
    EXPECT_EQ(type.data().toString(), QStringLiteral("<missing>"));
    EXPECT_EQ(type.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
}

TEST_F(TemplatesPane, ACopyOfAListedTemplateIsListedToo)
{
    write(folder + "/a.xml", templateText("Card"));
    auto pane = shownPane();
    ASSERT_TRUE(kova::test::waitUntil([&] { return pane->templates()->rowCount() == 1; }));
    QFile::copy(folder + "/a.xml", folder + "/a copy.xml");
    ASSERT_TRUE(kova::test::waitUntil([&] { return pane->templates()->rowCount() == 2; }));
    EXPECT_EQ(listedFiles(*pane->templates()), QStringList({ "a", "a copy" }));
}

TEST_F(TemplatesPane, DropsMoveXMLFilesInWithoutReplacingAndRefuseOthers)
{
    QTemporaryDir outside;
    write(outside.path() + "/picture.png", "png");
    for (const char* name : { "one", "two", "three", "four" })
        write(outside.path() + "/" + name + ".xml", templateText(name));
    write(folder + "/two.xml", templateText("Kept"));
    write(folder + "/four.xml", templateText("Kept"));
    auto pane = shownPane();

    QMimeData copyOnly;
    copyOnly.setUrls({ QUrl::fromLocalFile(outside.path() + "/one.xml") });
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &copyOnly, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane->tableView()->viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());

    // A move is answered only when every file moved: the source would delete the rest.
    const struct {
        QStringList dropped;
        Qt::DropAction answered;
        QStringList stayed;
    } drops[] = {
        { { "picture.png" }, Qt::IgnoreAction, { "picture.png" } },
        { { "one.xml", "two.xml" }, Qt::CopyAction, { "two.xml" } },
        { { "four.xml" }, Qt::IgnoreAction, { "four.xml" } },
        { { "three.xml" }, Qt::MoveAction, {} },
    };
    for (const auto& d : drops) {
        QStringList paths;
        for (const QString& name : d.dropped)
            paths.append(outside.path() + "/" + name);
        const QString logged = kova::test::loggedBy([&] { EXPECT_EQ(drop(pane->tableView(), paths), d.answered); });
        const QStringList alerts = alertsShown(pane.get());
        if (d.stayed.isEmpty())
            EXPECT_TRUE(alerts.isEmpty());
        for (const QString& name : d.dropped) {
            const bool stays = d.stayed.contains(name);
            EXPECT_EQ(QFile::exists(outside.path() + "/" + name), stays) << name.toStdString();
            if (!stays || !name.endsWith(".xml"))
                continue;
            EXPECT_TRUE(logged.contains(name)) << logged.toStdString();
            ASSERT_EQ(alerts.size(), 1) << name.toStdString();
            EXPECT_TRUE(alerts.constFirst().startsWith(name + ": ")) << alerts.constFirst().toStdString();
            EXPECT_TRUE(alerts.constFirst().contains(QString::fromLocal8Bit(std::strerror(EEXIST))));
        }
    }
    QFile kept(folder + "/two.xml");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll().contains("Kept"));
    EXPECT_TRUE(QFile::exists(folder + "/one.xml"));
    EXPECT_TRUE(QFile::exists(folder + "/three.xml"));
}

TEST_F(TemplatesPane, WithoutATemplatesFolderADropIsRefused)
{
    QTemporaryDir outside;
    write(outside.path() + "/one.xml", templateText("One"));
    auto pane = shownPane();
    defaults()->removeObjectForKey(key_kovaFolderTemplates);
    EXPECT_EQ(drop(pane->tableView(), { outside.path() + "/one.xml" }), Qt::IgnoreAction);
    EXPECT_TRUE(QFile::exists(outside.path() + "/one.xml"));
    EXPECT_FALSE(QFile::exists(QDir::currentPath() + "/one.xml"));
}

#include "editor/lists/DocumentListModel.h"
#include "editor/lists/FileNameOrder.h"
#include "editor/lists/PackageFilterModel.h"
#include "editor/lists/PackageFolderScan.h"
#include "editor/lists/TemplateFolderScan.h"

#include "FileFixtures.h"
#include "StandardErrorCapture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <utility>

namespace {

const QString ExamplePackages = QStringLiteral(KOVA_EXAMPLES_DIR "/Packages/");

QByteArray examplePackage(const QString& name)
{
    return kova::test::readFile(ExamplePackages + name);
}

QByteArray templateText(int width)
{
    return QStringLiteral("<?xml version=\"1.0\"?><data type=\"KOVA_Template\" version=\"1.0\">"
                          "<layout size=\"{%1, 400}\"/></data>")
        .arg(width)
        .toUtf8();
}

TEST(FileNameOrderTest, NumbersCompareByValueAndLettersInAnyCase)
{
    const std::pair<QString, QString> ordered[] = {
        {QStringLiteral("A2.xml"), QStringLiteral("a10.xml")},
        {QStringLiteral("t2"), QStringLiteral("T10")},
        {QStringLiteral("apple"), QStringLiteral("Banana")},
    };
    for (const auto& [first, second] : ordered) {
        EXPECT_TRUE(FileNameOrder::lessThan(first, second)) << first.toStdString();
        EXPECT_FALSE(FileNameOrder::lessThan(second, first)) << second.toStdString();
    }
    EXPECT_TRUE(FileNameOrder::containsFolded(QStringLiteral("Café Prints"), QStringLiteral("cafe")));
    EXPECT_TRUE(FileNameOrder::containsFolded(QStringLiteral("xxABCxx"), QStringLiteral("abc")));
    EXPECT_FALSE(FileNameOrder::containsFolded(QStringLiteral("ab-c"), QStringLiteral("abc")));
}

// Templates: XML files directly in the folder, sorted by name; other items are left out.
TEST(TemplateFolderScanTest, ListsTemplateFilesSortedByName)
{
    kova::test::ScratchFolder folder;
    ASSERT_TRUE(kova::test::writeFile(folder.path(QStringLiteral("a10.xml")), templateText(100)));
    ASSERT_TRUE(kova::test::writeFile(folder.path(QStringLiteral("A2.xml")), templateText(200)));
    ASSERT_TRUE(kova::test::writeFile(folder.path(QStringLiteral("notes.txt")), "text"));
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("sub")));
    ASSERT_TRUE(kova::test::writeFile(folder.path(QStringLiteral("sub/inner.xml")), templateText(300)));
    ASSERT_TRUE(QFile::link(folder.path(QStringLiteral("A2.xml")), folder.path(QStringLiteral("link.xml"))));

    const QList<TemplateEntry> entries = TemplateFolderScan::scan(folder.path());
    QStringList names;
    for (const TemplateEntry& entry : entries) {
        names.append(FileNameOrder::fileName(entry.templateObject->documentURL()));
        EXPECT_FALSE(entry.generation.isEmpty());
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("A2.xml"), QStringLiteral("a10.xml")}));
    EXPECT_TRUE(TemplateFolderScan::scan(folder.path(QStringLiteral("missing"))).isEmpty());
}

// Packages: an unchanged file keeps its object, a changed one is replaced (one entry per
// file), a removed one goes.
TEST(PackageFolderScanTest, KeepsUnchangedPackagesAndReplacesChangedOnes)
{
    kova::test::ScratchFolder folder;
    const QString postcard = folder.path(QStringLiteral("Postcard.xml"));
    const QString sheet = folder.path(QStringLiteral("Postcard Sheet.xml"));
    ASSERT_TRUE(kova::test::writeFile(postcard, examplePackage(QStringLiteral("Postcard.xml"))));
    ASSERT_TRUE(kova::test::writeFile(sheet, examplePackage(QStringLiteral("Postcard Sheet.xml"))));
    PackageFolderScan scan(folder.path());
    const PackageFolderScan::List first = scan.scan();
    ASSERT_EQ(first.size(), 2);

    // Touched without a change of time: same objects.
    EXPECT_EQ(scan.scan(), first);

    // Edited: a newly read object for that file, still one entry for it.
    QFile file(postcard);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime later = file.fileTime(QFileDevice::FileModificationTime).addSecs(5);
    file.close();
    ASSERT_TRUE(kova::test::writeFile(postcard, examplePackage(QStringLiteral("Postcard.xml"))));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(later, QFileDevice::FileModificationTime));
    file.close();
    const PackageFolderScan::List edited = scan.scan();
    ASSERT_EQ(edited.size(), 2);
    int postcards = 0;
    for (const KOVA_Package::Pointer& package : edited) {
        if (package->documentURL().toLocalFile() == postcard) {
            ++postcards;
            EXPECT_FALSE(first.contains(package));
        } else {
            EXPECT_TRUE(first.contains(package));
        }
    }
    EXPECT_EQ(postcards, 1);

    ASSERT_TRUE(QFile::remove(sheet));
    const PackageFolderScan::List remaining = scan.scan();
    ASSERT_EQ(remaining.size(), 1);
    EXPECT_EQ(remaining.first()->documentURL().toLocalFile(), postcard);
}

TEST(PackageFilterModelTest, FiltersByFileNamePartAndSortsByName)
{
    kova::test::ScratchFolder folder;
    const QStringList names{QStringLiteral("xABC10.xml"), QStringLiteral("abc2.xml"), QStringLiteral("Ábc-3.xml"),
                            QStringLiteral("other.xml")};
    for (const QString& name : names)
        ASSERT_TRUE(kova::test::writeFile(folder.path(name), examplePackage(QStringLiteral("Postcard.xml"))));
    PackageFolderScan scan(folder.path());
    const PackageFolderScan::List packages = scan.scan();
    DocumentListModel list;
    list.setEntries(QList<DocumentListModel::Entry>(packages.cbegin(), packages.cend()));
    PackageFilterModel arranged;
    kova::test::StandardErrorCapture log;
    arranged.setSourceModel(&list);
    EXPECT_TRUE(log.text().contains(QStringLiteral("] <KOVA_Package: 0x")));

    const auto shown = [&] {
        QStringList rows;
        for (int row = 0; row < arranged.rowCount(); ++row)
            rows.append(arranged.index(row, DocumentListModel::nameColumn).data().toString());
        return rows;
    };
    const QStringList all = shown();
    ASSERT_EQ(all.size(), 4);
    EXPECT_LT(all.indexOf(QStringLiteral("abc2")), all.indexOf(QStringLiteral("other")));
    EXPECT_LT(all.indexOf(QStringLiteral("other")), all.indexOf(QStringLiteral("xABC10")));
    const QStringList matching{QStringLiteral("abc2"), QStringLiteral("xABC10"), QStringLiteral("Ábc-3")};
    for (const QString& filter : {QStringLiteral("abc"), QStringLiteral("ÁBC")}) {
        arranged.setFilterText(filter);
        QStringList rows = shown();
        rows.sort();
        EXPECT_EQ(rows, matching) << filter.toStdString();
    }
}

} // namespace

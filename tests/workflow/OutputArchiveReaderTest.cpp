#include "workflow/outputs/KOVA_Destination.h"
#include "workflow/outputs/KOVA_Output_node.h"

#include "TestEnvironment.h"
#include "XmlElements.h"
#include "platform/plist/KeyedArchiver.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// For each object of the archived array, as Python's plistlib reads it: its class chain, its
// keys, and the class chain of the collection under `collectionKey`.
QJsonArray readWithPython(const QByteArray& archive)
{
    const QString path = kova::test::sandboxRoot() + QStringLiteral("/outputs.plist");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size())
        return {};
    file.close();
    const QString script = QStringLiteral(R"(
import json, plistlib, sys
with open(sys.argv[1], 'rb') as f:
    archive = plistlib.load(f)
objects = archive['$objects']
follow = lambda uid: objects[uid.data]
chain = lambda item: follow(item['$class'])['$classes']
described = []
for uid in follow(archive['$top']['root'])['NS.objects']:
    item = follow(uid)
    collection = item.get('self.valuesDict') or item.get('self.frames')
    described.append({
        'classes': chain(item),
        'keys': sorted(k for k in item if k != '$class'),
        'collectionClasses': chain(follow(collection)),
        'kind': item.get('self.kind', -1),
    })
print(json.dumps({'archiver': archive['$archiver'], 'objects': described}))
)");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        ADD_FAILURE() << python.readAllStandardError().toStdString();
        return {};
    }
    const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    EXPECT_EQ(read.value("archiver").toString(), "NSKeyedArchiver");
    return read.value("objects").toArray();
}

QJsonArray texts(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

} // namespace

TEST(OutputArchives, independentReaderSeesClassChainsAndKeys)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    const auto destination = std::make_shared<KOVA_Destination>(
        kova::test::rootElement(R"(<destination type="printer"><copies>1</copies></destination>)"));
    const auto node = std::make_shared<KOVA_Output_node>(kova::test::rootElement(R"(<Sheet frame="{{0, 0}, {1, 1}}"/>)"));
    const QList<std::shared_ptr<platform::Archivable>> roots{destination, node};
    platform::Error error;
    const QByteArray archive = platform::KeyedArchiver::archivedDataWithRootObject(roots, &error);
    ASSERT_FALSE(archive.isEmpty()) << error.message.toStdString();

    const QJsonArray objects = readWithPython(archive);
    ASSERT_EQ(objects.size(), 2);
    const QJsonObject archivedDestination = objects.at(0).toObject();
    EXPECT_EQ(archivedDestination.value("classes").toArray(), texts({"KOVA_Destination", "NSObject"}));
    EXPECT_EQ(archivedDestination.value("keys").toArray(), texts({"self.kind", "self.valuesDict"}));
    EXPECT_EQ(archivedDestination.value("collectionClasses").toArray(), texts({"NSMutableDictionary", "NSDictionary", "NSObject"}));
    EXPECT_EQ(archivedDestination.value("kind").toInt(), 2);

    const QJsonObject archivedNode = objects.at(1).toObject();
    EXPECT_EQ(archivedNode.value("classes").toArray(), texts({"KOVA_Output_node", "NSObject"}));
    EXPECT_EQ(archivedNode.value("keys").toArray(),
              texts({"self.backgroundColor", "self.cropRectString", "self.frames", "self.gravity", "self.name",
                     "self.offsetPointString", "self.shadowBlur", "self.shadowColor", "self.tiffOrientation"}));
    EXPECT_EQ(archivedNode.value("collectionClasses").toArray(), texts({"NSMutableArray", "NSArray", "NSObject"}));
}

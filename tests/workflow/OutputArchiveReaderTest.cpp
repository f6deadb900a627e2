#include "workflow/outputs/KOVA_Destination.h"
#include "workflow/outputs/KOVA_Output_node.h"

#include "PythonReader.h"
#include "TestEnvironment.h"
#include "XmlElements.h"
#include "platform/plist/KeyedArchiver.h"

#include <gtest/gtest.h>

// Python's plistlib, a reader of its own, lists for each archived object its class chain, its
// keys and the class chain of the collection it holds (the settings or the frames).
TEST(OutputArchives, independentReaderSeesClassChainsAndKeys)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    const QList<std::shared_ptr<platform::Archivable>> roots{
        std::make_shared<KOVA_Destination>(kova::test::rootElement(R"(<destination type="printer"><copies>1</copies></destination>)")),
        std::make_shared<KOVA_Output_node>(kova::test::rootElement(R"(<Sheet frame="{{0, 0}, {1, 1}}"/>)")),
    };
    const QString script = kova::test::ArchiveReading + QStringLiteral(R"(
for uid in follow(archive['$top']['root'])['NS.objects']:
    item = follow(uid)
    collection = follow(item.get('self.valuesDict') or item['self.frames'])
    print(chain(item), ' '.join(sorted(k for k in item if k != '$class')), chain(collection))
)");
    EXPECT_EQ(QString::fromUtf8(kova::test::runPython(script, platform::KeyedArchiver::archivedDataWithRootObject(roots))),
              "KOVA_Destination,NSObject self.kind self.valuesDict NSMutableDictionary,NSDictionary,NSObject\n"
              "KOVA_Output_node,NSObject self.backgroundColor self.cropRectString self.frames self.gravity self.name "
              "self.offsetPointString self.shadowBlur self.shadowColor self.tiffOrientation NSMutableArray,NSArray,NSObject\n");
}

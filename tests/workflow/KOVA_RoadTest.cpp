#include "workflow/processing/KOVA_Road.h"

#include "XmlElements.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "workflow/delivery/KOVA_OutputFileDelivery.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"
#include "workflow/packages/KOVA_Package.h"
#include "workflow/processing/KOVA_JobProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

// The lower sub-folders of the road reach the higher ones only through what the road's
// set-up installs: a hook left out would lose a delivery, a job or a package's outputs.

namespace {

using Kind = KOVA_Destination::Kind;

struct DeliveryCase {
    Kind kind;
    std::function<bool(const std::shared_ptr<KOVA_OutputDelivery>&)> isDefault;
};

const std::vector<DeliveryCase>& deliveryCases()
{
    static const std::vector<DeliveryCase> cases{
        {Kind::Filepath, [](const auto& d) { return std::dynamic_pointer_cast<KOVA_OutputFileDelivery>(d) != nullptr; }},
        {Kind::Printer, [](const auto& d) { return std::dynamic_pointer_cast<KOVA_OutputPrintCentreDelivery>(d) != nullptr; }},
    };
    return cases;
}

} // namespace

TEST(KOVA_Road, everyDestinationKindHasTheWorkflowsDeliveryAndGetsItBack)
{
    for (const DeliveryCase& c : deliveryCases()) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        const auto installed = KOVA_OutputDelivery::installed(c.kind);
        EXPECT_TRUE(c.isDefault(installed));
        KOVA_OutputDelivery::install(c.kind, nullptr);
        EXPECT_EQ(KOVA_OutputDelivery::installed(c.kind), nullptr);
        KOVA_OutputDelivery::installDefaults();
        EXPECT_EQ(KOVA_OutputDelivery::installed(c.kind), installed);
    }
}

TEST(KOVA_Road, theFoldersAndJobsReachTheProcessorAndThePackagesTheirOutputs)
{
    EXPECT_EQ(&KOVA_JobFolders::classObservable(), static_cast<platform::Observable*>(KOVA_JobProcessor::shared().get()));

    const auto read = KOVA_JobPackage::initWithNode(
        kova::test::rootElement(R"(<package type="inline"><output name="print" size="{10, 10}"/></package>)"), nullptr);
    const auto package = std::dynamic_pointer_cast<KOVA_Package>(read);
    ASSERT_NE(package, nullptr);
    ASSERT_EQ(package->outputs().size(), 1);
    const auto output = std::dynamic_pointer_cast<KOVA_Output>(package->outputs().first());
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->name(), QStringLiteral("print"));
    EXPECT_EQ(output->package(), package);
}

// Set up again while other queues read packages and deliveries: every reader finds a reader
// and a delivery installed (ThreadSanitizer checks that nothing is read half-written).
TEST(KOVA_Road, settingUpAgainWhileOtherQueuesReadLeavesEveryHookInPlace)
{
    const auto group = platform::DispatchGroup::create();
    std::atomic<int> missing = 0;
    for (int reader = 0; reader < 4; ++reader)
        group->async(platform::DispatchQueue::global(), [&missing] {
            for (int turn = 0; turn < 50; ++turn) {
                const auto package = KOVA_JobPackage::initWithNode(
                    kova::test::rootElement(R"(<package type="inline"><output name="print"/></package>)"), nullptr);
                if (!package || !KOVA_OutputDelivery::installed(Kind::Filepath))
                    ++missing;
            }
        });
    for (int turn = 0; turn < 20; ++turn)
        KOVA_Road::install();
    group->wait();
    EXPECT_EQ(missing, 0);
}

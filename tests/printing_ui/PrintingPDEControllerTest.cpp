#include "printing/ui/PrintingPDEController.h"
#include "printing/ui/ZORVAK_PrintSettings.h"

#include "platform/defaults/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

class PrintingPDEControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& key : {zorvak_imageScaling, zorvak_barcodeScaling, zorvak_barcodeMessage})
            m_preferences->removeObjectForKey(key);
    }
    std::shared_ptr<platform::UserDefaults> m_preferences = platform::UserDefaults::standardUserDefaults();
};

TEST_F(PrintingPDEControllerTest, StartsFromTheDefaultsAndWritesOnlyChanges)
{
    PrintingPDEController controller;
    controller.setRepresentedObject(std::make_shared<ZORVAK_PrintSettings>());
    EXPECT_EQ(controller.imageScaling(), 0);
    EXPECT_EQ(controller.barcodeScalingString(), QStringLiteral("0.00"));
    EXPECT_EQ(controller.barcodeMessage(), QStringLiteral("Morvanta_123"));
    for (const QString& key : {zorvak_imageScaling, zorvak_barcodeScaling, zorvak_barcodeMessage})
        EXPECT_FALSE(m_preferences->objectForKey(key).isValid()) << key.toStdString();

    controller.setBarcodeScaling(1.5);
    controller.setBarcodeScalingString(QStringLiteral("ignored"));
    controller.setImageScaling(2);
    EXPECT_EQ(m_preferences->doubleForKey(zorvak_barcodeScaling), 1.5);
    EXPECT_EQ(controller.barcodeScalingString(), QStringLiteral("1.50"));
    EXPECT_EQ(m_preferences->integerForKey(zorvak_imageScaling), 2);
}

TEST_F(PrintingPDEControllerTest, StopsWritingOnceGone)
{
    const auto first = std::make_shared<ZORVAK_PrintSettings>();
    const auto second = std::make_shared<ZORVAK_PrintSettings>();
    {
        PrintingPDEController controller;
        controller.setRepresentedObject(first);
        controller.setRepresentedObject(second);
        first->setValue(zorvak_barcodeMessage, QStringLiteral("old panel"));
        EXPECT_FALSE(m_preferences->objectForKey(zorvak_barcodeMessage).isValid());
    }
    for (const auto& settings : {first, second})
        settings->setValue(zorvak_barcodeMessage, QStringLiteral("after"));
    EXPECT_NE(m_preferences->stringForKey(zorvak_barcodeMessage), QStringLiteral("after"));
}

} // namespace

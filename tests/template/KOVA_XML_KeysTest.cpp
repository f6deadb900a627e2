#include "template/KOVA_XML_Keys.h"

#include "FileFixtures.h"

#include <QVariantMap>

#include <gtest/gtest.h>

// Stored files name attributes and keys by these texts; a constant whose text drifts from
// what existing templates, packages and tickets hold silently stops reading them.
TEST(KOVA_XML_KeysTest, ConstantsHoldTheTextsStoredFilesUse)
{
    EXPECT_EQ(KOVA_XML_Key_PLU, QStringLiteral("plucode"));
    EXPECT_EQ(KOVA_XML_Key_layerZ, QStringLiteral("zindex"));
    EXPECT_EQ(KOVA_XML_Key_upload, QStringLiteral("uploadsite"));
    EXPECT_EQ(KOVA_XML_Key_priceList, QStringLiteral("price"));
    EXPECT_EQ(KOVA_XML_Key_originFlippedX, QStringLiteral("xflip"));
    EXPECT_EQ(KOVA_XML_Key_oldKOVA_saveOriginal, QStringLiteral("saveoriginalfileasis"));
    EXPECT_EQ(KOVA_XML_Key_exifComment_key, QStringLiteral("uploadInfo"));
    EXPECT_EQ(KOVA_XML_Key_layerTypeText, QStringLiteral("textbox"));
    EXPECT_EQ(KOVA_XML_Key_borderClipsContent, QStringLiteral("clipsContent"));
    EXPECT_EQ(KOVA_XML_Key_oldKOVA_dateFormatLong, QStringLiteral("EEEE, MMMM d, yyyy"));
    EXPECT_EQ(KOVA_XML_Key_oldKOVA_timeFormatLong, QStringLiteral("h:mm:ss aa"));
    // Embedded in every uploaded picture's comment: one character, nothing more.
    EXPECT_EQ(KOVA_XML_Key_exifComment_uploadSite, QStringLiteral("f"));
    EXPECT_EQ(KOVA_XML_Key_exifComment_uploadSite.size(), 1);
}

// A layer's "type" attribute and a job's "stamp" value are found through either constant of
// the pair that shares their text.
TEST(KOVA_XML_KeysTest, PairedConstantsFindTheSameEntries)
{
    const QVariantMap layer {
        {KOVA_XML_Key_layerType, KOVA_XML_Key_layerTypeStamp},
        {KOVA_XML_Key_stamp, QStringLiteral("12-24-2024")},
        {KOVA_XML_Key_textColor, QStringLiteral("#ff0000")},
    };
    EXPECT_EQ(layer.value(KOVA_XML_Key_type).toString(), KOVA_XML_Key_stamp);
    EXPECT_EQ(layer.value(KOVA_XML_Key_layerTypeStamp).toString(), QStringLiteral("12-24-2024"));
    EXPECT_EQ(layer.value(KOVA_XML_Key_color).toString(), QStringLiteral("#ff0000"));
    EXPECT_EQ(layer.size(), 3);

    const QList<std::pair<QString, QString>> pairs {
        {KOVA_XML_Key_type, KOVA_XML_Key_layerType},
        {KOVA_XML_Key_canvas, KOVA_XML_Key_layerTypeCanvas},
        {KOVA_XML_Key_color, KOVA_XML_Key_textColor},
        {KOVA_XML_Key_height, KOVA_XML_Key_layerHeight},
        {KOVA_XML_Key_width, KOVA_XML_Key_layerWidth},
        {KOVA_XML_Key_quantity, KOVA_XML_Key_priceUnit},
        {KOVA_XML_Key_resize, KOVA_XML_Key_gravityResize},
        {KOVA_XML_Key_stamp, KOVA_XML_Key_layerTypeStamp},
    };
    for (const auto &[first, second] : pairs)
        EXPECT_EQ(first, second);
}

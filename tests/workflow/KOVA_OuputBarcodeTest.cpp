#include "workflow/outputs/KOVA_OuputBarcode.h"

#include "XmlElements.h"
#include "core/codes/ZORVAK_2dCodeGenerator.h"

#include <gtest/gtest.h>

TEST(KOVA_OuputBarcode, readsSymbologyScaleOriginMessageAndFlips)
{
    const struct {
        const char* xml;
        int type;
        double scale;
        QPointF origin;
        QVariantMap codeDictionary;
    } cases[] = {
        {R"(<barcode type="pdf417" scale="3"><message>ABC</message><origin xflip="1">{0.1, 0.2}</origin></barcode>)", 3, 3,
         {0.1, 0.2},
         {{zorvak_2dCodeKey_type, 3}, {zorvak_2dCodeKey_scale, 3.0}, {zorvak_2dCodeKey_message, "ABC"},
          {zorvak_2dCodeKey_isFlippedX, true}}},
        // Names and symbologies in any case; an origin attribute; a flip that reads false is kept.
        {R"(<barcode TYPE="QRCode" Origin="{5,6}"><Origin YFLIP="no" other="1"/></barcode>)", 1, 0, {0, 0},
         {{zorvak_2dCodeKey_type, 1}, {zorvak_2dCodeKey_isFlippedY, false}}},
        // An unknown symbology still names a type: the one held so far, Aztec at first.
        {R"(<barcode type="ean13" scale="x"><label>skipped</label></barcode>)", 0, 0, {0, 0},
         {{zorvak_2dCodeKey_type, 0}, {zorvak_2dCodeKey_scale, 0.0}}},
        {R"(<barcode origin="{7, 8}"/>)", 0, 0, {7, 8}, {}},
        // Numbers beyond a double read as 0, as unreadable ones do.
        {R"(<barcode scale="1e999"><origin>{1e999, 2}</origin></barcode>)", 0, 0, {0, 2}, {{zorvak_2dCodeKey_scale, 0.0}}},
    };
    for (const auto& c : cases) {
        const KOVA_OuputBarcode code(kova::test::rootElement(c.xml));
        EXPECT_EQ(code.type(), c.type) << c.xml;
        EXPECT_EQ(code.scale(), c.scale) << c.xml;
        EXPECT_EQ(code.origin(), c.origin) << c.xml;
        EXPECT_EQ(code.valuesDict(), c.codeDictionary) << c.xml;
        EXPECT_EQ(code.message(), c.codeDictionary.value(zorvak_2dCodeKey_message).toString()) << c.xml;
    }
}

#include "template/KOVA_Template.h"

#include "ChangeRecorder.h"
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/plist/Archivable.h"
#include "template/KOVA_TemplateProperty.h"
#include "template/KOVA_XML_Keys.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using kova::test::ChangeRecorder;

// A layer inside a root template, with the remembered colours and opacities cleared.
class KOVA_TemplatePropertiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& key : {key_kovaTemplateLastUsedColorText, key_kovaTemplateLastUsedOpacityText,
                                   key_kovaTemplateLastUsedColorBorder, key_kovaTemplateLastUsedOpacityBorder,
                                   key_kovaTemplateLastUsedColorBackground,
                                   key_kovaTemplateLastUsedOpacityBackground})
            preferences()->removeObjectForKey(key);
        layer->setParent(root);
        root->setLayers({layer});
        root->setChangeCount(0);
    }

    static std::shared_ptr<platform::UserDefaults> preferences()
    {
        return platform::UserDefaults::standardUserDefaults();
    }

    // How many changes `change` counts in the root.
    qint64 countedChanges(const std::function<void()>& change)
    {
        const qint64 before = root->changeCount();
        change();
        return root->changeCount() - before;
    }

    KOVA_Template::Pointer root = KOVA_Template::init();
    KOVA_Template::Pointer layer = KOVA_Template::initForCopy();
};

// What a layer without entries reads: the editor shows these for a new layer.
TEST_F(KOVA_TemplatePropertiesTest, LayerWithoutEntriesReadsTheDefaults)
{
    EXPECT_EQ(layer->frame(), QRectF());
    EXPECT_FALSE(layer->rotation().has_value());
    EXPECT_TRUE(layer->autorotate());
    EXPECT_EQ(layer->shadowBlur(), 9.0);
    EXPECT_EQ(layer->shadowColorCode(), QStringLiteral("#00000055"));
    EXPECT_DOUBLE_EQ(layer->shadowOpacity(), 0x55 / 255.0);
    EXPECT_EQ(layer->shadowOffset(), QSizeF(0, 0));
    EXPECT_EQ(layer->borderWidth(), 5.0);
    EXPECT_EQ(layer->borderColorCode(), QStringLiteral("#FFFFFF"));
    EXPECT_EQ(layer->backgroundColorCode(), QStringLiteral("#FFFFFF"));
    EXPECT_EQ(layer->textColorCode(), QStringLiteral("#000000"));
    EXPECT_EQ(layer->textOpacity(), 1.0);
    EXPECT_FALSE(layer->hasShadow() || layer->hasBorder() || layer->hasBackground() || layer->borderClipsContent());
    EXPECT_EQ(layer->fontSize(), QStringLiteral("48"));
    EXPECT_EQ(layer->fontName(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    EXPECT_FALSE(layer->fontName().isEmpty());
    EXPECT_TRUE(layer->stringValue().isNull());
    EXPECT_TRUE(layer->stampFormat().isNull());
    EXPECT_TRUE(layer->graphicPath().isNull());
    EXPECT_EQ(layer->gravity(), QStringLiteral("resizeAspectFill"));
    EXPECT_EQ(layer->textAlignment(), KOVA_Template::textAlignmentLeft);
    EXPECT_FALSE(layer->hideExtension() || layer->hasCropRect() || layer->isNormalizedCropRect());
}

TEST_F(KOVA_TemplatePropertiesTest, ScaleMultipliesFrameBorderWidthAndFontSizeOnReading)
{
    layer->setValue(KOVA_XML_Key_frame, QRectF(100, 100, 400, 200));
    layer->setValue(KOVA_XML_Key_borderWidth, QStringLiteral("4"));
    layer->setLayerType(KOVA_Template::layerTypeTextbox);
    layer->setStringValue(QStringLiteral("Hello"));
    layer->setScale(0.5);

    EXPECT_EQ(layer->frame(), QRectF(50, 50, 200, 100));
    EXPECT_EQ(layer->frameUnscaled(), QRectF(100, 100, 400, 200));
    EXPECT_EQ(layer->canvasSize(), QSizeF(200, 100));
    EXPECT_EQ(layer->borderWidth(), 2.0);
    EXPECT_EQ(layer->fontSize(), QStringLiteral("48"));
    EXPECT_EQ(QFontInfo(layer->attributes()->font).pixelSize(), 24);

    layer->setFrame(QRectF(50, 50, 200, 100));
    EXPECT_EQ(layer->frameUnscaled(), QRectF(100, 100, 400, 200));
    layer->setWidth(300);
    EXPECT_EQ(layer->frameUnscaled(), QRectF(100, 100, 600, 200));
    layer->setBorderWidth(3);
    EXPECT_EQ(layer->value(KOVA_XML_Key_borderWidth).toDouble(), 3.0);

    // A scale of 0 is not divided by: the frame is stored as given.
    layer->setScale(0.0);
    layer->setFrame(QRectF(1, 2, 3, 4));
    EXPECT_EQ(layer->frameUnscaled(), QRectF(1, 2, 3, 4));
}

TEST_F(KOVA_TemplatePropertiesTest, FrameRefusesNegativeAndNonPositiveSizesWithLogLines)
{
    layer->setFrame(QRectF(10, 20, 30, 40));
    root->setChangeCount(0);

    testing::internal::CaptureStderr();
    layer->setWidth(0);
    layer->setHeight(-2);
    layer->setFrame(QRectF(0, 0, -1, 5));
    layer->setFrame(QRectF(0, 0, 5, -1));
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_NE(log.find("ERROR: attempt to set non-positive width 0.000000"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR: attempt to set non-positive height -2.000000"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR: attempt to set negative width -1.000000"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR: attempt to set negative height -1.000000"), std::string::npos) << log;
    EXPECT_EQ(layer->frame(), QRectF(10, 20, 30, 40));
    EXPECT_EQ(root->changeCount(), 0);

    // Zero sizes through the frame and negative positions are allowed.
    layer->setFrame(QRectF(10, 20, 0, 0));
    EXPECT_EQ(layer->frame(), QRectF(10, 20, 0, 0));
    layer->setX(-5);
    layer->setY(-6);
    EXPECT_EQ(layer->frame().topLeft(), QPointF(-5, -6));
}

TEST_F(KOVA_TemplatePropertiesTest, SettersCountChangesInTheParentAsTheyAreDefined)
{
    layer->setFrame(QRectF(0, 0, 10, 10));
    EXPECT_EQ(countedChanges([&] { layer->setX(4); }), 2);
    EXPECT_EQ(countedChanges([&] { layer->setHeight(7); }), 2);
    EXPECT_EQ(countedChanges([&] { layer->setFrame(QRectF(1, 1, 1, 1)); }), 1);
    EXPECT_EQ(countedChanges([&] { layer->setRotation(0.5); }), 1);
    EXPECT_EQ(countedChanges([&] { layer->setShadowOpacity(0.5); }), 1);
    EXPECT_EQ(countedChanges([&] { layer->setHasBorder(false); }), 1); // even when it only removes

    layer->setFontSize(QStringLiteral("48"));
    layer->setStringValue(QStringLiteral("Hi"));
    layer->setGraphicPath(QStringLiteral("/a.png"));
    EXPECT_EQ(countedChanges([&] {
                  layer->setFontSize(QStringLiteral("48"));
                  layer->setFontName(QString());
                  layer->setStringValue(QStringLiteral("Hi"));
                  layer->setGraphicPath(QStringLiteral("/a.png"));
                  layer->setTextAlignment(7);
                  layer->setShadowBlur(-1);
                  layer->setAutorotate(false);
                  layer->setFilepathCustomImage(QStringLiteral("/images"));
              }),
              0);

    // A root's properties count nowhere.
    EXPECT_EQ(countedChanges([&] { root->setX(3); }), 0);
}

TEST_F(KOVA_TemplatePropertiesTest, ShadowColourWithoutAlphaReadsWithAlphaOneThird)
{
    const std::pair<QVariant, QString> cases[] = {
        {QStringLiteral("#FF0000"), QStringLiteral("#FF000055")},
        {QStringLiteral("FF0000"), QStringLiteral("FF000055")},
        {QStringLiteral("F00"), QStringLiteral("F005")},
        {QStringLiteral("#F00"), QStringLiteral("#F005")},
        {QStringLiteral("#FF000080"), QStringLiteral("#FF000080")},
    };
    for (const auto& [stored, expected] : cases) {
        layer->setValue(KOVA_XML_Key_shadowColor, stored);
        EXPECT_EQ(layer->shadowColorCode(), expected) << stored.toString().toStdString();
    }
    // The older key is read when the newer one is absent, and makes the shadow present.
    layer->removeValue(KOVA_XML_Key_shadowColor);
    layer->setValue(KOVA_XML_Key_textShadow, QStringLiteral("#112233"));
    EXPECT_EQ(layer->shadowColorCode(), QStringLiteral("#11223355"));
    EXPECT_TRUE(layer->hasShadow());
}

TEST_F(KOVA_TemplatePropertiesTest, ShadowOffsetAndBlur)
{
    layer->setShadowOffsetX(3);
    layer->setShadowOffsetY(4);
    EXPECT_EQ(layer->value(KOVA_XML_Key_offset).toString(), QStringLiteral("{3, 4}"));
    EXPECT_EQ(layer->shadowOffset(), QSizeF(3, -4));
    layer->setShadowOffsetY(0);
    layer->setShadowOffsetX(0);
    EXPECT_FALSE(layer->hasValue(KOVA_XML_Key_offset));

    layer->setValue(KOVA_XML_Key_offset, QStringLiteral("{10,40}"));
    EXPECT_EQ(layer->shadowOffsetY(), 40);

    layer->setValue(KOVA_XML_Key_shadowBlur, QStringLiteral("2.5")); // as a file stores it
    EXPECT_EQ(layer->shadowBlur(), 2.5);
    layer->setShadowBlur(-3);
    EXPECT_EQ(layer->shadowBlur(), 2.5);
    layer->setShadowBlur(0);
    EXPECT_EQ(layer->shadowBlur(), 0.0);
}

TEST_F(KOVA_TemplatePropertiesTest, OpacitiesMergeIntoTheirColoursAndTheChosenOnesAreRemembered)
{
    layer->setShadowOpacity(0.5);
    EXPECT_EQ(layer->value(KOVA_XML_Key_shadowColor).toString(), QStringLiteral("#0000007F"));

    layer->setTextColorCode(QStringLiteral("#336699"));
    layer->setTextOpacity(2.0);
    EXPECT_EQ(layer->textColorCode(), QStringLiteral("#336699FF"));
    EXPECT_EQ(preferences()->stringForKey(key_kovaTemplateLastUsedColorText), QStringLiteral("#336699"));
    EXPECT_EQ(preferences()->doubleForKey(key_kovaTemplateLastUsedOpacityText), 2.0);

    // Border and background colours default to the remembered ones; the text colour does not.
    layer->setBorderColorCode(QStringLiteral("#FF0000"));
    auto other = KOVA_Template::initForCopy();
    EXPECT_EQ(other->borderColorCode(), QStringLiteral("#FF0000"));
    EXPECT_EQ(other->textColorCode(), QStringLiteral("#000000"));
    other->setBorderOpacity(0.25);
    EXPECT_EQ(other->value(KOVA_XML_Key_borderColor).toString(), QStringLiteral("#FF00003F"));
    EXPECT_EQ(other->borderOpacity(), 0x3F / 255.0);
    EXPECT_EQ(preferences()->doubleForKey(key_kovaTemplateLastUsedOpacityBorder), 0.25);

    layer->setBackgroundColorCode(QStringLiteral("#00FF0080"));
    EXPECT_EQ(layer->backgroundOpacity(), 0x80 / 255.0);
    EXPECT_EQ(other->backgroundColorCode(), QStringLiteral("#00FF0080"));
}

TEST_F(KOVA_TemplatePropertiesTest, HasRulesLetTheFlagWinAndInferAbsenceFromTheColour)
{
    layer->setValue(KOVA_XML_Key_borderColor, QStringLiteral("#FFFFFF"));
    EXPECT_TRUE(layer->hasBorder());
    layer->setHasBorder(false);
    EXPECT_FALSE(layer->hasBorder());
    EXPECT_EQ(layer->value(KOVA_XML_Key_borderEnabled).toString(), QStringLiteral("no"));

    auto bare = KOVA_Template::initForCopy();
    bare->setHasBorder(false);
    bare->setHasShadow(false);
    bare->setHasBackground(false);
    EXPECT_TRUE(bare->valuesDict().isEmpty());
    bare->setHasShadow(true);
    EXPECT_EQ(bare->value(KOVA_XML_Key_shadowEnabled).toString(), QStringLiteral("yes"));
    EXPECT_TRUE(bare->hasShadow());

    // A blur keeps the shadow's flag when it is turned off; so does clipping for the border.
    bare->setShadowBlur(2);
    bare->setHasShadow(false);
    EXPECT_EQ(bare->value(KOVA_XML_Key_shadowEnabled).toString(), QStringLiteral("no"));
    bare->setBorderClipsContent(true);
    bare->setHasBorder(false);
    EXPECT_EQ(bare->value(KOVA_XML_Key_borderEnabled).toString(), QStringLiteral("no"));
    EXPECT_TRUE(bare->borderClipsContent());
}

TEST_F(KOVA_TemplatePropertiesTest, TurningOnABackgroundGivesAnExplicitColourWithTheRememberedOpacity)
{
    preferences()->setDouble(0.25, key_kovaTemplateLastUsedOpacityBackground);
    EXPECT_EQ(countedChanges([&] { layer->setHasBackground(true); }), 2);
    EXPECT_EQ(layer->value(KOVA_XML_Key_backgroundColor).toString(), QStringLiteral("#FFFFFF3F"));
    EXPECT_TRUE(layer->hasBackground());

    // Without a remembered opacity, the remembered colour's own alpha is kept.
    preferences()->removeObjectForKey(key_kovaTemplateLastUsedOpacityBackground);
    preferences()->setObject(QStringLiteral("#11223380"), key_kovaTemplateLastUsedColorBackground);
    auto other = KOVA_Template::initForCopy();
    other->setHasBackground(true);
    EXPECT_EQ(other->value(KOVA_XML_Key_backgroundColor).toString(), QStringLiteral("#11223380"));

    // A layer that has a colour keeps it.
    other->setHasBackground(false);
    other->setValue(KOVA_XML_Key_backgroundColor, QStringLiteral("#ABCDEF"));
    other->setHasBackground(true);
    EXPECT_EQ(other->value(KOVA_XML_Key_backgroundColor).toString(), QStringLiteral("#ABCDEF"));
}

TEST_F(KOVA_TemplatePropertiesTest, TextAlignmentReadsNamesWithoutRegardToCase)
{
    layer->setValue(KOVA_XML_Key_textAlignment, QStringLiteral("Center"));
    EXPECT_EQ(layer->textAlignment(), KOVA_Template::textAlignmentCenter);
    layer->setValue(KOVA_XML_Key_textAlignment, QStringLiteral("JUSTIFIED"));
    EXPECT_EQ(layer->textAlignment(), KOVA_Template::textAlignmentJustified);
    layer->setValue(KOVA_XML_Key_textAlignment, QStringLiteral("middle"));
    EXPECT_EQ(layer->textAlignment(), KOVA_Template::textAlignmentLeft);

    layer->setTextAlignment(7);
    EXPECT_EQ(layer->textAlignmentString(), QStringLiteral("middle"));
    layer->setTextAlignment(KOVA_Template::textAlignmentRight);
    EXPECT_EQ(layer->textAlignmentString(), QStringLiteral("right"));
    layer->setTextAlignmentString(QString());
    EXPECT_TRUE(layer->hasValue(KOVA_XML_Key_textAlignment));
    EXPECT_EQ(layer->textAlignment(), KOVA_Template::textAlignmentLeft);
}

TEST_F(KOVA_TemplatePropertiesTest, StampFormatsBelongToDateLayers)
{
    layer->setKey(QStringLiteral("date"));
    EXPECT_EQ(layer->stampFormats(), (QStringList{QStringLiteral("shortDate"), QStringLiteral("abrevDate"),
                                                  QStringLiteral("longDate"), QStringLiteral("custom")}));
    EXPECT_EQ(layer->stampFormat(), QStringLiteral("shortDate"));
    layer->setStampFormat(QStringLiteral("longDate"));
    EXPECT_EQ(layer->stampFormat(), QStringLiteral("longDate"));

    layer->setKey(QStringLiteral("Date"));
    EXPECT_TRUE(layer->stampFormats().isEmpty());
    layer->setStampFormat(QString());
    EXPECT_TRUE(layer->stampFormat().isNull());
}

TEST_F(KOVA_TemplatePropertiesTest, TextAttributesOnlyForTextLayersWithText)
{
    layer->setLayerType(KOVA_Template::layerTypeImage);
    layer->setStringValue(QStringLiteral("ignored"));
    EXPECT_FALSE(layer->attributes().has_value());
    auto stamp = KOVA_Template::initForCopy();
    stamp->setLayerType(KOVA_Template::layerTypeStamp);
    EXPECT_FALSE(stamp->attributes().has_value());

    stamp->setStringValue(QStringLiteral("12-01-2024"));
    stamp->setTextColorCode(QStringLiteral("#FF000080"));
    stamp->setTextAlignment(KOVA_Template::textAlignmentCenter);
    stamp->setFontSize(QStringLiteral("30"));
    const auto attributes = stamp->attributes();
    ASSERT_TRUE(attributes.has_value());
    EXPECT_EQ(QFontInfo(attributes->font).pixelSize(), 30);
    EXPECT_EQ(attributes->foregroundColor.red(), 255);
    EXPECT_EQ(attributes->foregroundColor.alpha(), 0x80);
    EXPECT_EQ(attributes->alignment, Qt::AlignHCenter);
    EXPECT_EQ(stamp->stringAttributes(), attributes);
}

TEST_F(KOVA_TemplatePropertiesTest, UnavailableFontsAreSubstitutedAndAlwaysGiveAUsableFont)
{
    layer->setLayerType(KOVA_Template::layerTypeTextbox);
    layer->setStringValue(QStringLiteral("Text"));
    layer->setFontName(QStringLiteral("Helvetica-Bold"));
    testing::internal::CaptureStderr();
    const QFont available = layer->attributes()->font;
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("unavailable"), std::string::npos);
    EXPECT_TRUE(QFontInfo(available).bold());

    layer->setFontName(QStringLiteral("NoSuchFont-Italic"));
    testing::internal::CaptureStderr();
    const QFont substituted = layer->attributes()->font;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Specified font (NoSuchFont-Italic) unavailable! Substituting Helvetica"), std::string::npos)
        << log;
    EXPECT_EQ(substituted.family(), available.family());
    EXPECT_FALSE(QFontInfo(substituted).italic());

    // Sizes that are no size still give a font that can be drawn with.
    for (const char* size : {"0", "-12", "abc", "1e300", "nan"}) {
        layer->setFontSize(QLatin1String(size));
        const int pixelSize = QFontInfo(layer->attributes()->font).pixelSize();
        EXPECT_GE(pixelSize, 1) << size;
        EXPECT_LE(pixelSize, 65535) << size;
    }
}

TEST_F(KOVA_TemplatePropertiesTest, FilesKeysGravityAndRotation)
{
    layer->setValue(KOVA_XML_Key_filename, QStringLiteral("old.png"));
    EXPECT_EQ(layer->graphicPath(), QStringLiteral("old.png"));
    layer->setValue(KOVA_XML_Key_filepath, QImage(2, 2, QImage::Format_ARGB32)); // decoded while rendering
    EXPECT_EQ(layer->graphicPath(), QStringLiteral("old.png"));
    layer->setGraphicPath(QStringLiteral("/new.png"));
    EXPECT_EQ(layer->graphicPath(), QStringLiteral("/new.png"));
    layer->setGraphicPath(QString());
    EXPECT_FALSE(layer->hasValue(KOVA_XML_Key_filepath));

    EXPECT_TRUE(root->filepathCustomImage().isNull());
    root->setFilepathCustomImage(QStringLiteral("/job/images"));
    EXPECT_EQ(layer->filepathCustomImage(), QStringLiteral("/job/images"));
    layer->setFilepathCustomImage(QStringLiteral("/own"));
    EXPECT_EQ(layer->filepathCustomImage(), QStringLiteral("/own"));
    layer->setFilepathCustomImage(QVariant(12));
    EXPECT_FALSE(layer->hasValue(KOVA_XML_Key_allImages));

    layer->setGravity(QStringLiteral("resize"));
    EXPECT_EQ(layer->gravity(), QStringLiteral("resize"));
    layer->setGravity(QStringLiteral("fill"));
    EXPECT_EQ(layer->gravity(), QStringLiteral("resizeAspectFill"));
    EXPECT_EQ(layer->value(KOVA_XML_Key_layerGravity).toString(), QStringLiteral("fill"));
    EXPECT_EQ(KOVA_Template::normalizedGravity(QStringLiteral("resizeAspect")), QStringLiteral("resizeAspect"));
    EXPECT_EQ(KOVA_Template::normalizedGravity(QString()), QStringLiteral("resizeAspectFill"));

    layer->setValue(KOVA_XML_Key_rotation, QStringLiteral("1.5")); // as a file stores it
    EXPECT_EQ(layer->rotation(), 1.5);
    layer->setRotation(std::nullopt);
    EXPECT_FALSE(layer->hasValue(KOVA_XML_Key_rotation));

    layer->setValue(KOVA_XML_Key_croprect, QStringLiteral("{{0.1, 0.2}, {0.5, 0.5}}"));
    EXPECT_TRUE(layer->hasCropRect());
    EXPECT_EQ(layer->unflippedCropRect(), QRectF(0.1, 0.2, 0.5, 0.5));
}

TEST_F(KOVA_TemplatePropertiesTest, SettersAnnounceThePropertyThatWasSet)
{
    const QStringList watched{"frame", "x", "y", "width", "height", "key", "stampFormat", "shadowOpacity",
                              "shadowColorCode", "textAlignment", "fontSize"};
    auto recorder = ChangeRecorder::observing(*layer, watched);

    layer->setFrame(QRectF(0, 0, 10, 10));
    EXPECT_EQ(recorder->keys(), (QStringList{"height", "width", "y", "x", "frame"}));
    recorder->clear();

    layer->setX(5);
    EXPECT_EQ(recorder->keys().count("x"), 1);
    EXPECT_EQ(recorder->keys().count("frame"), 1);
    recorder->clear();

    layer->setKey(QStringLiteral("date"));
    layer->setShadowOpacity(0.5);
    layer->setFontSize(QStringLiteral("48")); // announced though unchanged
    EXPECT_EQ(recorder->keys(), (QStringList{"stampFormat", "key", "shadowOpacity", "fontSize"}));
    recorder->clear();

    layer->setTextAlignmentString(QStringLiteral("right"));
    layer->setTextAlignmentString(QStringLiteral("right")); // unchanged: nothing happens
    EXPECT_EQ(recorder->keys(), QStringList{"textAlignment"});
}

// One property set through its public setter, and read through its public getter as
// valueForKey should answer it.
struct PropertyChange {
    QString name;
    std::function<void(KOVA_Template&)> set;
    std::function<QVariant(const KOVA_Template&)> read;
};

QVariantList layerList(const KOVA_Template::List& layers)
{
    QVariantList list;
    for (const auto& layer : layers)
        list.append(platform::Archivable::toVariant(layer));
    return list;
}

const QList<PropertyChange>& propertyChanges()
{
    using T = KOVA_Template;
    static const QList<PropertyChange> changes{
        {"layers", [](T& t) { t.addLayerOfType(T::layerTypeTextbox); },
         [](const T& t) { return QVariant(layerList(t.layers())); }},
        {"layersSelected", [](T& t) { t.addLayerOfType(T::layerTypeTextbox); },
         [](const T& t) {
             const T::List selected = t.layersSelected();
             return selected.isEmpty() ? QVariant() : QVariant(layerList(selected));
         }},
        {"changeCount", [](T& t) { t.setChangeCount(5); }, [](const T& t) { return QVariant(t.changeCount()); }},
        {"hasUnsavedChanges", [](T& t) { t.setLastSaved(t.copy()); },
         [](const T& t) { return QVariant(t.hasUnsavedChanges()); }},
        {"layerType", [](T& t) { t.setLayerType(T::layerTypeTextbox); },
         [](const T& t) { return QVariant(t.layerType()); }},
        {"frame", [](T& t) { t.setFrame({10, 20, 300, 400}); }, [](const T& t) { return QVariant(t.frame()); }},
        {"x", [](T& t) { t.setX(15); }, [](const T& t) { return QVariant(t.x()); }},
        {"y", [](T& t) { t.setY(25); }, [](const T& t) { return QVariant(t.y()); }},
        {"width", [](T& t) { t.setWidth(120); }, [](const T& t) { return QVariant(t.width()); }},
        {"height", [](T& t) { t.setHeight(60); }, [](const T& t) { return QVariant(t.height()); }},
        {"rotation", [](T& t) { t.setRotation(0.5); },
         [](const T& t) { return t.rotation() ? QVariant(*t.rotation()) : QVariant(); }},
        {"autorotate", [](T& t) { t.setAutorotate(false); }, [](const T& t) { return QVariant(t.autorotate()); }},
        {"shadowOffsetX", [](T& t) { t.setShadowOffsetX(3); }, [](const T& t) { return QVariant(t.shadowOffsetX()); }},
        {"shadowOffsetY", [](T& t) { t.setShadowOffsetY(-4); }, [](const T& t) { return QVariant(t.shadowOffsetY()); }},
        {"shadowBlur", [](T& t) { t.setShadowBlur(4.5); }, [](const T& t) { return QVariant(t.shadowBlur()); }},
        {"shadowColorCode", [](T& t) { t.setShadowColorCode("#FF0000"); },
         [](const T& t) { return QVariant(t.shadowColorCode()); }},
        {"shadowOpacity", [](T& t) { t.setShadowOpacity(0.5); },
         [](const T& t) { return QVariant(t.shadowOpacity()); }},
        {"hasShadow", [](T& t) { t.setHasShadow(true); }, [](const T& t) { return QVariant(t.hasShadow()); }},
        {"borderWidth", [](T& t) { t.setBorderWidth(7); }, [](const T& t) { return QVariant(t.borderWidth()); }},
        {"borderColorCode", [](T& t) { t.setBorderColorCode("#00FF00"); },
         [](const T& t) { return QVariant(t.borderColorCode()); }},
        {"borderOpacity", [](T& t) { t.setBorderOpacity(0.25); },
         [](const T& t) { return QVariant(t.borderOpacity()); }},
        {"hasBorder", [](T& t) { t.setHasBorder(true); }, [](const T& t) { return QVariant(t.hasBorder()); }},
        {"borderClipsContent", [](T& t) { t.setBorderClipsContent(true); },
         [](const T& t) { return QVariant(t.borderClipsContent()); }},
        {"backgroundColorCode", [](T& t) { t.setBackgroundColorCode("#0000FF"); },
         [](const T& t) { return QVariant(t.backgroundColorCode()); }},
        {"backgroundOpacity", [](T& t) { t.setBackgroundOpacity(0.75); },
         [](const T& t) { return QVariant(t.backgroundOpacity()); }},
        {"hasBackground", [](T& t) { t.setHasBackground(true); },
         [](const T& t) { return QVariant(t.hasBackground()); }},
        {"key", [](T& t) { t.setKey("date"); }, [](const T& t) { return QVariant(t.key()); }},
        {"textAlignment", [](T& t) { t.setTextAlignment(T::textAlignmentCenter); },
         [](const T& t) { return QVariant(t.textAlignment()); }},
        {"textColorCode", [](T& t) { t.setTextColorCode("#123456"); },
         [](const T& t) { return QVariant(t.textColorCode()); }},
        {"textOpacity", [](T& t) { t.setTextOpacity(0.5); }, [](const T& t) { return QVariant(t.textOpacity()); }},
        {"stampFormat", [](T& t) { t.setStampFormat("custom"); }, [](const T& t) { return QVariant(t.stampFormat()); }},
        {"fontName", [](T& t) { t.setFontName("Courier"); }, [](const T& t) { return QVariant(t.fontName()); }},
        {"fontSize", [](T& t) { t.setFontSize("24"); }, [](const T& t) { return QVariant(t.fontSize()); }},
        {"stringValue", [](T& t) { t.setStringValue("Hello"); }, [](const T& t) { return QVariant(t.stringValue()); }},
        {"graphicPath", [](T& t) { t.setGraphicPath("/graphics/logo.png"); },
         [](const T& t) { return QVariant(t.graphicPath()); }},
        {"filepathCustomImage", [](T& t) { t.setFilepathCustomImage(QStringLiteral("/job/images")); },
         [](const T& t) { return QVariant(t.filepathCustomImage()); }},
        {"zLevelString", [](T& t) { t.setZLevelString("700"); }, [](const T& t) { return QVariant(t.zLevelString()); }},
        {"gravity", [](T& t) { t.setGravity("resize"); }, [](const T& t) { return QVariant(t.gravity()); }},
    };
    return changes;
}

KOVA_Template::Pointer layerForChanges()
{
    auto layer = KOVA_Template::initForCopy();
    layer->setFrame({0, 0, 100, 50});
    return layer;
}

// Each property, once set, answers through valueForKey what its getter reads, and every
// key its setter announces carries the value valueForKey then answers. The table
// writes the entry it names and its setter makes the same change. ("thumbnail" is
// announced by rendering; its test checks the same.)
TEST_F(KOVA_TemplatePropertiesTest, EveryPropertyAnnouncesTheValueItsGetterReads)
{
    QStringList tableNames;
    for (const KOVA_TemplateProperty& property : KOVA_TemplateProperty::all())
        tableNames.append(property.name);
    QStringList changedNames{QStringLiteral("thumbnail")};
    for (const PropertyChange& change : propertyChanges())
        changedNames.append(change.name);
    tableNames.sort();
    changedNames.sort();
    ASSERT_EQ(changedNames, tableNames);

    for (const PropertyChange& change : propertyChanges()) {
        SCOPED_TRACE(change.name.toStdString());
        const KOVA_TemplateProperty* property = KOVA_TemplateProperty::named(change.name);
        const auto layer = layerForChanges();
        const QVariant before = change.read(*layer);
        const QVariant entryBefore = layer->value(property->storedKey);
        const auto recorder = ChangeRecorder::observing(*layer, tableNames);

        change.set(*layer);
        const QVariant after = change.read(*layer);
        EXPECT_NE(after, before);
        EXPECT_TRUE(recorder->keys().contains(change.name));
        EXPECT_EQ(layer->valueForKey(change.name), after);
        QHash<QString, QVariant> announced; // the last value announced for each key
        for (const ChangeRecorder::Change& notice : recorder->changes())
            announced.insert(notice.key, notice.newValue);
        for (auto notice = announced.cbegin(); notice != announced.cend(); ++notice)
            EXPECT_EQ(notice.value(), layer->valueForKey(notice.key())) << notice.key().toStdString();

        if (!property->storedKey.isEmpty()) {
            EXPECT_NE(layer->value(property->storedKey), entryBefore);
        }
        if (property->setter) {
            const auto other = layerForChanges();
            property->setter(*other, after);
            EXPECT_EQ(change.read(*other), after);
        }
    }
}

} // namespace

#include "platform/files/StandardPaths.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/profiles/ZORVAK_ColorProfiles.h"

#include "FileFixtures.h"
#include "HostileFiles.h"
#include "TestEnvironment.h"
#include "TestProfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <lcms2.h>

using namespace kova::test;

namespace {

cmsHPROFILE rgbProfile()
{
    return matrixRgbProfile(6500, {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}}, 2.2);
}

void writeProfile(cmsHPROFILE profile, const QString& path, const char* description = nullptr)
{
    if (description) {
        cmsMLU* text = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(text, "en", "US", description);
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
        cmsMLUfree(text);
    }
    QDir().mkpath(QFileInfo(path).path());
    cmsSaveProfileToFile(profile, path.toLocal8Bit().constData());
    cmsCloseProfile(profile);
}

QStringList namesOf(const QList<QVariantMap>& profiles)
{
    QStringList names;
    for (const QVariantMap& profile : profiles)
        names << profile.value("name").toString();
    return names;
}

} // namespace

TEST(ColorProfiles, usableProfilesAreListedSortedAndOthersRefused)
{
    QTemporaryDir user, system;
    writeProfile(rgbProfile(), user.filePath("b.icc"), "b");
    writeProfile(greyProfile(cmsD50_xyY(), 2.2), user.filePath("grey.ICM"), "grey");
    writeProfile(rgbProfile(), system.filePath("a-file.icc"), "A");
    writeProfile(cmykPlaceholderProfile(), system.filePath("cmyk.icc"));
    writeProfile(inputOnlyProfile(), system.filePath("input.icc"));
    writeProfile(rgbProfile(), system.filePath("sub/nested.icc"), "nested");
    writeFile(system.filePath("broken.icc"), "not a profile");

    QList<QVariantMap> profiles;
    const QString log = loggedBy([&] {
        ZORVAK_ColorProfiles list({user.path(), system.path() + "/missing", system.path()});
        profiles = list.profiles();
    });
    EXPECT_EQ(namesOf(profiles), QStringList({"A", "b", "grey"}));
    EXPECT_TRUE(log.contains("incompatible color space 2 for color profile. must be RGB or monochrome!"));
    EXPECT_TRUE(log.contains("incompatible color profile does not produce output!"));
    ASSERT_EQ(profiles.size(), 3);
    const struct {
        int index;
        int model;
        int componentCount;
        QString file;
    } rows[] = {{0, 1, 3, system.filePath("a-file.icc")}, {2, 0, 1, user.filePath("grey.ICM")}};
    for (const auto& row : rows) {
        const QVariantMap& profile = profiles[row.index];
        EXPECT_EQ(profile.value("model").toInt(), row.model) << qPrintable(row.file);
        EXPECT_EQ(profile.value("componentCount").toInt(), row.componentCount) << qPrintable(row.file);
        EXPECT_EQ(profile.value("url").toUrl(), QUrl::fromLocalFile(row.file));
        EXPECT_EQ(profile.value("utType").toString(), "com.apple.colorsync-profile");
    }
}

TEST(ColorProfiles, noFoldersGiveAnEmptyListAndLaterProfilesAppear)
{
    QTemporaryDir root;
    EXPECT_TRUE(ZORVAK_ColorProfiles({root.filePath("nowhere")}).profiles().isEmpty());

    const QString folder = root.filePath("icc");
    QDir().mkpath(folder);
    ZORVAK_ColorProfiles list({root.filePath("nowhere"), folder});
    EXPECT_TRUE(list.profiles().isEmpty());
    writeProfile(rgbProfile(), folder + "/late.icc", "late");
    EXPECT_TRUE(waitUntil([&] { return namesOf(list.profiles()) == QStringList {"late"}; }));
}

TEST(ColorProfiles, chosenProfileIsCopiedUnderAFreeNameAndSetOnThePage)
{
    QTemporaryDir chosen;
    writeProfile(rgbProfile(), chosen.filePath("custom.icm"), "custom");
    const QString userFolder = platform::StandardPaths::path(platform::StandardPaths::Folder::ColorProfiles);
    const struct {
        QString copy;
    } rows[] = {{userFolder + "/custom.icm"}, {userFolder + "/custom 2.icm"}};
    for (const auto& row : rows) {
        ZORVAK_PrintPage page;
        ASSERT_TRUE(ZORVAK_ColorProfiles::copyAndSetColorProfile(QUrl::fromLocalFile(chosen.filePath("custom.icm")), page));
        EXPECT_EQ(page.printerProfileICC(), QUrl::fromLocalFile(row.copy));
        EXPECT_EQ(readFile(row.copy), readFile(chosen.filePath("custom.icm")));
    }
    ZORVAK_PrintPage page;
    page.setPrinterProfileICC(QUrl::fromLocalFile(userFolder + "/custom.icm"));
    EXPECT_FALSE(ZORVAK_ColorProfiles::copyAndSetColorProfile(QUrl::fromLocalFile(chosen.filePath("gone.icc")), page));
    EXPECT_EQ(page.printerProfileICC(), QUrl::fromLocalFile(userFolder + "/custom.icm"));
}

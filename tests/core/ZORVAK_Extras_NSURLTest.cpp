#include "core/foundation/ZORVAK_Extras_NSURL.h"

#include "ImageFileFixtures.h"
#include "core/image/ImageProperties.h"
#include "core/image/ZORVAK_Extras_NSURL_ImageProperties.h"

#include <QDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace NSURL = ZORVAK_Extras_NSURL;
using kova::test::ScratchFolder;
using kova::test::fileUrl;
using kova::test::makeJpeg;
using kova::test::readFile;
using kova::test::withoutExifSegments;
using kova::test::writeFile;

namespace {

struct timespec modificationTimeOf(const QString& path)
{
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status.st_mtim;
}

bool operator==(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

TEST(ExtrasNSURLTypes, conformanceReadsTheItemOnDisk)
{
    ScratchFolder folder;
    const QUrl nothing = fileUrl(folder.path(QStringLiteral("missing.xml")));
    for (const char* type : {"public.item", "public.data", "public.folder", "public.xml"})
        EXPECT_FALSE(NSURL::conformsToUTType(nothing, QString::fromLatin1(type))) << type;
    EXPECT_TRUE(NSURL::UTI(nothing).isEmpty());

    const QUrl subfolder = fileUrl(folder.path(QStringLiteral("Jobs")));
    ASSERT_TRUE(QDir().mkpath(subfolder.toLocalFile()));
    EXPECT_TRUE(NSURL::conformsToUTType(subfolder, QStringLiteral("public.folder")));
    EXPECT_TRUE(NSURL::conformsToUTType(subfolder, QStringLiteral("public.item")));
    EXPECT_FALSE(NSURL::conformsToUTType(subfolder, QStringLiteral("public.data")));

    const QUrl ticket = fileUrl(folder.path(QStringLiteral("order.xml")));
    ASSERT_TRUE(writeFile(ticket.toLocalFile(), "<order/>"));
    EXPECT_TRUE(NSURL::conformsToUTType(ticket, QStringLiteral("public.xml")));
    EXPECT_TRUE(NSURL::conformsToUTType(ticket, QStringLiteral("public.item")));
    EXPECT_FALSE(NSURL::conformsToUTType(ticket, QStringLiteral("public.image")));

    EXPECT_FALSE(NSURL::conformsToUTType(QUrl(QStringLiteral("https://example.com/order.xml")), QStringLiteral("public.item")));
}

TEST(ExtrasNSURLTypes, extensionsAndTypes)
{
    EXPECT_EQ(NSURL::UTTypeForPathExtension(QStringLiteral("JPG")), QStringLiteral("public.jpeg"));
    EXPECT_EQ(NSURL::pathExtensionForUTType(QStringLiteral("public.jpeg")), QStringLiteral("jpeg"));
    EXPECT_TRUE(NSURL::pathExtensionForUTType(QStringLiteral("public.folder")).isEmpty());

    const QUrl picture = fileUrl(QStringLiteral("/orders/IMG 1 %20"));
    EXPECT_EQ(NSURL::URLByAppendingPathExtensionForUTType(picture, QStringLiteral("public.jpeg")).toLocalFile(),
              QStringLiteral("/orders/IMG 1 %20.jpeg"));
    EXPECT_EQ(NSURL::URLByAppendingPathExtensionForUTType(picture, QStringLiteral("public.folder")), picture);
    EXPECT_EQ(NSURL::URLByAppendingPathExtensionForUTType(fileUrl(QStringLiteral("/orders/job/")),
                                                          QStringLiteral("com.morvanta.kova.job")),
              fileUrl(QStringLiteral("/orders/job.kovajob/")));
}

TEST(ExtrasNSURLAttributes, datesSizesAndContents)
{
    ScratchFolder folder;
    const QUrl file = fileUrl(folder.path(QStringLiteral("ticket.xml")));
    const QUrl missing = fileUrl(folder.path(QStringLiteral("missing")));
    ASSERT_TRUE(writeFile(file.toLocalFile(), "12345"));

    EXPECT_EQ(NSURL::fileSize(file), 5);
    EXPECT_EQ(NSURL::fileSize(missing), 0);
    EXPECT_EQ(NSURL::contentsAsData(file), QByteArray("12345"));
    EXPECT_FALSE(NSURL::contentsAsData(missing).has_value());

    const QDateTime past = QDateTime::fromMSecsSinceEpoch(1577934245123);
    EXPECT_TRUE(NSURL::setDateModified(file, past));
    EXPECT_EQ(NSURL::dateModified(file), past);
    const QDateTime before1970 = QDateTime::fromMSecsSinceEpoch(-750);
    EXPECT_TRUE(NSURL::setDateModified(file, before1970));
    EXPECT_EQ(NSURL::dateModified(file), before1970);
    EXPECT_FALSE(NSURL::setDateModified(missing, past));
    EXPECT_FALSE(NSURL::setDateModified(file, QDateTime()));
    EXPECT_FALSE(NSURL::dateModified(missing).isValid());

    // Where the file system records a birth time, it is that of the new file.
    const QDateTime created = NSURL::dateCreated(file);
    if (created.isValid()) {
        EXPECT_LT(qAbs(created.secsTo(QDateTime::currentDateTime())), 600);
    }
    EXPECT_FALSE(NSURL::dateCreated(missing).isValid());
    EXPECT_FALSE(NSURL::setDateCreated(file, past));
}

TEST(ExtrasNSURLAttributes, generationChangesWhenTheFileIsReplaced)
{
    ScratchFolder folder;
    const QUrl file = fileUrl(folder.path(QStringLiteral("template.xml")));
    ASSERT_TRUE(writeFile(file.toLocalFile(), "<template/>"));
    const QByteArray first = NSURL::generationID(file);
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(NSURL::generationID(file), first);

    ASSERT_TRUE(writeFile(folder.path(QStringLiteral("new.xml")), "<template a=\"1\"/>"));
    ASSERT_EQ(::rename(QFile::encodeName(folder.path(QStringLiteral("new.xml"))).constData(),
                       QFile::encodeName(file.toLocalFile()).constData()),
              0);
    EXPECT_NE(NSURL::generationID(file), first);
    EXPECT_TRUE(NSURL::generationID(fileUrl(folder.path(QStringLiteral("missing")))).isEmpty());
}

TEST(ExtrasNSURLAttributes, volumeIsTheMountPointHoldingTheItem)
{
    EXPECT_EQ(NSURL::localVolumeURL(), QUrl::fromLocalFile(QStringLiteral("/")));
    // /proc is a file system of its own on every Linux system.
    EXPECT_EQ(NSURL::volumeURL(fileUrl(QStringLiteral("/proc/self/status"))), fileUrl(QStringLiteral("/proc")));

    ScratchFolder folder;
    const QString file = folder.path(QStringLiteral("a.jpeg"));
    ASSERT_TRUE(writeFile(file, "x"));
    const QUrl volume = NSURL::volumeURL(fileUrl(file));
    EXPECT_FALSE(volume.isEmpty());
    EXPECT_EQ(NSURL::volumeURL(fileUrl(QFileInfo(file).path())), volume);
    EXPECT_TRUE(file.startsWith(volume.toLocalFile()));
    EXPECT_TRUE(NSURL::volumeURL(fileUrl(folder.path(QStringLiteral("missing")))).isEmpty());
}

TEST(ExtrasNSURLImages, jpegValidityLooksAtTheEndMarker)
{
    ScratchFolder folder;
    const struct {
        const char* name;
        QByteArray contents;
        bool valid;
    } cases[] = {
        {"photo.jpeg", makeJpeg(), true},
        {"marker-only.jpeg", QByteArray("\xFF\xD9"), true},
        {"truncated.jpeg", makeJpeg().chopped(1), false},
        {"one-byte.jpeg", QByteArray("\xD9"), false},
        {"empty.jpeg", QByteArray(), false},
    };
    for (const auto& item : cases) {
        const QString path = folder.path(QString::fromLatin1(item.name));
        ASSERT_TRUE(writeFile(path, item.contents));
        EXPECT_EQ(NSURL::isValidJPEGFile(fileUrl(path)), item.valid) << item.name;
        EXPECT_EQ(NSURL::isValidJPEGFileFaster(fileUrl(path)), item.valid) << item.name;
    }
    const QUrl missing = fileUrl(folder.path(QStringLiteral("missing.jpeg")));
    EXPECT_FALSE(NSURL::isValidJPEGFile(missing));
    EXPECT_FALSE(NSURL::isValidJPEGFileFaster(missing));

    // A pipe dropped into a hot folder is answered at once, never waited on.
    const QString pipe = folder.path(QStringLiteral("pipe.jpeg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_FALSE(NSURL::isValidJPEGFile(fileUrl(pipe)));
    EXPECT_FALSE(NSURL::isValidJPEGFileFaster(fileUrl(pipe)));
    EXPECT_FALSE(NSURL::contentsAsData(fileUrl(pipe)).has_value());
}

class ExtrasNSURLImageRewrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(original.isEmpty());
        ASSERT_TRUE(writeFile(photo, original));
        const struct timespec times[2] = {{0, UTIME_OMIT}, oldModification};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(photo).constData(), times, 0), 0);
    }

    static int orientationOf(const QString& path)
    {
        return ImageProperties::read(readFile(path))->value(ImageProperties::orientationKey).toInt();
    }

    ScratchFolder folder;
    const QByteArray original = makeJpeg();
    const QString photo = folder.path(QStringLiteral("IMG_1.jpeg"));
    const struct timespec oldModification = {1577934245, 123456789};
};

TEST_F(ExtrasNSURLImageRewrite, orientationRewriteKeepsPixelsAndModificationDate)
{
    ASSERT_TRUE(NSURL::setImageOrientation(fileUrl(photo), 6));

    const QByteArray rewritten = readFile(photo);
    EXPECT_NE(rewritten, original);
    EXPECT_EQ(withoutExifSegments(rewritten), original);
    EXPECT_EQ(orientationOf(photo), 6);
    EXPECT_TRUE(modificationTimeOf(photo) == oldModification);
    EXPECT_TRUE(NSURL::isValidJPEGFileFaster(fileUrl(photo)));

    // Once there is an EXIF segment, it is rewritten in place of the old one.
    ASSERT_TRUE(NSURL::setImageOrientation(fileUrl(photo), 3));
    EXPECT_EQ(withoutExifSegments(readFile(photo)), original);
    EXPECT_EQ(orientationOf(photo), 3);
}

TEST_F(ExtrasNSURLImageRewrite, orientationOutsideOneToEightChangesNothing)
{
    for (const int orientation : {0, 9, -1}) {
        EXPECT_FALSE(NSURL::setImageOrientation(fileUrl(photo), orientation)) << orientation;
        EXPECT_EQ(readFile(photo), original) << orientation;
        EXPECT_TRUE(modificationTimeOf(photo) == oldModification) << orientation;
    }
    EXPECT_FALSE(NSURL::changeImageProperties(fileUrl(photo), nullptr));
    EXPECT_EQ(readFile(photo), original);
}

TEST_F(ExtrasNSURLImageRewrite, destinationReceivesTheCopyAndTheOriginalStays)
{
    const QString copy = folder.path(QStringLiteral("upright.jpeg"));
    ASSERT_TRUE(NSURL::changeImageProperties(
        fileUrl(photo),
        [](QVariantMap properties) {
            properties.insert(ImageProperties::orientationKey, 8);
            return properties;
        },
        fileUrl(copy)));
    EXPECT_EQ(readFile(photo), original);
    EXPECT_EQ(orientationOf(copy), 8);
    EXPECT_EQ(withoutExifSegments(readFile(copy)), original);
    EXPECT_TRUE(modificationTimeOf(copy) == oldModification);
}

TEST_F(ExtrasNSURLImageRewrite, failuresReturnFalseAndLeaveTheFileAlone)
{
    // A destination whose folder cannot be written into: a file stands where the
    // folder should be (this fails even for the superuser).
    ASSERT_TRUE(writeFile(folder.path(QStringLiteral("not-a-folder")), "x"));
    EXPECT_FALSE(NSURL::setImageOrientation(fileUrl(photo), 6, fileUrl(folder.path(QStringLiteral("not-a-folder/a.jpeg")))));
    EXPECT_FALSE(NSURL::setImageOrientation(fileUrl(photo), 6, QUrl(QStringLiteral("https://example.com/a.jpeg"))));
    if (::geteuid() != 0) {
        const QString locked = folder.path(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkpath(locked));
        ::chmod(QFile::encodeName(locked).constData(), 0555);
        EXPECT_FALSE(NSURL::setImageOrientation(fileUrl(photo), 6, fileUrl(locked + QStringLiteral("/a.jpeg"))));
        ::chmod(QFile::encodeName(locked).constData(), 0755);
    }
    EXPECT_EQ(readFile(photo), original);

    // Not an image by its type, an image file that is no image, nothing at all.
    const QString text = folder.path(QStringLiteral("notes.txt"));
    const QString broken = folder.path(QStringLiteral("broken.jpeg"));
    ASSERT_TRUE(writeFile(text, original));
    ASSERT_TRUE(writeFile(broken, "\xFF\xD8 not really a picture"));
    EXPECT_FALSE(NSURL::setImageOrientation(fileUrl(text), 6));
    EXPECT_FALSE(NSURL::setImageOrientation(fileUrl(broken), 6));
    EXPECT_FALSE(NSURL::setImageOrientation(fileUrl(folder.path(QStringLiteral("missing.jpeg"))), 6));
    EXPECT_EQ(readFile(text), original);
    EXPECT_EQ(readFile(broken), QByteArray("\xFF\xD8 not really a picture"));
}

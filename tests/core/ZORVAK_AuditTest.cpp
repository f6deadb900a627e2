#include "core/foundation/ZORVAK_Audit.h"

#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"

#include "FoundationArchive.h"

#include <QImage>
#include <QRectF>
#include <QUrl>
#include <QUuid>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using kova::test::FoundationArchive;
using platform::Archivable;
using platform::Error;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;

namespace {

class KOVA_TestPackage : public ZORVAK_Audited {
public:
    QStringList auditedProductKeys() const override { return {QStringLiteral("thumbnail")}; }
    std::optional<QString> auditedDisplayName() const override { return name; }
    std::optional<QString> name;
};

std::shared_ptr<KOVA_TestPackage> makePackage(const QString& name)
{
    auto package = std::make_shared<KOVA_TestPackage>();
    package->name = name;
    return package;
}

std::shared_ptr<ZORVAK_Audit> unarchived(const QByteArray& data, Error* error = nullptr)
{
    return Archivable::fromVariant<ZORVAK_Audit>(KeyedUnarchiver::unarchivedObjectOfClasses(data, {ZORVAK_Audit::ClassName}, error));
}

// The record's products, with errors (which have no equality) as their descriptions.
QVariantMap comparableProducts(const ZORVAK_Audit& record)
{
    QVariantMap products = record.products();
    for (QVariant& product : products) {
        if (product.typeId() == qMetaTypeId<Error>())
            product = product.value<Error>().description();
    }
    return products;
}

void expectSameRecord(const ZORVAK_Audit& expected, const ZORVAK_Audit& actual)
{
    EXPECT_EQ(actual.uuid(), expected.uuid());
    EXPECT_EQ(actual.displayName(), expected.displayName());
    EXPECT_EQ(actual.start(), expected.start());
    EXPECT_EQ(actual.end(), expected.end());
    EXPECT_EQ(actual.providerKeys(), expected.providerKeys());
    EXPECT_EQ(comparableProducts(actual), comparableProducts(expected));
    ASSERT_EQ(actual.errors().size(), expected.errors().size());
    for (qsizetype i = 0; i < actual.errors().size(); ++i)
        EXPECT_EQ(actual.errors()[i].description(), expected.errors()[i].description());
    ASSERT_EQ(actual.children().size(), expected.children().size());
    for (qsizetype i = 0; i < actual.children().size(); ++i)
        expectSameRecord(*expected.children()[i], *actual.children()[i]);
}

qsizetype descendantCount(const ZORVAK_Audit& record)
{
    qsizetype count = 0;
    for (const std::shared_ptr<ZORVAK_Audit>& child : record.children())
        count += 1 + descendantCount(*child);
    return count;
}

class AuditTrail : public ::testing::Test {
protected:
    void SetUp() override { ZORVAK_Audit::clearStack(); }
    void TearDown() override { ZORVAK_Audit::clearStack(); }

    // A job whose record is current while a package's record is made inside it.
    void makeTrail()
    {
        root = ZORVAK_Audit::start(job);
        ZORVAK_Audit::push(root);
        child = ZORVAK_Audit::start(package);
        ZORVAK_Audit::pop();
        ZORVAK_Audit::auditedSetProduct(package.get(), QVariantMap{{QStringLiteral("url"), QUrl(QStringLiteral("file:///tmp/a.jpg"))}},
                                        QStringLiteral("thumbnail"));
        ZORVAK_Audit::auditedAddError(package.get(), Error{Error::POSIXDomain, 2, QStringLiteral("No such file")});
        ZORVAK_Audit::end(package.get());
        ZORVAK_Audit::end(job.get());
    }

    std::shared_ptr<KOVA_TestPackage> job = makePackage(QStringLiteral("Job 17"));
    std::shared_ptr<KOVA_TestPackage> package = makePackage(QStringLiteral("Package 3"));
    std::shared_ptr<ZORVAK_Audit> root;
    std::shared_ptr<ZORVAK_Audit> child;
};

TEST_F(AuditTrail, RecordsMadeUnderTheCurrentRecordJoinItsTrail)
{
    makeTrail();
    EXPECT_FALSE(QUuid::fromString(root->uuid()).isNull());
    EXPECT_EQ(child->uuid(), root->uuid());
    EXPECT_EQ(child->parent(), root);
    EXPECT_EQ(root->children(), QList{child});
    EXPECT_EQ(child->displayName(), QStringLiteral("Package 3"));
    EXPECT_EQ(child->providerKeys(), QStringList{QStringLiteral("thumbnail")});
    EXPECT_TRUE(child->end().isValid());
    EXPECT_GE(child->end(), child->start());

    KOVA_TestPackage unnamed;
    EXPECT_EQ(ZORVAK_Audit::initForObject(unnamed)->displayName(), QStringLiteral("KOVA_TestPackage"));
}

TEST_F(AuditTrail, ArchivedTreeReadsBackEqualWithParentsLinked)
{
    makeTrail();
    Error error;
    const std::shared_ptr<ZORVAK_Audit> decoded = unarchived(KeyedArchiver::archivedDataWithRootObject(*root, &error), &error);
    ASSERT_TRUE(decoded) << error.message.toStdString();
    expectSameRecord(*root, *decoded);
    EXPECT_EQ(decoded->parent(), nullptr);
    EXPECT_EQ(decoded->children().value(0)->parent(), decoded);
    EXPECT_EQ(decoded->children().value(0)->errors().value(0).code, 2);
}

TEST_F(AuditTrail, CopyKeepsTheParentAndOwnsItsChildren)
{
    makeTrail();
    const std::shared_ptr<ZORVAK_Audit> childCopy = child->copy();
    ASSERT_TRUE(childCopy);
    expectSameRecord(*child, *childCopy);
    EXPECT_EQ(childCopy->parent(), root);

    const std::shared_ptr<ZORVAK_Audit> rootCopy = root->copy();
    ASSERT_TRUE(rootCopy);
    ASSERT_EQ(rootCopy->children().size(), 1);
    EXPECT_NE(rootCopy->children().front(), child);
    rootCopy->children().front()->addError(Error{Error::CocoaDomain, 4, QStringLiteral("copy only")});
    EXPECT_EQ(child->errors().size(), 1);

    // A product that cannot be archived makes the copy fail visibly rather than lose it.
    child->setProduct(QImage(1, 1, QImage::Format_RGB32), QStringLiteral("thumbnail"));
    Error error;
    EXPECT_EQ(child->copy(&error), nullptr);
    EXPECT_FALSE(error.isNull());
}

TEST_F(AuditTrail, ReadsAndCopiesARecordWrittenByTheFoundationArchiver)
{
    FoundationArchive archive;
    const QString fileURL = QStringLiteral("file:///var/lib/Morvanta/KOVA/Failed/order%2017.xml");
    const QVariant fileError = archive.error(
        Error::CocoaDomain, 260,
        archive.dictionary({{QStringLiteral("NSLocalizedDescription"), archive.plain(QStringLiteral("The file couldn’t be opened."))},
                            {QStringLiteral("NSURL"), archive.url(fileURL)}}));
    const QVariant rectangle = archive.object(QStringLiteral("NSValue"), {{QStringLiteral("NS.rectval"), QStringLiteral("{{12, 24}, {1200, 1800}}")},
                                                                          {QStringLiteral("NS.special"), qint64(12)}});
    const QVariant sizes = archive.array({archive.plain(qint64(4)), archive.object(QStringLiteral("NSNull"), {})}, QStringLiteral("NSMutableArray"));
    const QVariant products = archive.dictionary({{QStringLiteral("frame"), rectangle}, {QStringLiteral("failure"), fileError},
                                                  {QStringLiteral("thumbnail"), archive.url(fileURL)}, {QStringLiteral("sizes"), sizes}},
                                                 QStringLiteral("NSMutableDictionary"));
    const QVariant record = archive.object(ZORVAK_Audit::ClassName, {
        {QStringLiteral("self.uuid"), archive.plain(QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"))},
        {QStringLiteral("self.parent"), FoundationArchive::null()},
        {QStringLiteral("self.displayName"), archive.plain(QStringLiteral("Package 3"))},
        {QStringLiteral("self.start"), archive.object(QStringLiteral("NSDate"), {{QStringLiteral("NS.time"), 730000000.25}})},
        {QStringLiteral("self.end"), FoundationArchive::null()},
        {QStringLiteral("self.providerKeys"), archive.array({archive.plain(QStringLiteral("thumbnail"))})},
        {QStringLiteral("self.products"), products},
        {QStringLiteral("self.errors"), archive.array({fileError}, QStringLiteral("NSMutableArray"))},
        {QStringLiteral("self.children"), FoundationArchive::null()},
    });

    Error error;
    const std::shared_ptr<ZORVAK_Audit> decoded = unarchived(archive.data(record), &error);
    ASSERT_TRUE(decoded) << error.message.toStdString();
    const QString fileErrorText = Error{Error::CocoaDomain, 260, QStringLiteral("The file couldn’t be opened.")}.description();
    EXPECT_EQ(comparableProducts(*decoded), (QVariantMap{{QStringLiteral("frame"), QRectF(12, 24, 1200, 1800)},
                                                         {QStringLiteral("failure"), fileErrorText},
                                                         {QStringLiteral("thumbnail"), QUrl(fileURL)},
                                                         {QStringLiteral("sizes"), QVariantList{qint64(4), QVariant::fromValue(nullptr)}}}));
    EXPECT_EQ(decoded->errors().value(0).description(), fileErrorText);

    const std::shared_ptr<ZORVAK_Audit> copy = decoded->copy(&error);
    ASSERT_TRUE(copy) << error.message.toStdString();
    expectSameRecord(*decoded, *copy);
}

// Writes a record's keys with values of the wrong kinds.
class MalformedRecord : public Archivable {
public:
    explicit MalformedRecord(QString key, QVariant value) : key(std::move(key)), value(std::move(value)) {}
    QStringList archiveClassHierarchy() const override { return {ZORVAK_Audit::ClassName, QStringLiteral("NSObject")}; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeObject(value, key); }
    QString key;
    QVariant value;
};

TEST_F(AuditTrail, DecodingRefusesValuesOfTheWrongKind)
{
    const QList<MalformedRecord> records{
        MalformedRecord(QStringLiteral("self.providerKeys"), QVariantList{qint64(1)}),
        MalformedRecord(QStringLiteral("self.errors"), QVariantList{QStringLiteral("not an error")}),
        MalformedRecord(QStringLiteral("self.products"), QVariantList{QStringLiteral("not a dictionary")}),
        MalformedRecord(QStringLiteral("self.children"), QVariantList{QStringLiteral("not a record")}),
    };
    for (const MalformedRecord& record : records) {
        Error error;
        EXPECT_EQ(unarchived(KeyedArchiver::archivedDataWithRootObject(record), &error), nullptr) << record.key.toStdString();
        EXPECT_EQ(error.code, 4864) << record.key.toStdString();
    }
}

TEST_F(AuditTrail, StoreKeepsOneRecordPerObjectByIdentity)
{
    const auto twin = makePackage(QStringLiteral("Package 3"));
    const std::shared_ptr<ZORVAK_Audit> first = ZORVAK_Audit::start(package);
    const std::shared_ptr<ZORVAK_Audit> second = ZORVAK_Audit::start(twin);
    EXPECT_EQ(ZORVAK_Audit::audit(package.get()), first);
    EXPECT_EQ(ZORVAK_Audit::audit(twin.get()), second);
    EXPECT_NE(first, second);

    ZORVAK_Audit::end(job.get()); // no record: nothing happens
    ZORVAK_Audit::auditedAddError(job.get(), Error{Error::CocoaDomain, 1, QStringLiteral("ignored")});
    EXPECT_EQ(ZORVAK_Audit::store().size(), 2);

    ZORVAK_Audit::end(package.get());
    EXPECT_EQ(ZORVAK_Audit::audit(package.get()), nullptr);
    EXPECT_TRUE(first->end().isValid());
    EXPECT_FALSE(second->end().isValid());
}

TEST_F(AuditTrail, StoreForgetsRecordsAndObjectsThatNoLongerExist)
{
    std::shared_ptr<ZORVAK_Audit> record = ZORVAK_Audit::start(package);
    const std::weak_ptr<ZORVAK_Audit> watched = record;
    record.reset();
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(ZORVAK_Audit::audit(package.get()), nullptr);

    auto transient = makePackage(QStringLiteral("transient"));
    const std::shared_ptr<ZORVAK_Audit> kept = ZORVAK_Audit::start(transient);
    transient.reset();
    EXPECT_FALSE(ZORVAK_Audit::store().values().contains(kept));
}

TEST_F(AuditTrail, StackNamesTheWorkInProgress)
{
    const std::shared_ptr<ZORVAK_Audit> outer = ZORVAK_Audit::initForObject(*job);
    const std::shared_ptr<ZORVAK_Audit> inner = ZORVAK_Audit::initForObject(*package);
    EXPECT_EQ(ZORVAK_Audit::current(), nullptr);
    ZORVAK_Audit::push(outer);
    ZORVAK_Audit::push(inner);
    ZORVAK_Audit::push(inner);
    EXPECT_EQ(ZORVAK_Audit::stack(), (QList{outer, inner, inner}));
    ZORVAK_Audit::pop();
    EXPECT_EQ(ZORVAK_Audit::current(), inner);
    ZORVAK_Audit::pop();
    EXPECT_EQ(ZORVAK_Audit::current(), outer);
    ZORVAK_Audit::clearStack();
    EXPECT_EQ(ZORVAK_Audit::current(), nullptr);
    EXPECT_TRUE(ZORVAK_Audit::stack().isEmpty());
    EXPECT_NE(ZORVAK_Audit::initForObject(*package)->uuid(), outer->uuid());

    // A record that no longer exists is no one's parent.
    ZORVAK_Audit::push(ZORVAK_Audit::initForObject(*job));
    EXPECT_EQ(ZORVAK_Audit::current(), nullptr);
    EXPECT_EQ(ZORVAK_Audit::initForObject(*package)->parent(), nullptr);
}

TEST_F(AuditTrail, ConcurrentWorkKeepsTheStackAndChildrenIntact)
{
    const std::shared_ptr<ZORVAK_Audit> parent = ZORVAK_Audit::initForObject(*job);
    ZORVAK_Audit::push(parent);
    constexpr int threadCount = 8;
    constexpr int rounds = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                const std::shared_ptr<ZORVAK_Audit> record = ZORVAK_Audit::initForObject(*package);
                ZORVAK_Audit::push(record);
                ZORVAK_Audit::current();
                ZORVAK_Audit::pop();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(ZORVAK_Audit::stack(), QList{parent});
    // Another thread's record may have been current: each record joined some record of the trail.
    EXPECT_EQ(descendantCount(*parent), threadCount * rounds);
}

} // namespace

#include "workflow/jobs/KOVA_Job.h"

#include "core/foundation/ZORVAK_Audit.h"
#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/files/UTType.h"
#include "platform/progress/Progress.h"
#include "template/KOVA_ProductImageComposer.h"
#include "template/KOVA_XML_Keys.h"
#include "template/KOVA_XML_object.h"
#include "workflow/jobs/KOVA_JobBundle.h"
#include "workflow/jobs/KOVA_JobPaths.h"
#include "workflow/jobs/KOVA_JobProcessing.h"
#include "workflow/jobs/KOVA_JobTicketReader.h"
#include "workflow/jobs/KOVA_JobWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <chrono>
#include <mutex>
#include <optional>

using platform::UTType;

// Where a ticket's text came from: the ticket file and its job bundle, and how the
// log names it.
struct KOVA_Job::Ticket {
    QString text;
    QUrl documentURL;
    QUrl container;
    QString source;
};

// What the package tasks of one run share: the error they report, last one kept.
struct KOVA_Job::Run {
    std::mutex mutex; // guards error
    platform::Error error;

    void store(const platform::Error& stored)
    {
        std::lock_guard lock(mutex);
        error = stored;
    }
    platform::Error stored()
    {
        std::lock_guard lock(mutex);
        return error;
    }
};

namespace {

using Clock = std::chrono::steady_clock;

QString secondsSince(Clock::time_point start)
{
    return QString::number(std::chrono::duration<double>(Clock::now() - start).count(), 'f', 2);
}

bool isList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

bool isMap(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap;
}

bool isCollection(const QVariant& value)
{
    return isList(value) || isMap(value) || value.typeId() == QMetaType::QVariantHash;
}

// `added` merged into `old`: dictionaries gain its entries, lists its items, when old
// and new are of one kind; other collections leave the old value, anything else
// replaces it.
QVariant mergedValue(const QVariant& old, const QVariant& added)
{
    if (isMap(added) && isMap(old)) {
        QVariantMap merged = old.toMap();
        merged.insert(added.toMap());
        return merged;
    }
    if (isList(added) && isList(old))
        return old.toList() + added.toList();
    return isCollection(added) ? old : added;
}

template <class T>
QList<std::shared_ptr<T>> objectsIn(const QVariantList& values)
{
    QList<std::shared_ptr<T>> objects;
    for (const QVariant& value : values) {
        if (auto object = platform::Archivable::fromVariant<T>(value))
            objects.append(object);
    }
    return objects;
}

bool isEmptyValue(const QVariant& value)
{
    return value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

double versionOf(const QVariantMap& values)
{
    return KOVA_XML_object::versionNumber(values.value(KOVA_XML_Key_version));
}

// The product suffixes a package name may carry beyond its product code.
QString withoutProductSuffix(const QString& packageName)
{
    for (const QString& suffix : {QStringLiteral("PRT"), QStringLiteral("LS")}) {
        if (packageName.endsWith(suffix, Qt::CaseSensitive))
            return packageName.chopped(suffix.size());
    }
    return packageName;
}

bool matchesIgnoringCase(const QVariant& value, const QString& name)
{
    const QString text = value.toString();
    return !text.isEmpty() && text.compare(name, Qt::CaseInsensitive) == 0;
}

// The type a ticket path is read as. Anything but a job bundle or an XML file is
// judged by its name, so that a folder, pipe or device named like a ticket is refused
// by the read with its reason rather than passed over in silence.
QString ticketTypeOfPath(const QString& path)
{
    const QString type = UTType::typeOfItemAtPath(path);
    if (type == UTType::jobBundle || UTType::conformsTo(type, platform::kUTTypeXML))
        return type;
    return UTType::typeForExtension(QFileInfo(path).suffix());
}

bool isReceiptName(const QString& path)
{
    return QFileInfo(path).fileName().toLower().startsWith(QStringLiteral("receipt"));
}

// A hot folder reads a ticket it could not take again at every change of the folder:
// its failure is logged once for each state of the file (its generation), not at every
// reading. Failures without a file (tickets given as data) are always logged.
void logTicketFailure(const QUrl& ticketFile, const QString& line, void (*log)(const QString&))
{
    static constexpr qsizetype RememberedFiles = 4096;
    static std::mutex mutex;
    static QHash<QString, QByteArray> logged; // ticket path to the generation logged
    const QByteArray generation = ticketFile.isLocalFile() ? ZORVAK_Extras_NSURL::generationID(ticketFile) : QByteArray();
    if (!generation.isEmpty()) {
        const std::lock_guard lock(mutex);
        QByteArray& last = logged[ticketFile.toLocalFile()];
        if (last == generation)
            return;
        if (logged.size() > RememberedFiles)
            logged = {{ticketFile.toLocalFile(), generation}};
        else
            last = generation;
    }
    log(line);
}

std::optional<QString> readTicketText(const QString& path)
{
    platform::Error error;
    const QString text = KOVA_XML_object::readDocumentText(QUrl::fromLocalFile(path), &error);
    if (text.isNull()) {
        logTicketFailure(QUrl::fromLocalFile(path), error.description(), platform::Log::error);
        return std::nullopt;
    }
    return text;
}

} // namespace

KOVA_Job::KOVA_Job(std::shared_ptr<platform::XmlDocument> document)
    : m_progress(platform::Progress::create(ProgressUnitCount))
    , m_xmlDoc(std::move(document))
{
}

KOVA_Job::~KOVA_Job()
{
    ZORVAK_Audit::end(this);
}

std::shared_ptr<KOVA_Job> KOVA_Job::init()
{
    std::shared_ptr<KOVA_Job> job(new KOVA_Job(nullptr));
    job->m_valuesDict = {{KOVA_XML_Key_type, ClassName.toLower()}, {KOVA_XML_Key_version, 1.1}};
    return job;
}

std::shared_ptr<KOVA_Job> KOVA_Job::instanceWithXMLObject(const QVariant& object)
{
    std::optional<Ticket> ticket;
    if (object.typeId() == QMetaType::QByteArray)
        ticket = ticketFromData(object.toByteArray());
    else if (object.typeId() == QMetaType::QString)
        ticket = ticketAtPath(object.toString());
    else if (object.toUrl().isLocalFile())
        ticket = ticketAtPath(object.toUrl().toLocalFile());
    return ticket ? withTicket(*ticket) : nullptr;
}

std::optional<KOVA_Job::Ticket> KOVA_Job::ticketFromData(const QByteArray& data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (utf8.hasError() || text.isEmpty())
        return std::nullopt;
    return Ticket{text, {}, {}, QStringLiteral("data of %1 bytes").arg(data.size())};
}

std::optional<KOVA_Job::Ticket> KOVA_Job::ticketAtPath(const QString& givenPath)
{
    const QString path = QDir::cleanPath(givenPath);
    Ticket ticket;
    const QString type = ticketTypeOfPath(path);
    if (type == UTType::jobBundle) {
        ticket.documentURL = QUrl::fromLocalFile(KOVA_JobBundle::entryPath(path, KOVA_JobBundle::ticketName));
        ticket.container = QUrl::fromLocalFile(path);
    } else if (UTType::conformsTo(type, platform::kUTTypeXML) && !isReceiptName(path)) {
        ticket.documentURL = QUrl::fromLocalFile(path);
        const QString parent = QFileInfo(path).absolutePath();
        if (KOVA_JobBundle::isJobBundle(parent))
            ticket.container = QUrl::fromLocalFile(parent);
    } else {
        return std::nullopt;
    }
    const std::optional<QString> text = readTicketText(ticket.documentURL.toLocalFile());
    if (!text)
        return std::nullopt;
    ticket.text = *text;
    ticket.source = (ticket.container.isEmpty() ? ticket.documentURL : ticket.container).toLocalFile();
    return ticket;
}

std::shared_ptr<KOVA_Job> KOVA_Job::withTicket(const Ticket& ticket)
{
    platform::Error error;
    auto document = platform::XmlDocument::parse(ticket.text, platform::XmlDocument::PreserveAll, &error);
    if (!document) {
        // The parser's error, naming the ticket it is about.
        error.message = ticket.source + QStringLiteral(": ") + error.message;
        logTicketFailure(ticket.documentURL, error.description(), platform::Log::log);
        return nullptr;
    }
    std::shared_ptr<KOVA_Job> job(new KOVA_Job(std::move(document)));
    job->m_documentURL = ticket.documentURL;
    job->m_urlJobContainer = ticket.container;
    error = job->readTicket();
    if (!error.isNull()) {
        logTicketFailure(ticket.documentURL, QStringLiteral("Error %1 parsing job %2").arg(error.description(), ticket.source),
                         platform::Log::log);
        return nullptr;
    }
    return job;
}

std::shared_ptr<KOVA_Job> KOVA_Job::initWithXML(const QString& text)
{
    platform::Error error;
    auto document = platform::XmlDocument::parse(text, platform::XmlDocument::PreserveAll, &error);
    if (!document) {
        platform::Log::log(error.description());
        return nullptr;
    }
    return std::shared_ptr<KOVA_Job>(new KOVA_Job(std::move(document)));
}

void KOVA_Job::parseXML(const Completion& completion)
{
    const platform::Error error = readTicket();
    if (completion)
        completion(error);
    else if (!error.isNull())
        platform::Log::log(error.description());
}

platform::Error KOVA_Job::readTicket()
{
    const auto parsing = platform::Progress::create(1);
    m_progress->addChild(parsing, ParseUnitCount);
    const platform::XmlNode root = m_xmlDoc->rootElement();
    QVariantMap values = valuesDict();
    KOVA_JobTicketReader::storeRootAttributes(values, root);
    platform::Error error;
    if (values.value(KOVA_XML_Key_type).toString().compare(ClassName, Qt::CaseInsensitive) == 0) {
        error = versionError(values);
        if (error.isNull())
            error = KOVA_JobTicketReader::parseXML_kovaVersion1(values, root, shared_from_this());
    } else {
        error = KOVA_JobTicketReader::parseXML_wrenlowVersion1(values, root);
    }
    {
        std::lock_guard lock(m_mutex);
        m_valuesDict = values;
    }
    if (error.isNull()) {
        makePreviewItems();
        parsing->setCompletedUnitCount(1);
    }
    return error;
}

platform::Error KOVA_Job::versionError(const QVariantMap& values)
{
    const double version = versionOf(values);
    const QString type = values.value(KOVA_XML_Key_type).toString();
    if (version > KOVA_XML_object::versionMaximum())
        return {platform::Error::POSIXDomain, -3,
                QStringLiteral("file version too new %1 when parsing %2").arg(QString::number(version), type)};
    if (version < KOVA_XML_object::versionMinimum())
        return {platform::Error::POSIXDomain, -3,
                QStringLiteral("file version too old %1 when parsing %2").arg(QString::number(version), type)};
    return {};
}

void KOVA_Job::makePreviewItems()
{
    QVariantList items;
    if (!m_documentURL.isEmpty())
        items.append(m_documentURL);
    if (m_urlJobContainer.isEmpty())
        appendBarePreviewItems(items);
    else
        appendBundlePreviewItems(items);
    std::lock_guard lock(m_mutex);
    m_previewItems = items;
}

// Folders that are links are not entered; entries that are links leading out of the
// bundle are left out.
void KOVA_Job::appendBundlePreviewItems(QVariantList& items) const
{
    const QString bundle = m_urlJobContainer.toLocalFile();
    QDirIterator entries(bundle, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (entries.hasNext() && items.size() < MaximumPreviewItems) {
        const QString entry = entries.next();
        const QString path = KOVA_JobPaths::insideFolder(entry, bundle, QDir(bundle).relativeFilePath(entry));
        if (path.isEmpty())
            continue;
        const QUrl url = QUrl::fromLocalFile(path);
        if (UTType::conformsTo(UTType::typeOfItemAtPath(path), platform::kUTTypeData) && !items.contains(url))
            items.append(url);
    }
}

void KOVA_Job::appendBarePreviewItems(QVariantList& items) const
{
    QStringList images;
    for (const QVariant& image : value(KOVA_XML_Key_allImages).toList())
        images.append(picturePath(image.toString()));
    const QString graphic = graphicPath();
    if (QDir::isAbsolutePath(graphic) && !images.contains(graphic))
        items.append(QUrl::fromLocalFile(graphic));
    for (const QString& path : images)
        items.append(path.isEmpty() ? QVariant() : QVariant(QUrl::fromLocalFile(path)));
}

QVariantMap KOVA_Job::valuesDict() const
{
    std::lock_guard lock(m_mutex);
    return m_valuesDict;
}

QVariant KOVA_Job::value(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_valuesDict.value(key);
}

void KOVA_Job::setValue(const QString& key, const QVariant& value)
{
    const bool removes = isEmptyValue(value);
    {
        std::lock_guard lock(m_mutex);
        const auto stored = m_valuesDict.constFind(key);
        if (removes ? stored == m_valuesDict.cend() : (stored != m_valuesDict.cend() && *stored == value))
            return;
    }
    willChangeValueForKey(key);
    {
        std::lock_guard lock(m_mutex);
        if (removes)
            m_valuesDict.remove(key);
        else
            m_valuesDict.insert(key, value);
    }
    didChangeValueForKey(key);
}

QVariant KOVA_Job::valueForKey(const QString& key) const
{
    return value(key == QStringLiteral("outputs") ? KOVA_XML_Key_output : key);
}

QString KOVA_Job::jobType() const { return value(KOVA_XML_Key_type).toString(); }
double KOVA_Job::version() const { return versionOf(valuesDict()); }
QString KOVA_Job::pluCode() const { return value(KOVA_XML_Key_PLU).toString(); }
QString KOVA_Job::destinationLabel() const { return value(KOVA_XML_Key_ipAddress).toString(); }
QVariantMap KOVA_Job::replacements() const { return value(KOVA_XML_Key_key).toMap(); }
QVariantList KOVA_Job::jobPackages() const { return value(KOVA_XML_Key_package).toList(); }

QString KOVA_Job::packageName() const
{
    return jobPackages().value(0).toMap().value(KOVA_XML_Key_name).toString();
}

QString KOVA_Job::packageLabel() const
{
    const QString name = packageName();
    return name.isEmpty() ? pluCode() : name;
}

QString KOVA_Job::name() const
{
    const QUrl named = m_urlJobContainer.isEmpty() ? m_documentURL : m_urlJobContainer;
    return named.isEmpty() ? QString() : QFileInfo(named.toLocalFile()).completeBaseName();
}

QString KOVA_Job::graphicPath() const
{
    QString name = value(KOVA_XML_Key_imagePath).toString();
    if (name.isEmpty())
        name = valueForKey(KOVA_XML_Key_image1, packageName()).toString();
    return picturePath(name);
}

QString KOVA_Job::picturePath(const QString& name) const
{
    if (name.isEmpty() || QDir::isAbsolutePath(name))
        return name;
    if (!m_urlJobContainer.isEmpty())
        return KOVA_JobPaths::imagePath(name, m_urlJobContainer, m_documentURL);
    if (!m_documentURL.isLocalFile())
        return name; // a ticket given as data has no folder to look in
    const QString besideTicket = KOVA_JobPaths::imagePath(name, {}, m_documentURL);
    if (besideTicket.isEmpty())
        return besideTicket;
    for (const QString& folder : barePictureFolders()) {
        const QString found = KOVA_JobPaths::insideFolder(KOVA_JobBundle::appendingPathComponent(folder, name), folder, name);
        if (!found.isEmpty() && QFileInfo::exists(found))
            return found;
    }
    return besideTicket;
}

// Where a bare ticket's pictures lie, first to last: the ordering application's search
// folder, the ticket's own folder, and the folders beside the templates folder that
// rendering looks in (the work-folder tree's "Images", "Graphics", "Templates").
QStringList KOVA_Job::barePictureFolders() const
{
    QStringList folders;
    if (const QString searchFolder = KOVA_JobTicketReader::wrenlowSearchFolder(); !searchFolder.isEmpty())
        folders.append(searchFolder);
    folders.append(QFileInfo(m_documentURL.toLocalFile()).absolutePath());
    const QUrl templates = platform::UserDefaults::standardUserDefaults()->URLForKey(key_kovaFolderTemplates);
    if (templates.isLocalFile()) {
        const QString tree = QFileInfo(QDir::cleanPath(templates.toLocalFile())).path();
        for (const QString& folder : KOVA_ProductImageComposer::searchFolders())
            folders.append(KOVA_JobBundle::appendingPathComponent(tree, folder));
    }
    return folders;
}

QDateTime KOVA_Job::dateStarted() const
{
    const QDateTime modified = m_documentURL.isEmpty() ? QDateTime() : ZORVAK_Extras_NSURL::dateModified(m_documentURL);
    return modified.isValid() ? modified : QDateTime::currentDateTime();
}

std::shared_ptr<ZORVAK_Image> KOVA_Job::previewImage() const
{
    const QString path = graphicPath();
    return QDir::isAbsolutePath(path) ? ZORVAK_Image::imageWithObject(QUrl::fromLocalFile(path)) : nullptr;
}

QVariant KOVA_Job::valueForKey(const QString& key, const QString& packageName, const QString& metaKey) const
{
    const QVariantMap values = valuesDict();
    if (metaKey == KOVA_XML_Key_stamp) {
        const QVariant stamp = stampAnswer(values, key);
        if (!isEmptyValue(stamp))
            return stamp;
    }
    const QString group = metaKey.isEmpty() ? KOVA_XML_Key_key : metaKey;
    const QVariant answer = packageDescriptionNamed(values, packageName).value(group).toMap().value(key);
    return isEmptyValue(answer) ? values.value(group).toMap().value(key) : answer;
}

QVariant KOVA_Job::valueForKey(const QString& key, const QString& packageName) const
{
    return valueForKey(key, packageName, {});
}

QVariant KOVA_Job::templateForKey(const QString& key, const QString& packageName) const
{
    return valueForKey(key, packageName, KOVA_XML_Key_template);
}

QVariant KOVA_Job::cropRectForKey(const QString& key, const QString& packageName) const
{
    return valueForKey(key, packageName, KOVA_XML_Key_croprect);
}

QVariant KOVA_Job::rotationForKey(const QString& key, const QString& packageName) const
{
    return valueForKey(key, packageName, KOVA_XML_Key_rotation);
}

QVariant KOVA_Job::stampForKey(const QString& key, const QString& packageName) const
{
    return valueForKey(key, packageName, KOVA_XML_Key_stamp);
}

QVariantMap KOVA_Job::packageDescriptionNamed(const QVariantMap& values, const QString& packageName)
{
    const QVariantList descriptions = values.value(KOVA_XML_Key_package).toList();
    const QString name = withoutProductSuffix(packageName);
    for (const QVariant& entry : descriptions) {
        const QVariantMap description = entry.toMap();
        if (matchesIgnoringCase(description.value(KOVA_XML_Key_PLU), name)
            || matchesIgnoringCase(description.value(KOVA_XML_Key_name), name))
            return description;
    }
    return descriptions.value(0).toMap();
}

QVariant KOVA_Job::stampAnswer(const QVariantMap& values, const QString& key)
{
    if (key == KOVA_XML_Key_filename)
        return QFileInfo(values.value(KOVA_XML_Key_imagePath).toString()).fileName();
    return key;
}

bool KOVA_Job::isEqual(const KOVA_Job& other) const
{
    return this == &other || (!m_documentURL.isEmpty() && m_documentURL == other.m_documentURL);
}

size_t KOVA_Job::hash() const
{
    const size_t pathHash = m_documentURL.isEmpty() ? 0 : qHash(m_documentURL.toLocalFile());
    return pathHash != 0 ? pathHash : reinterpret_cast<size_t>(this);
}

QVariantList KOVA_Job::previewItems() const
{
    std::lock_guard lock(m_mutex);
    return m_previewItems;
}

qint64 KOVA_Job::previewItemIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_previewItemURL.isEmpty() ? -1 : m_previewItemIndex;
}

void KOVA_Job::setPreviewItemIndex(qint64 index)
{
    std::lock_guard lock(m_mutex);
    m_previewItemURL.clear();
    m_previewItemIndex = index;
    if (index >= 0 && index < m_previewItems.size() && m_previewItems.at(index).typeId() == QMetaType::QUrl)
        m_previewItemURL = m_previewItems.at(index).toUrl();
}

QUrl KOVA_Job::previewItemURL() const
{
    std::lock_guard lock(m_mutex);
    return m_previewItemURL;
}

// ---- Processing ----

platform::Error KOVA_Job::namesNoPackageError(const QString& jobName)
{
    return {platform::Error::POSIXDomain, -3, QStringLiteral("job %1 names no package").arg(jobName)};
}

void KOVA_Job::processToCompletion()
{
    KOVA_JobProcessing::shared()->processJob(shared_from_this());
}

void KOVA_Job::processJob(const Completion& completion)
{
    const qint64 remaining = m_progress->totalUnitCount() - m_progress->completedUnitCount();
    const QVariantList descriptions = jobPackages();
    const qint64 count = descriptions.size();
    const qint64 share = count > 0 ? remaining / count : 0;
    const Clock::time_point start = Clock::now();
    const auto run = std::make_shared<Run>();
    if (count == 0)
        run->store(namesNoPackageError(name()));
    const auto queue = platform::DispatchQueue::global(platform::QoS::UserInitiated);
    const auto group = platform::DispatchGroup::create();
    // The blocks borrow the job: the wait below keeps it alive while they run, and a
    // worker never ends up releasing the last reference after the caller has gone on.
    for (const QVariant& description : descriptions)
        group->async(queue, [this, description = description.toMap(), share, run] {
            processPackage(description, share, run);
        });
    {
        platform::BlockingScope waiting;
        group->wait();
    }
    const qint64 leftover = remaining - share * count;
    if (leftover != 0)
        m_progress->completeUnitCount(leftover);
    platform::Log::log(QStringLiteral("Job completed in %1 seconds").arg(secondsSince(start)));
    if (completion)
        completion(run->stored());
}

void KOVA_Job::processPackage(const QVariantMap& description, qint64 share, const std::shared_ptr<Run>& run)
{
    const platform::DispatchQueue* queue = platform::DispatchQueue::current();
    platform::Log::log(QStringLiteral("current queue label:%1").arg(queue ? queue->label() : QString()));
    const Clock::time_point start = Clock::now();
    const KOVA_JobPackage::Pointer package = KOVA_JobPackage::packageWithDictionary(lookupDescription(description));
    if (!package) {
        // The package's units count as done, so that the job's progress still ends at its total.
        m_progress->completeUnitCount(share);
        run->store({platform::Error::POSIXDomain, -3,
                    QStringLiteral("could not find package with name %1").arg(description.value(KOVA_XML_Key_name).toString())});
        return;
    }
    package->setJob(shared_from_this());
    const QString packageName = package->packageName();
    platform::Log::log(QStringLiteral("Package \"%1\" render commencing").arg(packageName));
    const auto packageProgress = platform::Progress::create(PackageUnitCount);
    m_progress->addChild(packageProgress, share);
    package->processToCompletion([&](bool success, const platform::Error& error) {
        packageProgress->setCompletedUnitCount(PackageUnitCount);
        platform::Log::log(QStringLiteral("Package completed in %1 seconds").arg(secondsSince(start)));
        if (success)
            return;
        const platform::Error failure = error.isNull()
            ? platform::Error{platform::Error::POSIXDomain, -3, QStringLiteral("package %1 failed").arg(packageName)}
            : error;
        run->store(failure);
        platform::Log::log(QStringLiteral("error:%1").arg(failure.description()));
    });
}

QVariantMap KOVA_Job::lookupDescription(QVariantMap description) const
{
    QVariantMap keyed = description.value(KOVA_XML_Key_key).toMap();
    const QString image1 = keyed.value(KOVA_XML_Key_image1).toString();
    if (image1.isEmpty())
        return description;
    keyed.insert(KOVA_XML_Key_image1, picturePath(image1));
    description.insert(KOVA_XML_Key_key, keyed);
    return description;
}

// ---- Building a job for writing ----

void KOVA_Job::addReplacements(const QVariantMap& added)
{
    QVariantMap merged = replacements();
    for (auto entry = added.cbegin(); entry != added.cend(); ++entry) {
        const auto old = merged.constFind(entry.key());
        merged.insert(entry.key(), old == merged.cend() ? entry.value() : mergedValue(*old, entry.value()));
    }
    setValue(KOVA_XML_Key_key, merged);
}

void KOVA_Job::addTemplates(const KOVA_Template::List& templates)
{
    std::lock_guard lock(m_mutex);
    m_templates += templates;
}

void KOVA_Job::addImages(const QList<Image>& images)
{
    QVariantMap templateNames = value(KOVA_XML_Key_template).toMap();
    KOVA_Template::List templates;
    for (const Image& image : images) {
        if (image.url.isEmpty())
            continue;
        {
            std::lock_guard lock(m_mutex);
            m_images.append(image.url);
        }
        if (!image.templateObject)
            continue;
        const QString templateFile = image.templateObject->documentURL().fileName();
        if (!templateFile.isEmpty())
            templateNames.insert(image.url.fileName(), templateFile);
        templates.append(image.templateObject);
    }
    if (templates.isEmpty())
        return;
    setValue(KOVA_XML_Key_template, templateNames);
    addTemplates(templates);
}

void KOVA_Job::addPackages(const QList<KOVA_JobPackage::Pointer>& packages)
{
    QVariantList descriptions;
    for (const KOVA_JobPackage::Pointer& package : packages) {
        QVariantMap description{{KOVA_XML_Key_package, package->archivedValue()},
                                {KOVA_XML_Key_name, package->packageName()}};
        if (!m_urlJobContainer.isEmpty())
            description.insert(KOVA_XML_Key_job, m_urlJobContainer);
        descriptions.append(description);
    }
    {
        std::lock_guard lock(m_mutex);
        m_packages += packages;
    }
    setValue(KOVA_XML_Key_package, descriptions);
}

void KOVA_Job::addOutputs(const QList<std::shared_ptr<platform::Archivable>>& outputs)
{
    QVariantList stored = value(KOVA_XML_Key_output).toList();
    const qsizetype before = stored.size();
    for (const auto& output : outputs) {
        if (output)
            stored.append(platform::Archivable::toVariant(output));
    }
    if (stored.size() == before)
        return;
    willChangeValueForKey(QStringLiteral("outputs"));
    {
        std::lock_guard lock(m_mutex);
        m_valuesDict.insert(KOVA_XML_Key_output, stored);
    }
    didChangeValueForKey(QStringLiteral("outputs"));
}

QList<std::shared_ptr<platform::Archivable>> KOVA_Job::outputs() const
{
    return objectsIn<platform::Archivable>(value(KOVA_XML_Key_output).toList());
}

QList<KOVA_JobPackage::Pointer> KOVA_Job::packages() const
{
    std::lock_guard lock(m_mutex);
    return m_packages;
}

KOVA_Template::List KOVA_Job::templates() const
{
    std::lock_guard lock(m_mutex);
    return m_templates;
}

QList<QUrl> KOVA_Job::images() const
{
    std::lock_guard lock(m_mutex);
    return m_images;
}

// ---- Written form ----

QList<std::pair<QString, QString>> KOVA_Job::xmlElementAttributes() const
{
    return {{KOVA_XML_Key_type, ClassName.toLower()}, {KOVA_XML_Key_version, xmlVersionString()}};
}

QList<platform::XmlNode> KOVA_Job::xmlElementChildren() const
{
    return KOVA_JobWriter::elementChildren(*this);
}

platform::XmlNode KOVA_Job::asXMLElement() const
{
    return KOVA_JobWriter::element(*this);
}

std::shared_ptr<platform::XmlDocument> KOVA_Job::asXMLDocument() const
{
    return KOVA_JobWriter::document(*this);
}

void KOVA_Job::writeToURL(const QUrl& url, const WriteResult& result) const
{
    platform::Error error;
    const bool written = KOVA_JobWriter::writeBundle(*this, url, &error);
    if (!written)
        platform::Log::error(error.description());
    if (result)
        result(written, error);
}

QStringList KOVA_Job::attributesForChild(const QString& childKey)
{
    return KOVA_Template::attributesForChild(childKey);
}

QString KOVA_Job::translatedChildName(const QString& key)
{
    return KOVA_Template::translatedChildName(key);
}

QString KOVA_Job::translatedAttributeName(const QString& key)
{
    return KOVA_Template::translatedAttributeName(key);
}

QString KOVA_Job::translatedAttributeValue(const QString& value)
{
    return KOVA_Template::translatedAttributeValue(value);
}

std::pair<QString, QString> KOVA_Job::xmlAttributeTranslatedName(const QString& key, const QString& value)
{
    return KOVA_Template::xmlAttributeTranslatedName(key, value);
}

void KOVA_Job::filePath(const QUrl& url, const SaveReply& saveChanges) const
{
    if (!url.isEmpty() || !m_documentURL.isEmpty())
        return;
    const platform::Error error{platform::Error::URLDomain, -1, QStringLiteral("No filepathURL specified")};
    if (saveChanges)
        saveChanges({}, error);
    else
        platform::Log::log(QStringLiteral("-[KOVA_Job filePath:saveChanges:]:%1").arg(error.description()));
}

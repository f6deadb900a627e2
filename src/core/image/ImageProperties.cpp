#include "core/image/ImageProperties.h"

#include <exiv2/exiv2.hpp>

#include <QStringList>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using platform::Error;

// A tag with more numbers than this is left out of the dictionary: no caller
// edits such lists, and a crafted file must not make one huge.
constexpr long maxListedValueCount = 4096;

const std::string tiffGroup = "Image";
const std::string exifGroup = "Photo";
const std::string orientationTag = "Exif.Image.Orientation";
const std::string xmpOrientationTag = "Xmp.tiff.Orientation";

// Why a rewrite stopped; caught where it starts.
struct RewriteFailure {
    QString reason;
};

// The XMP toolkit must be set up once, with a lock, before threads use it.
void initialiseExiv2Once()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static std::recursive_mutex xmpToolkitLock;
        Exiv2::XmpParser::initialize(
            [](void* lock, bool locking) {
                auto* mutex = static_cast<std::recursive_mutex*>(lock);
                locking ? mutex->lock() : mutex->unlock();
            },
            &xmpToolkitLock);
    });
}

// The image in `data` with its metadata read. exiv2 reads the bytes in place
// and copies them before its first write, so `data` must outlive the image.
Exiv2::Image::AutoPtr openImage(const QByteArray& data)
{
    initialiseExiv2Once();
    Exiv2::Image::AutoPtr image
        = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(data.constData()), static_cast<long>(data.size()));
    image->readMetadata();
    return image;
}

QByteArray contentsOf(Exiv2::BasicIo& io)
{
    io.open();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf buffer = io.read(static_cast<long>(io.size()));
    io.close();
    return QByteArray(reinterpret_cast<const char*>(buffer.pData_), buffer.size_);
}

// Tags that locate other directories; exiv2 keeps them right by itself.
bool isDirectoryPointer(const std::string& tagName)
{
    return tagName == "ExifTag" || tagName == "GPSTag" || tagName == "InteroperabilityTag" || tagName == "SubIFDs";
}

bool isNumeric(Exiv2::TypeId type)
{
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::unsignedRational:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
    case Exiv2::signedRational:
    case Exiv2::tiffFloat:
    case Exiv2::tiffDouble:
        return true;
    default:
        return false;
    }
}

bool isFraction(Exiv2::TypeId type)
{
    return type == Exiv2::unsignedRational || type == Exiv2::signedRational || type == Exiv2::tiffFloat
        || type == Exiv2::tiffDouble;
}

// ---- Reading ----

QVariant numberAt(const Exiv2::Value& value, long index)
{
    const Exiv2::TypeId type = value.typeId();
    if (type == Exiv2::unsignedRational || type == Exiv2::signedRational) {
        const Exiv2::Rational fraction = value.toRational(index);
        return fraction.second == 0 ? 0.0 : static_cast<double>(fraction.first) / fraction.second;
    }
    if (isFraction(type))
        return static_cast<double>(value.toFloat(index));
    return static_cast<qint64>(value.toLong(index));
}

QVariant numbersOf(const Exiv2::Value& value)
{
    if (value.count() < 1 || value.count() > maxListedValueCount)
        return {};
    if (value.count() == 1)
        return numberAt(value, 0);
    QVariantList numbers;
    for (long index = 0; index < value.count(); ++index)
        numbers.append(numberAt(value, index));
    return numbers;
}

QByteArray bytesOf(const Exiv2::Value& value)
{
    QByteArray bytes(value.size(), Qt::Uninitialized);
    value.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), Exiv2::littleEndian);
    return bytes;
}

// Comment tags (the user comment) are stored as bytes with a character-set
// header; the dictionary holds their text.
bool isCommentTag(const Exiv2::ExifKey& key)
{
    return key.defaultTypeId() == Exiv2::comment;
}

QString commentOf(const Exiv2::Value& value, Exiv2::ByteOrder byteOrder)
{
    Exiv2::CommentValue comment;
    const QByteArray bytes = bytesOf(value);
    comment.read(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), static_cast<long>(bytes.size()), byteOrder);
    return QString::fromStdString(comment.comment());
}

// The dictionary value of a tag; invalid for kinds the dictionary leaves out.
QVariant propertyValue(const Exiv2::Exifdatum& datum, Exiv2::ByteOrder byteOrder)
{
    const Exiv2::Value& value = datum.value();
    if (isCommentTag(Exiv2::ExifKey(datum.key())))
        return commentOf(value, byteOrder);
    switch (value.typeId()) {
    case Exiv2::asciiString:
    case Exiv2::string:
        return QString::fromUtf8(value.toString().c_str()); // up to the terminating zero
    case Exiv2::undefined:
        return bytesOf(value);
    default:
        return isNumeric(value.typeId()) ? numbersOf(value) : QVariant();
    }
}

QVariantMap propertiesOf(const Exiv2::Image& image)
{
    QVariantMap tiff;
    QVariantMap exif;
    for (const Exiv2::Exifdatum& datum : image.exifData()) {
        const std::string group = datum.groupName();
        QVariantMap* dictionary = group == tiffGroup ? &tiff : group == exifGroup ? &exif : nullptr;
        if (!dictionary || isDirectoryPointer(datum.tagName()))
            continue;
        if (const QVariant value = propertyValue(datum, image.byteOrder()); value.isValid())
            dictionary->insert(QString::fromStdString(datum.tagName()), value);
    }
    QVariantMap properties;
    if (tiff.contains(ImageProperties::orientationKey))
        properties.insert(ImageProperties::orientationKey, tiff.value(ImageProperties::orientationKey));
    if (!tiff.isEmpty())
        properties.insert(ImageProperties::tiffDictionaryKey, tiff);
    if (!exif.isEmpty())
        properties.insert(ImageProperties::exifDictionaryKey, exif);
    return properties;
}

// ---- Writing ----

std::string numberText(Exiv2::TypeId type, const QVariant& number, const std::string& key)
{
    bool isNumber = false;
    if (type != Exiv2::unsignedRational && type != Exiv2::signedRational) {
        const QString text = isFraction(type) ? QString::number(number.toDouble(&isNumber), 'g', 17)
                                              : QString::number(number.toLongLong(&isNumber));
        if (isNumber)
            return text.toStdString();
    } else if (const double fraction = number.toDouble(&isNumber); isNumber) {
        const bool whole = number.typeId() != QMetaType::Double && number.typeId() != QMetaType::Float;
        const Exiv2::Rational rational = whole ? Exiv2::Rational(static_cast<int32_t>(number.toLongLong()), 1)
                                               : Exiv2::floatToRationalCast(static_cast<float>(fraction));
        return std::to_string(rational.first) + '/' + std::to_string(rational.second);
    }
    throw RewriteFailure{QStringLiteral("%1 takes numbers, not \"%2\"").arg(QString::fromStdString(key), number.toString())};
}

std::string numbersText(Exiv2::TypeId type, const QVariant& value, const std::string& key)
{
    const QVariantList numbers = value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList{value};
    if (numbers.isEmpty())
        throw RewriteFailure{QStringLiteral("%1 takes at least one number").arg(QString::fromStdString(key))};
    std::string text;
    for (const QVariant& number : numbers) {
        if (!text.empty())
            text += ' ';
        text += numberText(type, number, key);
    }
    return text;
}

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
}

// A comment in the character set it needs: plain ASCII where it suffices.
std::string commentText(const QVariant& value, const std::string& key)
{
    if (!isText(value))
        throw RewriteFailure{QStringLiteral("%1 takes a text").arg(QString::fromStdString(key))};
    const QString text = value.toString();
    bool isAscii = true;
    for (const QChar character : text)
        isAscii = isAscii && character.unicode() < 0x80;
    return (isAscii ? "charset=Ascii " : "charset=Unicode ") + text.toStdString();
}

Exiv2::Value::AutoPtr valueOfType(Exiv2::TypeId type, const QVariant& value, const std::string& key)
{
    Exiv2::Value::AutoPtr stored = Exiv2::Value::create(type);
    int result = 1;
    if (type == Exiv2::undefined && isText(value)) {
        const QByteArray bytes = value.typeId() == QMetaType::QString ? value.toString().toUtf8() : value.toByteArray();
        result = stored->read(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), static_cast<long>(bytes.size()),
                              Exiv2::littleEndian);
    } else if (type == Exiv2::comment) {
        result = stored->read(commentText(value, key));
    } else if ((type == Exiv2::asciiString || type == Exiv2::string) && value.canConvert<QString>()) {
        result = stored->read(value.toString().toStdString());
    } else if (isNumeric(type)) {
        result = stored->read(numbersText(type, value, key));
    }
    if (result != 0)
        throw RewriteFailure{QStringLiteral("%1 cannot hold \"%2\"").arg(QString::fromStdString(key), value.toString())};
    return stored;
}

// Applies the differences between the image's own dictionary and the wanted
// one to the image's metadata, remembering which tags it wrote.
class MetadataChanges {
public:
    MetadataChanges(Exiv2::Image& image, const QVariantMap& original)
        : m_image(image)
        , m_original(original)
    {
    }

    void apply(const QVariantMap& wanted)
    {
        applyDictionary(tiffGroup, ImageProperties::tiffDictionaryKey, wanted);
        applyDictionary(exifGroup, ImageProperties::exifDictionaryKey, wanted);
        // The top-level orientation wins over the one in the TIFF dictionary.
        if (isChanged(m_original, wanted, ImageProperties::orientationKey))
            change(orientationTag, wanted.value(ImageProperties::orientationKey));
    }

    const std::vector<std::string>& writtenTags() const { return m_written; }

private:
    static bool isChanged(const QVariantMap& original, const QVariantMap& wanted, const QString& key)
    {
        return wanted.contains(key) && !(original.contains(key) && original.value(key) == wanted.value(key));
    }

    void applyDictionary(const std::string& group, const QString& dictionaryKey, const QVariantMap& wanted)
    {
        const QVariantMap original = m_original.value(dictionaryKey).toMap();
        const QVariantMap dictionary = wanted.value(dictionaryKey).toMap();
        for (auto entry = dictionary.constBegin(); entry != dictionary.constEnd(); ++entry) {
            if (isChanged(original, dictionary, entry.key()))
                change("Exif." + group + '.' + entry.key().toStdString(), entry.value());
        }
    }

    void change(const std::string& key, const QVariant& value)
    {
        const Exiv2::ExifKey exifKey(key); // throws for a tag name exiv2 does not know
        if (isDirectoryPointer(exifKey.tagName()))
            throw RewriteFailure{QStringLiteral("%1 is not a tag to write").arg(QString::fromStdString(key))};
        Exiv2::ExifData& exif = m_image.exifData();
        const auto found = exif.findKey(exifKey);
        if (value.isNull()) {
            if (found != exif.end())
                exif.erase(found);
        } else {
            const Exiv2::Value::AutoPtr stored = valueOfType(storageType(exifKey, found), value, key);
            if (found != exif.end())
                found->setValue(stored.get());
            else
                exif.add(exifKey, stored.get());
            m_written.push_back(key);
        }
        if (key == orientationTag)
            changeXmpOrientation(value);
    }

    // A tag keeps the type it has in the file; a comment is always written as one.
    Exiv2::TypeId storageType(const Exiv2::ExifKey& key, Exiv2::ExifData::const_iterator found) const
    {
        if (found == m_image.exifData().end() || isCommentTag(key) || found->typeId() == Exiv2::invalidTypeId)
            return key.defaultTypeId();
        return found->typeId();
    }

    // An orientation the XMP packet also states must agree with the EXIF one.
    void changeXmpOrientation(const QVariant& value)
    {
        Exiv2::XmpData& xmp = m_image.xmpData();
        const auto found = xmp.findKey(Exiv2::XmpKey(xmpOrientationTag));
        if (found == xmp.end())
            return;
        if (value.isNull())
            xmp.erase(found);
        else
            found->setValue(std::to_string(value.toLongLong()));
    }

    Exiv2::Image& m_image;
    const QVariantMap& m_original;
    std::vector<std::string> m_written;
};

// exiv2 leaves out tags that do not fit the format's metadata block (a JPEG's
// 64 KB EXIF segment) without saying so: every written tag must be there.
void verifyWrittenTags(const QByteArray& rewritten, const std::vector<std::string>& written)
{
    const Exiv2::Image::AutoPtr image = openImage(rewritten);
    const Exiv2::ExifData& exif = image->exifData();
    for (const std::string& key : written) {
        if (exif.findKey(Exiv2::ExifKey(key)) == exif.end())
            throw RewriteFailure{QStringLiteral("%1 does not fit into the file's metadata").arg(QString::fromStdString(key))};
    }
}

Error metadataError(const QString& reason) { return Error{Error::CocoaDomain, 0, reason}; }

} // namespace

ImageProperties::ExifAccess ImageProperties::exifAccess(const QByteArray& imageData)
{
    try {
        initialiseExiv2Once();
        const int type = Exiv2::ImageFactory::getType(reinterpret_cast<const Exiv2::byte*>(imageData.constData()),
                                                      static_cast<long>(imageData.size()));
        if (type == Exiv2::ImageType::none)
            return ExifAccess::none;
        const Exiv2::AccessMode mode = Exiv2::ImageFactory::checkMode(type, Exiv2::mdExif);
        return (mode & Exiv2::amWrite) ? ExifAccess::readWrite : (mode & Exiv2::amRead) ? ExifAccess::read : ExifAccess::none;
    } catch (const std::exception&) {
        return ExifAccess::none;
    }
}

std::optional<QVariantMap> ImageProperties::read(const QByteArray& imageData, Error* error)
{
    try {
        return propertiesOf(*openImage(imageData));
    } catch (const std::exception& failure) {
        setError(error, metadataError(QString::fromUtf8(failure.what())));
    }
    return std::nullopt;
}

std::optional<QByteArray> ImageProperties::rewrite(const QByteArray& imageData, const QVariantMap& properties, Error* error)
{
    try {
        const Exiv2::Image::AutoPtr image = openImage(imageData);
        const QVariantMap original = propertiesOf(*image);
        MetadataChanges changes(*image, original);
        changes.apply(properties);
        image->writeMetadata();
        const QByteArray rewritten = contentsOf(image->io());
        verifyWrittenTags(rewritten, changes.writtenTags());
        return rewritten;
    } catch (const RewriteFailure& failure) {
        setError(error, metadataError(failure.reason));
    } catch (const std::exception& failure) {
        setError(error, metadataError(QString::fromUtf8(failure.what())));
    }
    return std::nullopt;
}

// Stamp texts and filling a template from the job of its package.
#include "template/KOVA_Template.h"

#include "core/foundation/ZORVAK_NSDateAdditions.h"
#include "platform/dispatch/WallClock.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "template/KOVA_EditableText.h"
#include "template/KOVA_TemplatePackage.h"
#include "template/KOVA_XML_Keys.h"

#include <QFileInfo>
#include <QMap>


namespace {

// ---- Package and job ----

std::shared_ptr<KOVA_TemplatePackage> templatePackage(const KOVA_Template& object)
{
    return std::dynamic_pointer_cast<KOVA_TemplatePackage>(object.package());
}

// The job lookups of one template's package; without a package or a job every
// lookup gives none.
class JobLookup {
public:
    explicit JobLookup(std::shared_ptr<KOVA_TemplatePackage> package)
        : m_package(std::move(package))
        , m_job(m_package ? m_package->job() : nullptr)
    {
    }

    // Replacement values are found by the package's product code, else its name.
    QVariant value(const QString& key) const
    {
        if (!m_job)
            return {};
        const QString code = m_package->pluCode();
        return m_job->valueForKey(key, code.isEmpty() ? m_package->packageName() : code);
    }
    QVariant templateName(const QString& key) const
    {
        return m_job ? m_job->templateForKey(key, m_package->packageName()) : QVariant();
    }
    QVariant cropRect(const QString& key) const
    {
        return m_job ? m_job->cropRectForKey(key, m_package->packageName()) : QVariant();
    }
    QVariant rotation(const QString& key) const
    {
        return m_job ? m_job->rotationForKey(key, m_package->packageName()) : QVariant();
    }
    QUrl jobContainer() const { return m_package ? m_package->urlJobContainer() : QUrl(); }

private:
    std::shared_ptr<KOVA_TemplatePackage> m_package;
    std::shared_ptr<KOVA_TemplateJob> m_job;
};

// ---- Stamps ----

bool sameKey(const QString& key, const QString& name)
{
    return key.compare(name, Qt::CaseInsensitive) == 0;
}

QString withoutExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

// The file name of the picture the job is about: the custom image, else the job's
// picture; none when there is neither.
std::optional<QString> stampFileName(const KOVA_Template& layer)
{
    QString path = layer.filepathCustomImage();
    if (path.isEmpty()) {
        const auto package = templatePackage(layer);
        const auto job = package ? package->job() : nullptr;
        path = job ? job->graphicPath() : QString();
    }
    if (path.isEmpty())
        return std::nullopt;
    return QFileInfo(path).fileName();
}

// One "_"-separated part of the file name without extension, picked by the letter that
// follows the lower-case prefix in the key ("a" the first to "e" the fifth); the empty
// text for any other key or a part the name does not have.
QString fileNamePart(const QString& key, const std::optional<QString>& fileName)
{
    static const QString partLetters = QStringLiteral("abcde");
    const QString letter = QString(key).remove(KOVA_XML_Key_customFilenamePart).toLower();
    const qsizetype index = letter.size() == 1 ? partLetters.indexOf(letter) : -1;
    const QStringList parts = withoutExtension(fileName.value_or(QString())).split(QLatin1Char('_'));
    return index >= 0 && index < parts.size() ? parts.at(index) : QString(QLatin1String(""));
}

// The current date in the pattern the format name selects; any other text is shown as
// it stands, and no text shows nothing.
std::optional<QString> dateStamp(const QString& formatName)
{
    if (formatName.isNull())
        return std::nullopt;
    static const QMap<QString, QString> patterns{
        {KOVA_XML_Key_oldKOVA_dateShort, KOVA_XML_Key_oldKOVA_dateFormatShort},
        {KOVA_XML_Key_oldKOVA_dateLong, KOVA_XML_Key_oldKOVA_dateFormatLong},
        {KOVA_XML_Key_oldKOVA_dateAbrev, KOVA_XML_Key_oldKOVA_dateFormatAbrev},
    };
    const auto pattern = patterns.constFind(formatName);
    if (pattern == patterns.cend())
        return formatName;
    return ZORVAK_NSDateAdditions::stringWithUTSFormat(platform::WallClock::now(), *pattern);
}

// The editable text numbered by the layer's stamp value, else the one under the older
// key "text <number>".
std::optional<QString> editableTextStamp(const KOVA_Template& layer)
{
    const QString number = layer.value(KOVA_XML_Key_stamp).toString();
    if (auto text = KOVA_EditableText::editableTextForKey(number))
        return text;
    return KOVA_EditableText::editableTextForKey(QStringLiteral("text ") + number);
}

QString packageNameStamp(const KOVA_Template& layer, const QString& key)
{
    const auto package = templatePackage(layer);
    const QString name = package ? package->packageName() : QString();
    return name.isEmpty() ? key : name;
}

// The layer's own text, else its key.
std::optional<QString> plainStamp(const QString& text, const QString& key)
{
    if (!text.isNull())
        return text;
    if (!key.isNull())
        return key;
    return std::nullopt;
}

// ---- Filling ----

// A crop rectangle text whose width and height are both not zero.
bool isNonEmptyRect(const QVariant& text)
{
    if (!text.isValid())
        return false;
    const QRectF rect = platform::GeometryText::rectFromString(text.toString());
    return rect.width() != 0 && rect.height() != 0;
}

// The picture a keyed layer shows: the custom image, else the job's value.
QString customImageOr(const KOVA_Template& layer, const QVariant& jobValue)
{
    const QString custom = layer.filepathCustomImage();
    return custom.isEmpty() ? jobValue.toString() : custom;
}

std::optional<QVariantMap> preprocessRecord(const KOVA_Template& object)
{
    const QVariant record = object.value(KOVA_XML_Key_preprocess);
    if (record.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return record.toMap();
}

// Renders the sub-template named for the layer's key, filled with the layer's picture,
// into the layer's file path. A sub-template that does not load (the loader logs it) or
// does not render leaves the layer as it was.
void preRenderSubTemplate(KOVA_Template& layer, const QString& key, const QVariant& jobValue,
                          const QVariant& subTemplateName, const JobLookup& job)
{
    const KOVA_Template::Pointer subTemplate = KOVA_Template::templateWithPath(subTemplateName, job.jobContainer());
    if (!subTemplate)
        return;
    QVariantMap record{{KOVA_XML_Key_filepath, customImageOr(layer, jobValue)}};
    if (const QVariant crop = job.cropRect(key); isNonEmptyRect(crop))
        record.insert(KOVA_XML_Key_croprect, crop.toString());
    if (const QVariant rotation = job.rotation(key); rotation.isValid())
        record.insert(KOVA_XML_Key_rotation, rotation);
    subTemplate->setValue(KOVA_XML_Key_preprocess, record);
    subTemplate->replaceKeyValues();
    const QImage picture = subTemplate->imageUncached();
    if (!picture.isNull())
        layer.setValue(KOVA_XML_Key_filepath, QVariant::fromValue(picture));
}

// Inside a sub-template being pre-rendered: the picture, crop and rotation it was made for.
void applyPreprocessRecord(KOVA_Template& layer, const QVariantMap& record)
{
    layer.setGraphicPath(record.value(KOVA_XML_Key_filepath).toString());
    layer.setValue(KOVA_XML_Key_croprect, record.value(KOVA_XML_Key_croprect));
    layer.setAutorotate(false);
    const QVariant rotation = record.value(KOVA_XML_Key_rotation);
    layer.setRotation(rotation.isValid() ? std::optional(platform::StringValues::doubleValue(rotation)) : std::nullopt);
}

void fillPictureLayer(KOVA_Template& layer, const QString& key, const QVariant& jobValue, const JobLookup& job,
                      const std::optional<QVariantMap>& record)
{
    if (jobValue.isValid()) {
        const QVariant subTemplateName = job.templateName(key);
        if (!subTemplateName.toString().isEmpty()) {
            preRenderSubTemplate(layer, key, jobValue, subTemplateName, job);
            return;
        }
    }
    if (record) {
        applyPreprocessRecord(layer, *record);
        return;
    }
    if (jobValue.isValid())
        layer.setGraphicPath(customImageOr(layer, jobValue));
    if (const QVariant crop = job.cropRect(key); isNonEmptyRect(crop))
        layer.setValue(KOVA_XML_Key_croprect, crop.toString());
}

} // namespace

// ---- Stamps ----

std::optional<QString> KOVA_Template::stampValue() const
{
    const QString stampKey = key();
    if (sameKey(stampKey, KOVA_XML_Key_filename)) {
        const auto fileName = stampFileName(*this);
        return fileName && hideExtension() ? withoutExtension(*fileName) : fileName;
    }
    if (stampKey.toLower().startsWith(KOVA_XML_Key_customFilenamePart))
        return fileNamePart(stampKey, stampFileName(*this));
    if (sameKey(stampKey, KOVA_XML_Key_date))
        return dateStamp(stringValue());
    if (sameKey(stampKey, KOVA_XML_Key_time))
        return ZORVAK_NSDateAdditions::stringWithUTSFormat(platform::WallClock::now(),
                                                           KOVA_XML_Key_oldKOVA_timeFormatLong);
    if (sameKey(stampKey, KOVA_XML_Key_layerTypeEditText))
        return editableTextStamp(*this);
    if (sameKey(stampKey, QStringLiteral("packagename")))
        return packageNameStamp(*this, stampKey);
    return plainStamp(stringValue(), stampKey);
}

// ---- Filling from a job ----

void KOVA_Template::replaceKeyValues()
{
    const JobLookup job(templatePackage(*this));
    const std::optional<QVariantMap> record = preprocessRecord(*this);
    for (const Pointer& layer : layers()) {
        if (layer->isTypeContainer()) {
            layer->setPackage(package());
            const QString customImage = filepathCustomImage();
            layer->setFilepathCustomImage(customImage.isNull() ? QVariant() : QVariant(customImage));
            layer->replaceKeyValues();
            continue;
        }
        const QString layerKey = layer->key();
        if (layerKey.isEmpty())
            continue;
        const QVariant jobValue = job.value(layerKey);
        const unsigned type = layer->layerType();
        if (type == layerTypeImage || type == layerTypeGraphic)
            fillPictureLayer(*layer, layerKey, jobValue, job, record);
        else if (type == layerTypeTextbox && jobValue.isValid())
            layer->setStringValue(jobValue.toString());
    }
}

void KOVA_Template::replaceImages(const QList<QUrl>& images, const QStringList& andCropRects)
{
    setFilepathCustomImage(images.isEmpty() ? QVariant() : QVariant(images.first().path()));
    const QVariant crop = andCropRects.isEmpty() ? QVariant() : QVariant(andCropRects.first());
    for (const Pointer& layer : layers()) {
        if (layer->isTypeContainer()) {
            layer->replaceImages(images, andCropRects);
        } else if (layer->layerType() == layerTypeImage) {
            layer->setAutorotate(false);
            layer->setGraphicPath(filepathCustomImage());
            layer->setValue(KOVA_XML_Key_croprect, crop);
        }
    }
    replaceKeyValues();
}

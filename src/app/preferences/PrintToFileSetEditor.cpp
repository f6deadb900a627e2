#include "app/preferences/PrintToFileSetEditor.h"

#include "core/foundation/ZORVAK_ByteCountTransformer.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/folders/KOVA_WebUploadFolder.h"
#include "workflow/folders/ZORVAK_UTTypeToPathExtension.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVariantList>

namespace {
QStringList shownFileFormats()
{
    QStringList shown;
    for (const QString& type : KOVA_PrintToFileSet::fileFormats())
        shown.append(ZORVAK_UTTypeToPathExtension::transformedValue(type).toString());
    return shown;
}

QStringList shownUploadFolders()
{
    return KOVA_PrintToFileSet::uploadFolders();
}

QWidget* row(QWidget* parent, QWidget* first, QWidget* second)
{
    auto* both = new QWidget(parent);
    auto* layout = new QHBoxLayout(both);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(first);
    layout->addWidget(second, 1);
    return both;
}
} // namespace

PrintToFileSetEditor::PrintToFileSetEditor(QWidget* parent) : QWidget(parent)
{
    m_fileFormat = makeComboBox("fileFormat", shownFileFormats());
    m_nameFormat = makeComboBox("nameFormat", KOVA_PrintToFileSet::nameFormats());
    m_overwriteExisting = makeCheckBox("overwriteExisting", QStringLiteral("Overwrite existing files"));
    m_normalizeOrientation = makeCheckBox("normalizeOrientation", QStringLiteral("Normalize orientation"));
    m_normalizeOrientation->setToolTip(KOVA_PrintToFileSet::toolTipNormalizeOrientation());
    m_uploadFolder = makeComboBox("uploadFolder", shownUploadFolders());
    m_hasMaxPixels = makeCheckBox("webUploadHasMaxPixels", QStringLiteral("Longest side at most (pixels):"));
    m_maxPixels = makeLineEdit("webUploadMaxPixels");
    m_hasMaxBytes = makeCheckBox("webUploadHasMaxBytes", QStringLiteral("File size at most:"));
    m_maxBytes = makeLineEdit("webUploadMaxBytes");

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("File type:"), m_fileFormat);
    form->addRow(QStringLiteral("File name:"), m_nameFormat);
    form->addRow(row(this, m_overwriteExisting, m_normalizeOrientation));
    form->addRow(QStringLiteral("Upload to:"), m_uploadFolder);
    form->addRow(row(this, m_hasMaxPixels, m_maxPixels));
    form->addRow(row(this, m_hasMaxBytes, m_maxBytes));
    connectEditors();
    showFolderSet();
}

QComboBox* PrintToFileSetEditor::makeComboBox(const char* name, const QStringList& entries)
{
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(entries);
    return box;
}

QCheckBox* PrintToFileSetEditor::makeCheckBox(const char* name, const QString& title)
{
    auto* box = new QCheckBox(title, this);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLineEdit* PrintToFileSetEditor::makeLineEdit(const char* name)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

void PrintToFileSetEditor::connectEditors()
{
    // Only the operator's edits are stored: showing a set changes nothing.
    connect(m_fileFormat, &QComboBox::activated, this,
            [this](int index) { m_folderSet->setFileFormat(KOVA_PrintToFileSet::fileFormats().value(index)); });
    connect(m_nameFormat, &QComboBox::activated, this,
            [this](int index) { m_folderSet->setNameFormat(KOVA_PrintToFileSet::nameFormats().value(index)); });
    connect(m_uploadFolder, &QComboBox::activated, this, [this](int index) {
        const QVariant folder = KOVA_WebUploadFolder::reverseTransformedValue(shownUploadFolders().value(index));
        m_folderSet->setUploadFolder(folder.isValid() ? std::optional<QString>(folder.toString()) : std::nullopt);
    });
    connect(m_overwriteExisting, &QCheckBox::clicked, this, [this](bool on) { m_folderSet->setOverwriteExisting(on); });
    connect(m_normalizeOrientation, &QCheckBox::clicked, this,
            [this](bool on) { m_folderSet->setNormalizeOrientation(on); });
    connect(m_hasMaxPixels, &QCheckBox::clicked, this, [this](bool on) { m_folderSet->setWebUploadHasMaxPixels(on); });
    connect(m_hasMaxBytes, &QCheckBox::clicked, this, [this](bool on) { m_folderSet->setWebUploadHasMaxBytes(on); });
    connect(m_maxPixels, &QLineEdit::editingFinished, this, &PrintToFileSetEditor::storeMaxPixels);
    connect(m_maxBytes, &QLineEdit::editingFinished, this, &PrintToFileSetEditor::storeMaxBytes);
}

void PrintToFileSetEditor::setFolderSet(const std::shared_ptr<KOVA_PrintToFileSet>& folderSet)
{
    m_folderSet = folderSet;
    showFolderSet();
}

void PrintToFileSetEditor::showFolderSet()
{
    setEnabled(m_folderSet != nullptr);
    if (!m_folderSet)
        return;
    m_fileFormat->setCurrentIndex(int(KOVA_PrintToFileSet::fileFormats().indexOf(m_folderSet->fileFormat())));
    m_nameFormat->setCurrentIndex(int(KOVA_PrintToFileSet::nameFormats().indexOf(m_folderSet->nameFormat())));
    const std::optional<QString> upload = m_folderSet->uploadFolder();
    // A folder that is not among the choices shows none rather than the last set's.
    m_uploadFolder->setCurrentIndex(
        m_uploadFolder->findText(KOVA_WebUploadFolder::transformedValue(upload ? QVariant(*upload) : QVariant()).toString()));
    m_overwriteExisting->setChecked(m_folderSet->overwriteExisting());
    m_normalizeOrientation->setChecked(m_folderSet->normalizeOrientation());
    m_hasMaxPixels->setChecked(m_folderSet->webUploadHasMaxPixels());
    const std::optional<qint64> maxPixels = m_folderSet->webUploadMaxPixels();
    m_maxPixels->setText(maxPixels ? QString::number(*maxPixels) : QString());
    m_hasMaxBytes->setChecked(m_folderSet->webUploadHasMaxBytes());
    const std::optional<qint64> maxBytes = m_folderSet->webUploadMaxBytes();
    m_maxBytes->setText(maxBytes ? ZORVAK_ByteCountTransformer::transformedValue(*maxBytes).toString() : QString());
}

void PrintToFileSetEditor::storeMaxPixels()
{
    if (!m_folderSet)
        return;
    bool isNumber = false;
    const qint64 pixels = m_maxPixels->text().trimmed().toLongLong(&isNumber);
    m_folderSet->setWebUploadMaxPixels(isNumber && pixels > 0 ? std::optional<qint64>(pixels) : std::nullopt);
    showFolderSet();
}

void PrintToFileSetEditor::storeMaxBytes()
{
    if (!m_folderSet)
        return;
    const QString typed = m_maxBytes->text().trimmed();
    m_folderSet->setWebUploadMaxBytes(
        typed.isEmpty() ? std::nullopt
                        : std::optional<qint64>(ZORVAK_ByteCountTransformer::reverseTransformedValue(typed).toLongLong()));
    showFolderSet();
}

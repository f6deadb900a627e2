#include "TemplateLoadingCheck.h"

#include "template/KOVA_TemplateReader.h"
#include "template/KOVA_TemplateWriter.h"

#include <QDir>
#include <QFile>
#include <QVariant>

#include <optional>

namespace {

const QByteArray NodeFile = "<data><node name=\"n\" size=\"{40, 30}\"><layer type=\"textbox\" zindex=\"1\" "
                            "frame=\"{{0, 0}, {40, 30}}\"><string>n</string></layer></node></data>";

} // namespace

TemplateLoadingCheck::TemplateLoadingCheck(const QString& folder)
    : m_jobContainer(QUrl::fromLocalFile(folder + QStringLiteral("/job")))
    , m_savedFile(QUrl::fromLocalFile(folder + QStringLiteral("/saved/template.xml")))
{
    QFile node(folder + QStringLiteral("/job/Nodes/node.xml"));
    m_ready = QDir().mkpath(folder + QStringLiteral("/job/Nodes")) && QDir().mkpath(folder + QStringLiteral("/saved"))
        && node.open(QIODevice::WriteOnly) && node.write(NodeFile) == NodeFile.size();
}

QString TemplateLoadingCheck::faultFor(const QByteArray& bytes) const
{
    const KOVA_Template::Pointer loaded = templateFromBytes(bytes);
    if (!loaded)
        return {};
    const KOVA_Template::Pointer copied = loaded->copy();
    if (!copied || !copied->isEqual(loaded.get()))
        return QStringLiteral("the copy of a loaded template differs from it");
    return loaded->layers().isEmpty() ? QString() : roundTripFault(*loaded);
}

KOVA_Template::Pointer TemplateLoadingCheck::templateFromBytes(const QByteArray& bytes) const
{
    const auto document = KOVA_XML_object::initWithObject<KOVA_Template>(QVariant(bytes));
    return document ? KOVA_TemplateReader::templateFromDocument(document, m_jobContainer) : nullptr;
}

// The file form keeps less than a template holds (unwritten keys, frames without a
// size), so the first save may lose something; from then on saving and reading must
// change nothing.
QString TemplateLoadingCheck::roundTripFault(KOVA_Template& loaded) const
{
    bool written = false;
    loaded.saveChangesToURL(m_savedFile, [&written](const QUrl& url, const std::optional<platform::Error>& error) {
        written = !url.isEmpty() && !error;
    });
    if (!written)
        return QStringLiteral("a loaded template could not be saved");
    const KOVA_Template::Pointer reread = KOVA_TemplateReader::templateWithPath(m_savedFile, false, m_jobContainer);
    if (!reread)
        return QStringLiteral("a saved template could not be read back");
    const QByteArray saved = KOVA_TemplateWriter::documentData(*reread);
    const KOVA_Template::Pointer again = templateFromBytes(saved);
    const QByteArray savedAgain = again ? KOVA_TemplateWriter::documentData(*again) : QByteArray();
    if (savedAgain != saved)
        return QStringLiteral("a saved template changes at its next save and read:\n%1\nbecomes\n%2")
            .arg(QString::fromUtf8(saved), QString::fromUtf8(savedAgain));
    return {};
}

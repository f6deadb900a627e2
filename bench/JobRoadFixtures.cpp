#include "JobRoadFixtures.h"

#include "core/codes/ZORVAK_QRCodeGenerator.h"

#include <QFile>

#include <fstream>

namespace JobRoadFixtures {

namespace {

QString printTemplate(int index, const QString& qrCode)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<data type="KOVA_Template" version="1.0">
    <layout size="{1200, 1800}" name="print%1">
        <backgroundEnabled>yes</backgroundEnabled>
        <layer type="image" frame="{{60, 60}, {1080, 1400}}" zindex="100">
            <key>image%1</key>
            <gravity>resizeAspectFill</gravity>
        </layer>
        <layer type="textbox" frame="{{60, 1500}, {800, 240}}" zindex="200">
            <key>caption</key>
            <string>Caption</string>
            <font size="64">Helvetica</font>
            <color>#203040</color>
        </layer>
        <layer type="graphic" frame="{{900, 1500}, {240, 240}}" zindex="300">
            <filepath>%2</filepath>
            <gravity>resizeAspect</gravity>
        </layer>
    </layout>
</data>
)")
        .arg(index)
        .arg(qrCode);
}

} // namespace

bool writePrintPackage(const QString& templatesFolder, const QString& packagePath, const QString& pluCode, int outputCount,
                       const QString& destination)
{
    const QString qrCode = templatesFolder + QStringLiteral("/order-code.png");
    if (!ZORVAK_2dCodeGenerator::createImageWithMessage(ZORVAK_QRCodeGenerator::make, QStringLiteral("https://example.org/order/1001"))
             .save(qrCode))
        return false;
    QString templates;
    QString outputs;
    for (int index = 1; index <= outputCount; ++index) {
        const QString templatePath = templatesFolder + QStringLiteral("/print%1.xml").arg(index);
        if (!writeFile(templatePath, printTemplate(index, qrCode).toUtf8()))
            return false;
        templates += QStringLiteral("<template name=\"print%1\"><filepath>%2</filepath></template>").arg(index).arg(templatePath);
        outputs += QStringLiteral("<output size=\"{1200, 1800}\"><print%1 type=\"node\"/>%2</output>").arg(index).arg(destination);
    }
    return writeFile(packagePath, QStringLiteral("<package type=\"KOVA_Package\" version=\"1.0\" plucode=\"%1\">%2%3</package>")
                                      .arg(pluCode, templates, outputs)
                                      .toUtf8());
}

QString photoValues(const QStringList& photos)
{
    QString values;
    for (int index = 1; index <= photos.size(); ++index)
        values += QStringLiteral("<image%1>%2</image%1>").arg(index).arg(photos.at(index - 1));
    return values;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double residentMegabytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
    return 0;
}

void resetPeakResidentMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace JobRoadFixtures

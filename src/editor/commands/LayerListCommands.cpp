#include "editor/commands/LayerListCommands.h"

#include "platform/Log.h"
#include "platform/files/UTType.h"

#include <QMimeData>
#include <QTextDocumentFragment>

LayerListCommands::LayerListCommands(KOVA_TemplateEditorEdits& edits, std::function<void()> layersDidChange)
    : m_edits(edits)
    , m_layersDidChange(std::move(layersDidChange))
{
}

void LayerListCommands::addLayerOfType(unsigned layerType)
{
    if (m_edits.templateObject())
        m_edits.registerUndoAddLayerOfType(layerType, selectingLastLayer());
}

void LayerListCommands::deleteSelectedLayers()
{
    const Pointer templateObject = m_edits.templateObject();
    const List selected = templateObject ? templateObject->layersSelected() : List();
    if (!selected.isEmpty())
        m_edits.registerUndoDeleteLayers(selected, selectingLastLayer());
}

bool LayerListCommands::paste(const QMimeData* data)
{
    platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor paste:]"));
    if (!data || !m_edits.templateObject())
        return false;
    if (const Pointer layer = layerReadFrom(*data)) {
        platform::Log::log(QStringLiteral("pasted %1").arg(layer->description()));
        m_edits.registerUndoAddTemplateLayer(layer, selectingLastLayer());
        return true;
    }
    if (data->hasHtml()) {
        const QTextDocumentFragment fragment = QTextDocumentFragment::fromHtml(data->html());
        if (!fragment.toPlainText().isEmpty()) {
            m_edits.registerUndoAddLayerOfType(KOVA_Template::layerTypeTextbox, QVariant::fromValue(fragment),
                                               selectingLastLayer());
            return true;
        }
    }
    if (data->hasText() && !data->text().isEmpty()) {
        m_edits.registerUndoAddLayerOfType(KOVA_Template::layerTypeTextbox, data->text(), selectingLastLayer());
        return true;
    }
    platform::Log::log(QStringLiteral("nothing to paste in %1").arg(data->formats().join(QStringLiteral(", "))));
    return false;
}

void LayerListCommands::selectAll()
{
    const Pointer templateObject = m_edits.templateObject();
    const List layers = templateObject ? templateObject->layers() : List();
    if (!layers.isEmpty())
        m_edits.registerUndoSelectLayers(layers, true, {}, [](const List&) {});
}

void LayerListCommands::restack(const List& layers, const QStringList& zLevels)
{
    m_edits.registerUndoLayers(layers, zLevels, [layersDidChange = m_layersDidChange] { layersDidChange(); });
}

KOVA_TemplateEditorEdits::LayersCompletion LayerListCommands::selectingLastLayer() const
{
    return [layersDidChange = m_layersDidChange, templateObject = m_edits.templateObject()](const List& layers) {
        layersDidChange();
        if (templateObject)
            templateObject->selectLayer(layers.isEmpty() ? nullptr : layers.last(), false);
    };
}

// The first type the template reads from the data, read as a layer when usable.
LayerListCommands::Pointer LayerListCommands::layerReadFrom(const QMimeData& data)
{
    const QStringList types = KOVA_Template::readableTypesForPasteboard(data);
    if (types.isEmpty())
        return nullptr;
    const QString type = types.first();
    for (const QString& format : data.formats()) {
        const QString formatType =
            format.contains(QLatin1Char('/')) ? platform::UTType::typeForMIMEType(format) : format;
        if (formatType.compare(type, Qt::CaseInsensitive) != 0)
            continue;
        const Pointer layer = KOVA_Template::initWithPasteboardPropertyList(data.data(format), type);
        return layer && isUsable(*layer) ? layer : nullptr;
    }
    return nullptr;
}

bool LayerListCommands::isUsable(const KOVA_Template& layer)
{
    if (layer.layerType() == KOVA_Template::layerTypeNone)
        return false;
    return !layer.isTextboxType() || !layer.stringValue().isEmpty();
}

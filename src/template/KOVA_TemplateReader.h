#pragma once

#include "template/KOVA_Template.h"

#include <QStringList>
#include <QUrl>
#include <QVariant>

namespace platform {
class XmlNode;
}

// Turns template and node files, and XML elements found in other files, into template
// trees. A file is found by a fixed search order; its root's container element becomes
// the template, each "layer" element a layer, and a layer of type "node" is replaced by
// the node file it names.
//
// Files are untrusted: whatever they hold, reading ends. A node file that includes
// itself (directly or through others) is refused, node files nest at most
// MaximumNodeDepth deep, and one load reads at most MaximumNodeFiles of them. Each call
// tracks its own files, so loads may run on any number of threads at once.
class KOVA_TemplateReader {
public:
    static constexpr int MaximumNodeDepth = 16;
    static constexpr int MaximumNodeFiles = 1024;

    // The template (or node) file found for `path` (a text path or a file URL), tried in
    // this order:
    //  1. the path as given;
    //  2. a text path standardized ("~" expanded, "." and ".." removed);
    //  3. with a job container: the path inside its "Nodes" (node) or "Templates"
    //     (template) folder, then inside the container itself; names inside the
    //     container are matched without regard to case;
    //  4. the path inside the configured nodes or templates folder.
    // Inside a folder a relative path (a bare name included) is looked up as it stands
    // below the folder; an absolute path by its file name alone, so a template naming
    // files on another machine still finds them where this one keeps them.
    // Null, with one log line, when no candidate reads.
    static KOVA_Template::Pointer templateWithPath(const QVariant& path, bool isNode, const QUrl& jobContainer);

    // The template read from a document already constructed (its parse, its URL): the
    // last container element of the root, carrying the root's version, the document's
    // URL and a lastSaved copy; the bare document when there is no container.
    static KOVA_Template::Pointer templateFromDocument(const KOVA_Template::Pointer& document,
                                                       const QUrl& jobContainer);

    // The object built from one XML node: a container, a canvas, a layer (for a
    // node-type layer the node file it names, when that loads) or an unknown element.
    static KOVA_Template::Pointer initWithNode(const platform::XmlNode& node, const QUrl& jobContainer);

    // Stores the templates folder and, going up from its parent, the first "Nodes"
    // folder found beside it.
    static void setCurrentTemplatesFolder(const QUrl& folder);
    static QUrl currentTemplatesFolder();

private:
    class Loading;

    static KOVA_Template::Pointer templateWithPath(const QVariant& path, bool isNode, const QUrl& jobContainer,
                                                   Loading& loading);
    static KOVA_Template::Pointer readDocument(const KOVA_Template::Pointer& document, const QUrl& jobContainer,
                                               Loading& loading);
    static KOVA_Template::Pointer buildFromNode(const platform::XmlNode& node, const QUrl& jobContainer,
                                                Loading& loading);
    static KOVA_Template::Pointer findDocument(const QVariant& path, bool isNode, const QUrl& jobContainer);
    static QList<QUrl> candidateURLs(const QVariant& path, bool isNode, const QUrl& jobContainer);

    static void readContainer(KOVA_Template& container, const platform::XmlNode& element, const QUrl& jobContainer,
                              Loading& loading);
    static void readContainerChild(KOVA_Template& container, const platform::XmlNode& child,
                                   const QUrl& jobContainer, Loading& loading);
    static void readCanvas(KOVA_Template& canvas, const platform::XmlNode& element);
    static KOVA_Template::Pointer readLayer(const platform::XmlNode& element, const QUrl& jobContainer,
                                            Loading& loading);
    static KOVA_Template::Pointer substitutedNode(const KOVA_Template::Pointer& layer, const QUrl& jobContainer,
                                                  Loading& loading);
};

#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// The editor's save panel: a window-modal file dialog opened with open(), so that the
// event loop runs on. The reply gets the chosen file, or an empty URL when cancelled.
class SavePanel {
public:
    struct Options {
        QString title;
        QString folder;
        // Added to a name typed without it.
        QString defaultSuffix;
        // "XML template (*.xml)".
        QString nameFilter;
    };
    using Reply = std::function<void(const QUrl& chosen)>;

    static inline const QString objectName = QStringLiteral("kovaSavePanel");

    static void open(QWidget* window, const Options& options, Reply reply);
};

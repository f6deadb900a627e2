#pragma once

#include <QVariantMap>

#include <functional>

class QFileDialog;
class QMessageBox;
class QWidget;

// Open and alert panels configured from option dictionaries. Both operations
// return at once; the panel is built and shown on the main queue, as a sheet
// (window-modal) on a window when there is one and free-standing (application-
// modal) otherwise, and the reply is called on the main queue when it closes.
// The panel is deleted after the reply returns.
class ZORVAK_NSObjectOpenSave {
public:
    using OpenPanelReply = std::function<void(QFileDialog* panel, int response)>;
    using AlertReply = std::function<void(QMessageBox* alert, int response)>;

    // The answer of an open panel whose choice was taken; 0 when cancelled.
    static constexpr int kResponseOK = 1;
    // The answer of the first button an alert adds without a number of its own;
    // the next ones count on from it.
    static constexpr int kFirstButtonReturn = 1000;

    // Options, each applied when present: "title", "message" (texts),
    // "canChooseFiles", "canChooseDirectories", "canCreateDirectories",
    // "allowsMultipleSelection" (booleans; by default files and folders can be
    // chosen, folders made, one item at a time), "allowedFileTypes" (a list of
    // type identifiers or extensions; anything else leaves the types open),
    // "directoryURL" (a URL), "window" (a QWidget window). Without a window in
    // the options the receiver's window is used. A window that already shows a
    // sheet gets a free-standing panel instead. The panel's selectedUrls() hold
    // the choice.
    static void openPanelWithOptions(const QVariantMap& options, OpenPanelReply reply, QWidget* receiver = nullptr);

    // Options: "messageText", "informativeText" (texts), "alertStyle" (0 warning,
    // 1 informational, 2 critical), "buttons" (title -> answer number; added in
    // the order of their numbers), "buttonTitles" (a list of titles added after
    // them, answering kFirstButtonReturn plus their position), "window". Without
    // buttons the alert has an "OK" button. The first button is the default one.
    // The reply gets the chosen button's answer (0 when closed without one).
    static void alertPanelWithOptions(const QVariantMap& options, AlertReply reply = {}, QWidget* receiver = nullptr);
};

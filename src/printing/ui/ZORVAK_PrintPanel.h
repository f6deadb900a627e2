#pragma once

#include "printing/ui/ZORVAK_PrintPageWindow.h"

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPropertyAnimation;
class ZORVAK_PrintPage;

namespace platform {
class KeyValueObserver;
}

// A small window that shows one print page, lets the user choose the colour
// profile the page is rendered into, and prints or cancels. It appears centred
// and fades in as soon as it is made. Either end calls the completion block once
// (true when the page went to its printer) when its animation's time has passed
// on the dispatch clock, and closes the window; once either has begun, the other
// does nothing.
class ZORVAK_PrintPanel : public ZORVAK_PrintPageWindow {
    Q_OBJECT
public:
    using CompletionBlock = std::function<void(bool printed)>;
    // The chosen files; empty when the chooser was cancelled.
    using ChooserReply = std::function<void(const QList<QUrl>& urls)>;

    static constexpr int printAnimationMilliseconds = 550;
    static constexpr int cancelFadeMilliseconds = 230;
    static constexpr int fadeInMilliseconds = 230;

    explicit ZORVAK_PrintPanel(std::shared_ptr<ZORVAK_PrintPage> page = nullptr, QWidget* parent = nullptr);
    ~ZORVAK_PrintPanel() override;

    std::shared_ptr<ZORVAK_PrintPage> page() const { return m_page; }
    void setCompletionBlock(CompletionBlock block) { m_completionBlock = std::move(block); }
    QMenu* colorProfileMenu() const { return m_profileMenu; }

    // The printer's description, or the file name of the page's first image.
    QString title() const;

    void printPage();
    void cancelPrint();
    // Rebuilds the profile menu when the profile list changed, else only its marks.
    void menuNeedsUpdate();
    void setColorProfileFromMenuItem(QAction* item);
    // Asks for a profile file and makes a copy of it the page's profile.
    void setColorProfile();
    // Opens the profile chooser, later on the main queue, when the page renders
    // into its own profile.
    void doCustomColorProfile();
    // Copies the profile into the user's profile folder and makes the copy the
    // page's profile; false (logged) when it could not.
    bool copyAndSetColorProfile(const QUrl& url);

    // Animates a titled control (a button) to the size its title needs.
    void adjustWidth(QWidget* sender);

    // An open panel for one ".icc" or ".icm" file showing `message`, a sheet on
    // `window` when one is given.
    static void openPanelChooseColorProfileInWindow(QWidget* window, const QString& message, ChooserReply reply);

private:
    void awakeFromNib();
    // Runs the closing animation; the completion follows once its time has passed.
    void animateClosing(QPropertyAnimation* animation, bool printed);
    // Shows the page's preview as it is now; a newer one is shown when the page announces it.
    void showPreview();
    void rebuildProfileMenu();
    void updateProfileMarks();
    void finish(bool printed);

    std::shared_ptr<ZORVAK_PrintPage> m_page;
    CompletionBlock m_completionBlock;
    QList<QVariantMap> m_colorProfiles;
    QMenu* m_profileMenu = nullptr;
    QLabel* m_preview = nullptr;
    std::shared_ptr<platform::KeyValueObserver> m_previewObserver;
    QPointer<QPropertyAnimation> m_fadeIn;
    // Set when printing or cancelling begins: the window is on its way out.
    bool m_closing = false;
};

#pragma once

#include "morvik_host_windows_export.h"

#include "FeedbackIntent.h"

#include <QByteArray>
#include <QObject>
#include <QWindow>

#include <cstdint>
#include <memory>
#include <optional>

class FeedbackView;
class QQuickView;
class QWindow;

// The composer's own window, "Send Feedback": 460 x 580, titled and closable, neither resizable nor
// minimisable, centred on the screen. At most one exists at a time; asking again brings it forward.
// Closing it (its close button, or the form's close and Done) hands the focus back to the owner.
//
// Everything here runs on the main thread. The QML engine is started by the first window, not
// before.
class MORVIK_HOST_WINDOWS_EXPORT FeedbackComposerWindow : public QObject {
    Q_OBJECT

public:
    ~FeedbackComposerWindow() override;

    // Opens the composer with that intent and snapshot; while one is open, brings it to the front and
    // makes it the active window instead (the intent and snapshot are then ignored).
    static void present(FeedbackIntent intent, std::optional<QByteArray> screenshot);
    static bool isOpen();
    // A number for the open composer window, new for each window; 0 when none is open.
    static std::uint64_t openSession();
    // Whether that window is the open composer window.
    static bool owns(const QWindow* window);

    // The open composer's window and form, or null (tests and diagnostics).
    static QQuickView* openWindow();
    static FeedbackView* openView();

    QQuickView* window() const { return window_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FeedbackComposerWindow();
    void open(FeedbackIntent intent, std::optional<QByteArray> screenshot);
    void windowWillClose();
    static void bringForward(QQuickView* window);

    // The owner's front window, when there is one: the composer is its dialog (kept above it).
    // Outlives the window that names it.
    std::unique_ptr<QWindow> ownerWindow_;
    std::unique_ptr<FeedbackView> view_;
    std::unique_ptr<QQuickView> window_;
    bool exposed_ = false;
    std::uint64_t session_ = 0;
};

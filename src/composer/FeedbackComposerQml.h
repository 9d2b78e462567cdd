#pragma once

#include "morvik_composer_export.h"

#include <QUrl>

class QQmlEngine;

// Where the composer's layouts come from: the QML files compiled into the library, the C++ types
// they use (module "Morvik.Composer": FeedbackView, FeedbackRewardLine, FeedbackSymbol,
// FeedbackThumbnail, FeedbackBannerView), and the one engine that loads them. Nothing here runs until a view
// is first shown, so an application that never shows one never starts QML.
class MORVIK_COMPOSER_EXPORT FeedbackComposerQml {
public:
    // The engine every composer layout is loaded into, made on first use (main thread). The layouts
    // import the Fusion controls by name, whatever style the application uses elsewhere.
    static QQmlEngine& engine();
    // Destroys the shared engine, for applications (and tests) that tear everything down before they
    // exit. No composer layout may be on screen; a later engine() makes a new one.
    static void shutDown();

    // Registers the module's types; later calls do nothing.
    static void registerTypes();

    // The form and success screen; its root takes the view model as the property "view".
    static QUrl feedbackViewUrl();
    // The reward line; its root takes the model as the property "line".
    static QUrl rewardLineUrl();
    // The offer banner; its root takes the view model as the property "view".
    static QUrl bannerUrl();
};

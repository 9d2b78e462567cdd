#pragma once

#include "morvik_composer_export.h"

#include <QString>
#include <QUrl>

class QQmlEngine;

// Where the composer's layouts come from: the QML module "Morvik.Feedback" compiled into this
// library (the C++ types FeedbackView, FeedbackRewardLineModel, FeedbackBannerView, FeedbackSymbol,
// FeedbackThumbnail and the layouts built from the module's shared pieces), and the one engine that
// loads them. Nothing here runs until a view is first shown, so an application that never shows one
// never starts QML.
class MORVIK_COMPOSER_EXPORT FeedbackComposerQml {
public:
    // The engine every composer layout is loaded into, made on first use (main thread). The layouts
    // import the Fusion controls by name, whatever style the application uses elsewhere.
    static QQmlEngine& engine();
    // Destroys the shared engine, for applications (and tests) that tear everything down before they
    // exit. No composer layout may be on screen; a later engine() makes a new one.
    static void shutDown();

    // The import path under which the module sits in the library's resources.
    static QString moduleImportPath();
    // Lets an application's own engine `import Morvik.Feedback` (the shared engine has it already).
    static void addModuleImportPath(QQmlEngine& engine);

    // The form and success screen; its root takes the view model as the property "view".
    static QUrl composerUrl();
    // The reward line; its root takes the model as the property "line" (or makes its own).
    static QUrl rewardLineUrl();
    // The offer banner; its root takes the view model as the property "view".
    static QUrl bannerUrl();
};

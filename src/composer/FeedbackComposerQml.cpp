#include "FeedbackComposerQml.h"

#include "FeedbackTranslations.h"

#include <QQmlEngine>

#include <utility>

namespace {

// Lives as long as the process unless shut down: windows come and go, the compiled layouts stay.
QQmlEngine* shared = nullptr;

QUrl moduleFile(const char* name) {
    return QUrl(QStringLiteral("qrc:/qt/qml/Morvik/Feedback/") + QLatin1String(name));
}

} // namespace

QQmlEngine& FeedbackComposerQml::engine() {
    if (!shared) {
        shared = new QQmlEngine;
        addModuleImportPath(*shared);
    }
    FeedbackTranslations::install();
    return *shared;
}

void FeedbackComposerQml::shutDown() {
    delete std::exchange(shared, nullptr);
}

QString FeedbackComposerQml::moduleImportPath() {
    // Qt 6.5 and later look here by themselves; 6.4 needs to be told.
    return QStringLiteral("qrc:/qt/qml");
}

void FeedbackComposerQml::addModuleImportPath(QQmlEngine& engine) {
    if (!engine.importPathList().contains(moduleImportPath()))
        engine.addImportPath(moduleImportPath());
    // The module's texts follow the application's locale from the start.
    FeedbackTranslations::install();
}

QUrl FeedbackComposerQml::composerUrl() {
    return moduleFile("FeedbackComposer.qml");
}

QUrl FeedbackComposerQml::rewardLineUrl() {
    return moduleFile("FeedbackRewardLine.qml");
}

QUrl FeedbackComposerQml::bannerUrl() {
    return moduleFile("FeedbackBanner.qml");
}

#include "FeedbackComposerQml.h"

#include "FeedbackBannerView.h"
#include "FeedbackRewardLine.h"
#include "FeedbackSymbol.h"
#include "FeedbackThumbnail.h"
#include "FeedbackView.h"

#include <QQmlEngine>

#include <utility>

namespace {
constexpr const char* moduleName = "Morvik.Composer";
}

namespace {
// Lives as long as the process unless shut down: windows come and go, the compiled layouts stay.
QQmlEngine* shared = nullptr;
} // namespace

QQmlEngine& FeedbackComposerQml::engine() {
    if (!shared) {
        registerTypes();
        shared = new QQmlEngine;
    }
    return *shared;
}

void FeedbackComposerQml::shutDown() {
    delete std::exchange(shared, nullptr);
}

void FeedbackComposerQml::registerTypes() {
    static const bool registered = [] {
        qmlRegisterUncreatableType<FeedbackView>(moduleName, 1, 0, "FeedbackView",
                                                 QStringLiteral("made by the host"));
        qmlRegisterUncreatableType<FeedbackRewardLine>(moduleName, 1, 0, "FeedbackRewardLine",
                                                       QStringLiteral("made by the host"));
        qmlRegisterUncreatableType<FeedbackBannerView>(moduleName, 1, 0, "FeedbackBannerView",
                                                       QStringLiteral("made by the host"));
        qmlRegisterType<FeedbackSymbol>(moduleName, 1, 0, "FeedbackSymbol");
        qmlRegisterType<FeedbackThumbnail>(moduleName, 1, 0, "FeedbackThumbnail");
        return true;
    }();
    Q_UNUSED(registered);
}

QUrl FeedbackComposerQml::feedbackViewUrl() {
    return QUrl(QStringLiteral("qrc:/morvik/composer/FeedbackView.qml"));
}

QUrl FeedbackComposerQml::rewardLineUrl() {
    return QUrl(QStringLiteral("qrc:/morvik/composer/FeedbackRewardLine.qml"));
}

QUrl FeedbackComposerQml::bannerUrl() {
    return QUrl(QStringLiteral("qrc:/morvik/composer/FeedbackBanner.qml"));
}

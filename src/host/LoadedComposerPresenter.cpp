#include "LoadedComposerPresenter.h"

#include "Feedback.h"
#include "FeedbackExternalHost.h"

#include <QCoreApplication>
#include <QLibrary>

namespace {
using Factory = ComposerPresenter* (*)();
}

QString LoadedComposerPresenter::libraryPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libmorvik_host_windows.so");
}

ComposerPresenter* LoadedComposerPresenter::load() {
    if (loaded_ || failed_)
        return loaded_.get();
    FeedbackExternalHost::enableAccessibility();
    // Never unloaded: windows and their QML engine stay for the life of the process.
    QLibrary library(libraryPath());
    library.setLoadHints(QLibrary::ExportExternalSymbolsHint);
    const auto factory = reinterpret_cast<Factory>(library.resolve("morvik_create_composer_presenter"));
    if (!factory) {
        failed_ = true;
        Feedback::log(
            QStringLiteral("composer: cannot load %1: %2").arg(libraryPath(), library.errorString()));
        return nullptr;
    }
    loaded_.reset(factory());
    return loaded_.get();
}

void LoadedComposerPresenter::present(FeedbackIntent intent, std::optional<QByteArray> snapshot) {
    if (ComposerPresenter* presenter = load())
        presenter->present(intent, std::move(snapshot));
}

bool LoadedComposerPresenter::isOpen() const {
    return loaded_ && loaded_->isOpen();
}

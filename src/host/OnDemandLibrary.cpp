#include "OnDemandLibrary.h"

#include "Feedback.h"
#include "FeedbackLogging.h"

#include <QCoreApplication>
#include <QLibrary>

OnDemandLibrary::OnDemandLibrary(QString fileName, QByteArray factorySymbol)
    : fileName_(std::move(fileName))
    , factorySymbol_(std::move(factorySymbol)) {}

QString OnDemandLibrary::path() const {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName_;
}

void* OnDemandLibrary::createUntyped() {
    if (failed_)
        return nullptr;
    QLibrary library(path());
    library.setLoadHints(QLibrary::ExportExternalSymbolsHint);
    using Factory = void* (*)();
    const auto factory = reinterpret_cast<Factory>(library.resolve(factorySymbol_.constData()));
    if (!factory) {
        failed_ = true;
        qCInfo(lcFeedbackHost).noquote()
            << QStringLiteral("host: cannot load %1: %2").arg(path(), library.errorString());
        return nullptr;
    }
    return factory();
}

#include "FeedbackTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

#include <memory>

namespace {

struct Installed {
    std::unique_ptr<QTranslator> translator;
    QLocale locale{QLocale::c()};
    bool done = false;
};

Installed& installed() {
    static Installed state;
    return state;
}

} // namespace

void FeedbackTranslations::install() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    Installed& state = installed();
    const QLocale wanted;
    if (state.done && state.locale == wanted)
        return;
    if (state.translator)
        QCoreApplication::removeTranslator(state.translator.get());
    state.translator.reset();
    state.done = true;
    state.locale = wanted;

    auto translator = std::make_unique<QTranslator>();
    // Tries each of the locale's UI languages in turn ("de_AT" -> "de"); none found means English.
    if (translator->load(wanted, QStringLiteral("morvik_feedback"), QStringLiteral("_"),
                         QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(translator.get());
        state.translator = std::move(translator);
        // Goes with the application: a translator must not outlive it.
        static const bool released = [] {
            qAddPostRoutine([] { installed().translator.reset(); });
            return true;
        }();
        Q_UNUSED(released);
    }
}

QString FeedbackTranslations::installedLanguage() {
    const Installed& state = installed();
    return state.translator ? state.translator->language().section(QLatin1Char('_'), 0, 0) : QString();
}

QStringList FeedbackTranslations::languages() {
    return {QStringLiteral("de"), QStringLiteral("fr")};
}

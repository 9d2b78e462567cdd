#pragma once

#include "morvik_composer_export.h"

#include <QLocale>
#include <QString>

// The component's own translations (German and French today), compiled into this library. The
// composer, the sheets, the banner and the menu speak the language of QLocale() (the system's unless
// the application set a default), falling back to English. install() is called wherever a view of
// ours is first made; an application calls it only if it shows our texts some other way.
class MORVIK_COMPOSER_EXPORT FeedbackTranslations {
public:
    // Installs the translator for QLocale() into the application once; later calls do nothing unless
    // the default locale changed meanwhile, in which case the translation is replaced. Main thread.
    static void install();
    // The language whose translation is installed ("de", "fr"); empty for English.
    static QString installedLanguage();
    // The languages shipped, besides English.
    static QStringList languages();
};

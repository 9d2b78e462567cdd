// The component's German and French: chosen by the application's locale, complete, and faithful to
// each text's placeholders.

#include "Feedback.h"
#include "FeedbackTranslations.h"
#include "FeedbackView.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <vector>

namespace {

class TranslationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Feedback::resetForTests();
        Feedback::setProductName(QStringLiteral("Sketchpad"));
    }
    void TearDown() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FeedbackTranslations::install();
        Feedback::resetForTests();
    }
};

struct LocaleCase {
    const char* locale;
    const char* language; // installed translation, empty for English
    const char* hint;
    const char* title;
    const char* placeholder;
};

TEST_F(TranslationsTest, TheComposerSpeaksTheLocalesLanguage) {
    const std::vector<LocaleCase> cases = {
        {"en_US", "", "Add a line, then Send.", "Make Sketchpad better",
         "What's on your mind? We read every word."},
        {"de_DE", "de", "Ein paar Worte, dann „Senden“.", "Sketchpad verbessern",
         "Was möchten Sie uns sagen? Wir lesen jedes Wort."},
        {"de_AT", "de", "Ein paar Worte, dann „Senden“.", "Sketchpad verbessern",
         "Was möchten Sie uns sagen? Wir lesen jedes Wort."},
        {"fr_CA", "fr", "Quelques mots, puis Envoyer.", "Améliorer Sketchpad",
         "Qu’avez-vous en tête ? Nous lisons chaque mot."},
        {"es_ES", "", "Add a line, then Send.", "Make Sketchpad better",
         "What's on your mind? We read every word."},
    };
    for (const LocaleCase& c : cases) {
        SCOPED_TRACE(c.locale);
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        FeedbackTranslations::install();
        EXPECT_EQ(FeedbackTranslations::installedLanguage(), QString::fromLatin1(c.language));
        FeedbackView view(FeedbackIntent::praise);
        EXPECT_EQ(view.hint(), QString::fromUtf8(c.hint));
        EXPECT_EQ(view.headerTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(view.placeholder(), QString::fromUtf8(c.placeholder));
    }
}

TEST_F(TranslationsTest, TheSuccessLineAgreesWithTheKindOfReport) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    FeedbackTranslations::install();
    EXPECT_EQ(FeedbackView(FeedbackIntent::idea).successSubtitle(),
              QStringLiteral("Ihre Idee ist angekommen."));
    EXPECT_EQ(FeedbackView(FeedbackIntent::praise).successSubtitle(),
              QStringLiteral("Ihr Feedback ist angekommen."));
}

// Every text in every shipped catalogue is translated, and each translation keeps the placeholders
// (%1, %2, ...) of its source: a lost or invented one would show the wrong words or a raw "%1".
TEST(TranslationCatalogues, CompleteWithTheSourcesPlaceholders) {
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    const auto placeholders = [&](const QString& text) {
        QStringList found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();)
            found.append(it.next().captured());
        found.sort();
        return found;
    };
    for (const QString& language : FeedbackTranslations::languages()) {
        SCOPED_TRACE(language.toStdString());
        QFile file(QStringLiteral(MORVIK_SOURCE_DIR "/i18n/morvik_feedback_%1.ts").arg(language));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString context;
        QString source;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                const bool unfinished =
                    xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
                const QString translation = xml.readElementText();
                ++messages;
                EXPECT_FALSE(unfinished || translation.isEmpty())
                    << "untranslated: " << context.toStdString() << ": " << source.toStdString();
                EXPECT_EQ(placeholders(translation), placeholders(source))
                    << context.toStdString() << ": " << source.toStdString();
            }
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_GT(messages, 40);
    }
}

} // namespace

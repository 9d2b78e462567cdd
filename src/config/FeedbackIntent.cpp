#include "FeedbackIntent.h"

#include <QCoreApplication>

namespace FeedbackIntents {
namespace {

struct Texts {
    const char* raw;
    const char* label;
    const char* shortLabel;
    const char* icon;
    const char* prompt;
    const char* noun;
};

// Indexed by the enumeration's value.
constexpr std::array<Texts, 3> table{{
    {"idea", QT_TRANSLATE_NOOP("FeedbackIntent", "Share an idea"),
     QT_TRANSLATE_NOOP("FeedbackIntent", "Idea"), "lightbulb.fill",
     QT_TRANSLATE_NOOP("FeedbackIntent", "What would make this better for you?"),
     QT_TRANSLATE_NOOP("FeedbackIntent", "idea")},
    {"bug", QT_TRANSLATE_NOOP("FeedbackIntent", "Report a bug"), QT_TRANSLATE_NOOP("FeedbackIntent", "Bug"),
     "ladybug.fill",
     QT_TRANSLATE_NOOP("FeedbackIntent", "What went wrong? What did you expect to happen instead?"),
     QT_TRANSLATE_NOOP("FeedbackIntent", "report")},
    {"praise", QT_TRANSLATE_NOOP("FeedbackIntent", "Send feedback"),
     QT_TRANSLATE_NOOP("FeedbackIntent", "Feedback"), "text.bubble.fill",
     QT_TRANSLATE_NOOP("FeedbackIntent", "What's on your mind? We read every word."),
     QT_TRANSLATE_NOOP("FeedbackIntent", "feedback")},
}};

const Texts& texts(FeedbackIntent intent) {
    return table[static_cast<std::size_t>(intent)];
}
QString tr(const char* text) {
    return QCoreApplication::translate("FeedbackIntent", text);
}

} // namespace

std::optional<FeedbackIntent> fromRawValue(const QString& raw) {
    for (FeedbackIntent intent : allCases)
        if (raw == QLatin1String(texts(intent).raw))
            return intent;
    return std::nullopt;
}

QString rawValue(FeedbackIntent intent) {
    return QString::fromLatin1(texts(intent).raw);
}
QString label(FeedbackIntent intent) {
    return tr(texts(intent).label);
}
QString shortLabel(FeedbackIntent intent) {
    return tr(texts(intent).shortLabel);
}
QString icon(FeedbackIntent intent) {
    return QString::fromLatin1(texts(intent).icon);
}
QString prompt(FeedbackIntent intent) {
    return tr(texts(intent).prompt);
}
QString noun(FeedbackIntent intent) {
    return tr(texts(intent).noun);
}

} // namespace FeedbackIntents

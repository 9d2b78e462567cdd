#pragma once

#include "morvik_config_export.h"

#include <QLoggingCategory>

// One logging category per subsystem. Everything the system logs goes through them: the lines the
// owner and the embedding code rely on at info level (on by default), narration for whoever wires up
// an owner at debug level (off by default; for example
// QT_LOGGING_RULES="morvik.feedback.host.debug=true;morvik.feedback.composer.debug=true").
//
// While a log handler is installed (Feedback::setLogHandler; the helper installs one that writes to
// the owner), messages of these categories go to it, word for word and without Qt's decoration;
// messages of other categories, and ours while no handler is installed, go to whatever message
// handler the process had.
//
// Declared as Q_DECLARE_LOGGING_CATEGORY would, plus the export macro: Qt 6.4 has no exported form.
MORVIK_CONFIG_EXPORT const QLoggingCategory& lcFeedbackHost();
MORVIK_CONFIG_EXPORT const QLoggingCategory& lcFeedbackComposer();
MORVIK_CONFIG_EXPORT const QLoggingCategory& lcFeedbackDelivery();
MORVIK_CONFIG_EXPORT const QLoggingCategory& lcFeedbackRecords();
MORVIK_CONFIG_EXPORT const QLoggingCategory& lcFeedbackOffers();

namespace FeedbackLogging {

// Routes our categories to the log handler from now on; later calls do nothing.
MORVIK_CONFIG_EXPORT void forwardToLogHandler();

} // namespace FeedbackLogging

#pragma once

#include "morvik_standin_export.h"

#include <QByteArray>

class InboxStore;

// The plain HTML page that lists what the stand-in received, newest first: reports (intent, message,
// contact, code, time and the snapshot the report points to), diagnostics bundles and record batches.
class MORVIK_STANDIN_EXPORT InboxPage {
public:
    static QByteArray render(const InboxStore& store);
};

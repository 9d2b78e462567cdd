#pragma once

#include "morvik_standin_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrlQuery>

#include <utility>

// One HTTP request as the stand-in received it, before it was answered.
struct MORVIK_STANDIN_EXPORT RecordedRequest {
    QByteArray method; // upper case, e.g. "POST"
    QString path;      // the URL path alone, percent-decoded, e.g. "/screenshot/3f2a..."
    QUrlQuery query;
    QList<std::pair<QByteArray, QByteArray>> headers; // in the order sent, names as sent
    QByteArray body;
    QDateTime receivedAt; // UTC

    // The first header of that name, compared without regard to case; empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
};

Q_DECLARE_METATYPE(RecordedRequest)

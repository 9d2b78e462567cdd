#include "RecordedRequest.h"

QByteArray RecordedRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray& name) const {
    for (const auto& pair : headers)
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

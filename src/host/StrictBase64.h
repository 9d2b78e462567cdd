#pragma once

#include "morvik_host_export.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Standard base64 with its trailing fill characters: the text's length is a multiple of four, only
// the standard alphabet is used, and "=" appears only as one or two final characters. Anything else
// (line breaks, spaces, the URL-safe alphabet, missing fill) does not decode.
class MORVIK_HOST_EXPORT StrictBase64 {
public:
    static std::optional<QByteArray> decode(QByteArrayView text);
};

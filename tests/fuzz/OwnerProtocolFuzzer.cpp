// Feeds arbitrary bytes through the owner line splitter and message classification, as standard input
// would arrive: the first byte chooses how the rest is cut into chunks.
#include "LineSplitter.h"
#include "OwnerMessage.h"
#include "StrictBase64.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t chunkSize = 1 + data[0] % 32;
    const QByteArrayView input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    // A small line limit so that the dropping path is reached as often as the normal one.
    LineSplitter splitter(96);
    qsizetype total = 0;
    for (qsizetype offset = 0; offset < input.size(); offset += static_cast<qsizetype>(chunkSize)) {
        const QByteArrayView chunk =
            input.sliced(offset, std::min<qsizetype>(chunkSize, input.size() - offset));
        splitter.append(chunk, [&](QByteArrayView line) {
            if (line.size() > 96 || line.contains('\n'))
                std::abort();
            total += line.size();
            const OwnerMessage message = OwnerMessage::fromLine(line);
            if (message.kind == OwnerMessage::Kind::configure && message.config.ownerPID &&
                *message.config.ownerPID < 2)
                std::abort();
            if (message.snapshot && message.snapshot->isEmpty())
                std::abort();
        });
        if (splitter.bufferedBytes() > 96)
            std::abort();
    }
    if (total > input.size())
        std::abort();

    // Whatever decodes must be canonical base64 of what it decoded to.
    if (const auto decoded = StrictBase64::decode(input)) {
        const QByteArray again = decoded->toBase64();
        if (QByteArrayView(again) != input && again.size() != input.size())
            std::abort();
    }
    return 0;
}

#include "StrictBase64.h"

#include <array>

namespace {

constexpr std::array<signed char, 256> makeTable() {
    std::array<signed char, 256> table{};
    for (auto& entry : table)
        entry = -1;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    return table;
}

constexpr auto table = makeTable();

} // namespace

std::optional<QByteArray> StrictBase64::decode(QByteArrayView text) {
    const qsizetype size = text.size();
    if (size % 4 != 0)
        return std::nullopt;
    qsizetype fill = 0;
    if (size > 0 && text[size - 1] == '=')
        fill = (size > 1 && text[size - 2] == '=') ? 2 : 1;

    QByteArray out;
    out.reserve(size / 4 * 3);
    for (qsizetype i = 0; i < size; i += 4) {
        const bool last = i + 4 == size;
        std::uint32_t group = 0;
        for (int j = 0; j < 4; ++j) {
            const auto c = static_cast<unsigned char>(text[i + j]);
            int value;
            if (last && j >= 4 - fill) {
                value = 0; // a fill character, only allowed at the very end
            } else {
                value = table[c];
                if (value < 0)
                    return std::nullopt;
            }
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        out.append(static_cast<char>((group >> 16) & 0xff));
        if (!(last && fill == 2))
            out.append(static_cast<char>((group >> 8) & 0xff));
        if (!(last && fill >= 1))
            out.append(static_cast<char>(group & 0xff));
    }
    return out;
}

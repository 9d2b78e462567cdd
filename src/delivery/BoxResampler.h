#pragma once

#include "morvik_delivery_export.h"

#include <QImage>

#include <cstdint>
#include <vector>

// Shrinks a picture fed one row at a time by area averaging: every output pixel is the exact
// coverage-weighted mean of the source pixels under it. Source rows are summed into one row of
// totals as they arrive (a loop the compiler vectorises), and each finished row of totals is then
// narrowed across, so a large picture never has to be decoded whole.
class MORVIK_DELIVERY_EXPORT BoxResampler {
public:
    // channels: 3 (RGB) or 4 (RGBA, straight alpha). The output must not be larger than the source
    // in either direction.
    BoxResampler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, int channels = 3);

    bool isValid() const { return !result_.isNull(); }

    // The next source row: sourceWidth pixels of 8-bit channels. Transparent pixels are laid onto
    // white first (the report's JPEG has no transparency).
    void addRow(const std::uint8_t* pixels);
    // The finished picture (RGB888) once every source row was added.
    QImage result() const { return result_; }

    // Mixes 8-bit RGBA onto white, keeping four channels with alpha 255.
    static void flattenOntoWhite(const std::uint8_t* rgba, std::uint8_t* out, int width);
    // The target size whose longer side is longSide (never larger than the source), keeping the
    // aspect ratio; the shorter side is at least 1.
    static QSize fittedSize(int width, int height, int longSide);

private:
    // One output column: source columns first..last, the first and last with partial weights, the
    // ones between with full weight.
    struct Column {
        int first;
        int last;
        std::uint32_t firstShare;
        std::uint32_t lastShare;
    };
    void accumulate(const std::uint8_t* pixels, std::uint32_t weight, std::vector<std::uint32_t>& into);
    void finishOutputRow();

    int sourceWidth_;
    int sourceHeight_;
    int targetWidth_;
    int targetHeight_;
    int channels_;
    std::vector<Column> columns_;
    std::vector<std::uint32_t> rowTotals_; // the current output row, per source pixel and channel
    std::vector<std::uint8_t> flattened_;
    // 2^40 / (sourceWidth * sourceHeight): turns totals back into 8-bit values without a division.
    static constexpr int reciprocalBits = 40;
    std::uint64_t reciprocal_ = 0;
    int sourceRow_ = 0;
    int outputRow_ = 0;
    QImage result_;
};

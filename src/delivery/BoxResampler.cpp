#include "BoxResampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Weights are whole numbers. Across: a source column spans targetWidth units and an output column
// sourceWidth units, so the weights of one output column add up to sourceWidth. Down: a source row
// spans targetHeight units and an output row sourceHeight units. A finished total therefore is
// sourceWidth * sourceHeight times the mean.

BoxResampler::BoxResampler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, int channels)
    : sourceWidth_(sourceWidth)
    , sourceHeight_(sourceHeight)
    , targetWidth_(targetWidth)
    , targetHeight_(targetHeight)
    , channels_(channels) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0 ||
        targetWidth > sourceWidth || targetHeight > sourceHeight || (channels != 3 && channels != 4))
        return;
    result_ = QImage(targetWidth, targetHeight, QImage::Format_RGB888);
    if (result_.isNull())
        return;
    const std::int64_t W = sourceWidth;
    const std::int64_t w = targetWidth;
    columns_.resize(std::size_t(targetWidth));
    for (std::int64_t j = 0; j < w; ++j) {
        const std::int64_t start = j * W; // in units; source column s spans [s * w, (s + 1) * w)
        const std::int64_t end = start + W;
        Column& c = columns_[std::size_t(j)];
        c.first = int(start / w);
        c.last = int((end - 1) / w);
        if (c.first == c.last) {
            c.firstShare = std::uint32_t(W);
            c.lastShare = 0;
        } else {
            c.firstShare = std::uint32_t((c.first + 1) * w - start);
            c.lastShare = std::uint32_t(end - c.last * w);
        }
    }
    const std::size_t totals = std::size_t(sourceWidth) * std::size_t(channels);
    rowTotals_.assign(totals, 0);
    if (channels == 4)
        flattened_.resize(totals);
    // A total is at most 255 times the source's pixel count, so total * reciprocal stays below 2^48;
    // the reciprocal's own rounding moves a result by less than 1/30 of a step even at 2^28 pixels.
    const std::uint64_t count = std::uint64_t(sourceWidth) * std::uint64_t(sourceHeight);
    reciprocal_ = ((std::uint64_t(1) << reciprocalBits) + count / 2) / count;
}

void BoxResampler::accumulate(const std::uint8_t* pixels, std::uint32_t weight,
                              std::vector<std::uint32_t>& into) {
    std::uint32_t* totals = into.data();
    const std::size_t n = into.size();
    for (std::size_t i = 0; i < n; ++i)
        totals[i] += std::uint32_t(pixels[i]) * weight;
}

void BoxResampler::addRow(const std::uint8_t* pixels) {
    if (!isValid() || sourceRow_ >= sourceHeight_)
        return;
    if (channels_ == 4) {
        std::uint8_t opaque = 255;
        for (int x = 0; x < sourceWidth_; ++x)
            opaque &= pixels[std::size_t(x) * 4 + 3];
        if (opaque != 255) {
            flattenOntoWhite(pixels, flattened_.data(), sourceWidth_);
            pixels = flattened_.data();
        }
    }
    const std::int64_t start = std::int64_t(sourceRow_) * targetHeight_;
    const std::int64_t end = start + targetHeight_;
    const std::int64_t boundary = std::int64_t(outputRow_ + 1) * sourceHeight_;
    const std::uint32_t here = std::uint32_t(std::min(end, boundary) - start);
    const std::uint32_t rest = std::uint32_t(targetHeight_) - here;
    accumulate(pixels, here, rowTotals_);
    ++sourceRow_;
    if (end >= boundary) {
        finishOutputRow();
        if (rest > 0)
            accumulate(pixels, rest, rowTotals_); // the row's lower part starts the next output row
    }
}

void BoxResampler::finishOutputRow() {
    if (outputRow_ >= targetHeight_)
        return;
    const std::uint32_t* totals = rowTotals_.data();
    const std::size_t step = std::size_t(channels_);
    const std::uint64_t unit = std::uint64_t(targetWidth_);
    std::uint8_t* out = result_.scanLine(outputRow_);
    for (const Column& c : columns_) {
        const std::uint32_t* first = totals + std::size_t(c.first) * step;
        std::uint64_t sum[3] = {std::uint64_t(first[0]) * c.firstShare,
                                std::uint64_t(first[1]) * c.firstShare,
                                std::uint64_t(first[2]) * c.firstShare};
        if (c.last != c.first) {
            std::uint64_t inner[3] = {0, 0, 0};
            for (const std::uint32_t* p = first + step; p < totals + std::size_t(c.last) * step; p += step) {
                inner[0] += p[0];
                inner[1] += p[1];
                inner[2] += p[2];
            }
            const std::uint32_t* last = totals + std::size_t(c.last) * step;
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += inner[ch] * unit + std::uint64_t(last[ch]) * c.lastShare;
        }
        for (int ch = 0; ch < 3; ++ch)
            *out++ = std::uint8_t(std::min<std::uint64_t>(
                255, (sum[ch] * reciprocal_ + (std::uint64_t(1) << (reciprocalBits - 1))) >> reciprocalBits));
    }
    std::fill(rowTotals_.begin(), rowTotals_.end(), 0);
    ++outputRow_;
}

void BoxResampler::flattenOntoWhite(const std::uint8_t* rgba, std::uint8_t* out, int width) {
    for (int x = 0; x < width; ++x, rgba += 4, out += 4) {
        const std::uint32_t alpha = rgba[3];
        const std::uint32_t white = 255 * (255 - alpha);
        out[0] = std::uint8_t((rgba[0] * alpha + white + 127) / 255);
        out[1] = std::uint8_t((rgba[1] * alpha + white + 127) / 255);
        out[2] = std::uint8_t((rgba[2] * alpha + white + 127) / 255);
        out[3] = 255;
    }
}

QSize BoxResampler::fittedSize(int width, int height, int longSide) {
    const int longest = std::max(width, height);
    if (width <= 0 || height <= 0)
        return {};
    if (longSide >= longest)
        return {width, height};
    const auto scaled = [&](int side) {
        return std::max(1, int(std::lround(double(side) * double(longSide) / double(longest))));
    };
    return width >= height ? QSize(longSide, scaled(height)) : QSize(scaled(width), longSide);
}

#include "graphics/region.h"

#include <algorithm>
#include <cmath>

namespace tessapak::graphics {

std::vector<RowSpan> roundRectSpans(std::int32_t left, std::int32_t top, std::int32_t right,
                                    std::int32_t bottom, std::int32_t w, std::int32_t h) {
    std::vector<RowSpan> rows;
    // GDI accepts the corners in either order.
    const std::int64_t l = std::min(left, right);
    const std::int64_t r = std::max(left, right);
    const std::int64_t t = std::min(top, bottom);
    const std::int64_t b = std::max(top, bottom);
    if (r <= l || b <= t) {
        return rows;
    }
    const double boxW = static_cast<double>(r - l);
    const double boxH = static_cast<double>(b - t);
    const double ew = std::min<double>(std::abs(static_cast<double>(w)), boxW);
    const double eh = std::min<double>(std::abs(static_cast<double>(h)), boxH);
    const bool square = ew < 2 || eh < 2;
    const double a = ew / 2;
    const double e = eh / 2;
    rows.reserve(static_cast<std::size_t>(b - t));
    for (std::int64_t y = t; y < b; ++y) {
        double inset = 0;  // how far the corner curve lies inside the box on this row
        if (!square) {
            const double yc = static_cast<double>(y) + 0.5;
            double dy = 0;
            if (yc < static_cast<double>(t) + e) {
                dy = static_cast<double>(t) + e - yc;
            } else if (yc > static_cast<double>(b) - e) {
                dy = yc - (static_cast<double>(b) - e);
            }
            const double q = dy / e;
            inset = a - a * std::sqrt(std::max(0.0, 1 - q * q));
        }
        // Columns whose centre lies within [l + inset, r - inset].
        const auto x0 = static_cast<std::int64_t>(std::ceil(static_cast<double>(l) + inset - 0.5));
        const auto x1 =
            static_cast<std::int64_t>(std::floor(static_cast<double>(r) - inset - 0.5)) + 1;
        if (x1 > x0) {
            rows.push_back({static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1)});
        }
    }
    return rows;
}

QRegion roundRectRegion(std::int32_t left, std::int32_t top, std::int32_t right,
                        std::int32_t bottom, std::int32_t w, std::int32_t h) {
    // gdi32 makes this region one pixel smaller at the right and the bottom
    // than the box it is given, so that roundRectRegion(0, 0, W, H) ends on
    // the outline that RoundRect(0, 0, W - 1, H - 1) draws: the outline is the
    // region's rim and no face shows outside it.
    const std::int64_t l = std::min(left, right);
    const std::int64_t t = std::min(top, bottom);
    const std::int64_t r = std::max<std::int64_t>(std::int64_t{std::max(left, right)} - 1, l);
    const std::int64_t b = std::max<std::int64_t>(std::int64_t{std::max(top, bottom)} - 1, t);
    QRegion region;
    const std::vector<RowSpan> rows =
        roundRectSpans(static_cast<std::int32_t>(l), static_cast<std::int32_t>(t),
                       static_cast<std::int32_t>(r), static_cast<std::int32_t>(b), w, h);
    // Neighbouring rows of the same span become one rectangle, which keeps the
    // region small: a button has only a few corner rows.
    std::size_t i = 0;
    while (i < rows.size()) {
        std::size_t j = i + 1;
        while (j < rows.size() && rows[j].x0 == rows[i].x0 && rows[j].x1 == rows[i].x1 &&
               rows[j].y == rows[j - 1].y + 1) {
            ++j;
        }
        region +=
            QRect(rows[i].x0, rows[i].y, rows[i].x1 - rows[i].x0, rows[j - 1].y - rows[i].y + 1);
        i = j;
    }
    return region;
}

}  // namespace tessapak::graphics

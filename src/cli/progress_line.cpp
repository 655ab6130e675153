#include "cli/progress_line.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tessapak::cli {

namespace {

// Redrawing for every one of 100,000 small files would cost more than the
// files themselves; a terminal only needs a handful of frames a second.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

void writeAll(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

ProgressLine::ProgressLine(std::string verb, bool enabled)
    : verb_(std::move(verb)), enabled_(enabled) {}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::update(std::int64_t number, std::int64_t total) {
    if (!enabled_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const bool firstOrLast = shownWidth_ == 0 || number >= total;
    if (!firstOrLast && now - lastDrawn_ < kRedrawInterval) {
        return;
    }
    lastDrawn_ = now;
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
    // a literal + std::string.
    std::string frame(1, '\r');
    frame.append(verb_).append(1, ' ');
    frame.append(std::to_string(number)).append(1, '/').append(std::to_string(total));
    const std::size_t width = frame.size() - 1;
    if (width < shownWidth_) {
        frame.append(shownWidth_ - width, ' ');
    }
    shownWidth_ = std::max(shownWidth_, width);
    writeAll(frame);
}

void ProgressLine::clear() {
    if (!enabled_ || shownWidth_ == 0) {
        return;
    }
    // Blanks rather than an escape sequence, so that any terminal is wiped.
    std::string blank(shownWidth_ + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    writeAll(blank);
    shownWidth_ = 0;
}

}  // namespace tessapak::cli

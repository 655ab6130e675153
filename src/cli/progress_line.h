#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tessapak::cli {

// A one-line counter on standard error ("packing 120/5003"), redrawn in place.
// It draws only when enabled (standard error is a terminal and -q was not
// given), at most a few times a second, and wipes itself when destroyed so
// that an error message or the shell prompt starts on a clean line.
class ProgressLine {
  public:
    ProgressLine(std::string verb, bool enabled);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(std::int64_t number, std::int64_t total);
    void clear();

  private:
    std::string verb_;
    bool enabled_;
    std::size_t shownWidth_ = 0;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace tessapak::cli

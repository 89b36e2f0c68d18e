#include "fleet/progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace cairn {

void ProgressLine::update(std::size_t done, std::size_t passed, std::size_t failed,
                          double seconds) {
  if (!shown_) return;
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  char text[160];
  int length;
  if (total_) {
    const std::size_t left = *total_ > done ? *total_ - done : 0;
    length = std::snprintf(
        text, sizeof text, "%zu/%zu done, %zu passed, %zu failed, %.1f PCs/s, about %.0f s left",
        done, *total_, passed, failed, rate, rate > 0 ? static_cast<double>(left) / rate : 0.0);
  } else {
    length = std::snprintf(text, sizeof text, "%zu done, %zu passed, %zu failed, %.1f PCs/s", done,
                           passed, failed, rate);
  }
  // Padding with blanks wipes the rest of a longer earlier line without terminal commands,
  // which not every Windows console understands.
  std::string line(text, static_cast<std::size_t>(std::max(length, 0)));
  const std::size_t width = line.size();
  if (width < width_) line.append(width_ - width, ' ');
  width_ = width;
  out_ << '\r' << line << std::flush;
}

void ProgressLine::clear() {
  if (!shown_ || width_ == 0) return;
  out_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  width_ = 0;
}

}  // namespace cairn

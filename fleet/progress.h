// The progress line of a fleet run on a terminal, redrawn in place: PCs done of the total,
// passed, failed, PCs per second and the time left. Nothing is drawn when output is no terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <ostream>

namespace cairn {

class ProgressLine {
 public:
  ProgressLine(std::ostream& out, bool shown) : out_(out), shown_(shown) {}

  // The number of PCs in the list, when it is known.
  void setTotal(std::optional<std::size_t> total) { total_ = total; }
  void update(std::size_t done, std::size_t passed, std::size_t failed, double seconds);
  // Wipes the line, so the summary starts on a clean one.
  void clear();

 private:
  std::ostream& out_;
  bool shown_;
  std::optional<std::size_t> total_;
  std::size_t width_ = 0;
};

}  // namespace cairn

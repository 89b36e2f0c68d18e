// The bookkeeping both worker backends share: the running children with their deadlines, and
// the wait that hands back every child that ended. A backend says how to wait for something to
// happen, whether a child has ended, and how to stop one. Child needs the fields id, deadline
// and received (every byte the child sent: each progress text with a line end, then the output).
#pragma once

#include <chrono>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "platform/workers.h"

namespace cairn {

template <typename Child>
class WorkerPool : public Workers {
 public:
  std::vector<WorkerResult> wait() final {
    std::vector<WorkerResult> ended;
    while (!children_.empty()) {
      const bool interruptArrived = waitForEvent();
      collect(ended);
      if (!ended.empty() || interruptArrived) break;
    }
    return ended;
  }

  std::size_t running() const final { return children_.size(); }

 protected:
  using Clock = std::chrono::steady_clock;

  // Blocks until a child may have ended, the interrupt came, or a short while passed. True when
  // the interrupt arrived now, so that the caller hears of it at once; later waits go on
  // collecting the running children.
  virtual bool waitForEvent() = 0;
  // The child's result once it has ended; nothing while it still runs.
  virtual std::optional<WorkerResult> endOf(Child& child) = 0;
  // Stops a running child and waits until it is gone.
  virtual void stop(Child& child) = 0;

  std::list<Child> children_;

  // The result of a child that ended as end, from what it sent.
  static WorkerResult resultOf(const Child& child, WorkerEnd end) {
    const std::string& received = child.received;
    const auto last = received.rfind('\n');
    if (last == std::string::npos) return WorkerResult{child.id, end, received, {}};
    const auto before = last == 0 ? std::string::npos : received.rfind('\n', last - 1);
    const auto first = before == std::string::npos ? 0 : before + 1;
    return WorkerResult{child.id, end, received.substr(last + 1),
                        received.substr(first, last - first)};
  }

 private:
  void collect(std::vector<WorkerResult>& ended) {
    const auto now = Clock::now();
    for (auto it = children_.begin(); it != children_.end();) {
      std::optional<WorkerResult> result = endOf(*it);
      if (!result && now >= it->deadline) {
        stop(*it);
        result = resultOf(*it, WorkerEnd::StoppedAtDeadline);
        result->output.clear();
      }
      if (!result) {
        ++it;
        continue;
      }
      ended.push_back(std::move(*result));
      it = children_.erase(it);
    }
  }
};

}  // namespace cairn

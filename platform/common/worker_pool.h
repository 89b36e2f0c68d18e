// The bookkeeping both worker backends share: the running children with their deadlines, and
// the wait that hands back every child that ended. A backend says how to wait for something to
// happen, whether a child has ended, and how to stop one. Child needs the fields id and deadline.
#pragma once

#include <chrono>
#include <list>
#include <optional>
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

 private:
  void collect(std::vector<WorkerResult>& ended) {
    const auto now = Clock::now();
    for (auto it = children_.begin(); it != children_.end();) {
      std::optional<WorkerResult> result = endOf(*it);
      if (!result && now >= it->deadline) {
        stop(*it);
        result = WorkerResult{it->id, WorkerEnd::StoppedAtDeadline, {}};
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

// Work items run side by side whose results are handed on in order: the
// files of `vexo file -j N`, whose messages and counts must come out as they
// would one file after another.
#pragma once

#include <cstddef>
#include <functional>

namespace vexo::cli {

struct OrderedJobs {
  // Runs item i; called on a worker thread. An exception it throws reaches
  // the caller of run_ordered when item i's turn to be delivered comes (the
  // items after it are then dropped).
  std::function<void(std::size_t i)> work;
  // Hands on item i's result; called on the calling thread, in index order,
  // as soon as item i and every item before it are done.
  std::function<void(std::size_t i)> deliver;
  // True when item `later` may not start before item `earlier` has finished
  // (they touch the same file, say); called under a lock, so it must be
  // quick and pure. Empty: no item waits for another.
  std::function<bool(std::size_t earlier, std::size_t later)> must_follow;
};

// Runs items 0 .. count - 1 with up to `jobs` at once. At most `jobs` items
// are started and not yet delivered at any time, so memory stays that of
// `jobs` items whatever the count. With jobs <= 1, or when no thread can be
// had, each item runs and is delivered in turn on the calling thread.
void run_ordered(std::size_t count, unsigned jobs, const OrderedJobs& items);

}  // namespace vexo::cli

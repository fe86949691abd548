#include "cli/ordered_jobs.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vexo::cli {
namespace {

class Schedule {
 public:
  Schedule(std::size_t count, unsigned jobs, const OrderedJobs& items)
      : count_(count), jobs_(jobs), items_(items), done_(count, false), errors_(count) {}

  // A worker: takes the next item while the window allows, waits for the
  // items it must follow, runs it.
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stop_ || next_start_ >= count_ || in_window(); });
      if (stop_ || next_start_ >= count_) return;
      const std::size_t i = next_start_++;
      changed_.wait(lock, [&] { return stop_ || !waits_for_earlier(i); });
      if (stop_) return;
      lock.unlock();
      try {
        items_.work(i);
      } catch (...) {
        errors_[i] = std::current_exception();
      }
      lock.lock();
      done_[i] = true;
      changed_.notify_all();
    }
  }

  // The calling thread: delivers the items in order.
  void deliver() {
    for (std::size_t i = 0; i < count_; ++i) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_[i]; });
      }
      if (errors_[i]) std::rethrow_exception(errors_[i]);
      items_.deliver(i);
      std::lock_guard lock(mutex_);
      next_deliver_ = i + 1;
      changed_.notify_all();
    }
  }

  // Lets idle workers go, when delivering ended early.
  void stop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }

 private:
  bool in_window() const { return next_start_ < next_deliver_ + jobs_; }

  bool waits_for_earlier(std::size_t i) const {
    if (!items_.must_follow) return false;
    for (std::size_t j = next_deliver_; j < i; ++j) {
      if (!done_[j] && items_.must_follow(j, i)) return true;
    }
    return false;
  }

  const std::size_t count_;
  const unsigned jobs_;
  const OrderedJobs& items_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> done_;
  std::vector<std::exception_ptr> errors_;
  std::size_t next_start_ = 0;
  std::size_t next_deliver_ = 0;
  bool stop_ = false;
};

void run_in_turn(std::size_t count, const OrderedJobs& items) {
  for (std::size_t i = 0; i < count; ++i) {
    items.work(i);
    items.deliver(i);
  }
}

}  // namespace

void run_ordered(std::size_t count, unsigned jobs, const OrderedJobs& items) {
  if (jobs > count) jobs = static_cast<unsigned>(count);
  if (jobs <= 1) return run_in_turn(count, items);
  Schedule schedule(count, jobs, items);
  std::vector<std::thread> workers;
  // Joined last, after the schedule has let them go (std::jthread would do
  // this, but not every standard library we build with has it).
  struct JoinOnExit {
    std::vector<std::thread>& threads;
    ~JoinOnExit() {
      for (std::thread& thread : threads) thread.join();
    }
  } join_on_exit{workers};
  workers.reserve(jobs);
  try {
    while (workers.size() < jobs) workers.emplace_back([&] { schedule.work(); });
  } catch (const std::system_error&) {
    // No more threads to be had: those started do the work.
  }
  if (workers.empty()) return run_in_turn(count, items);
  // Whatever ends the delivery, the workers are let go before they are joined.
  struct StopOnExit {
    Schedule& schedule;
    ~StopOnExit() { schedule.stop(); }
  } stop_on_exit{schedule};
  schedule.deliver();
}

}  // namespace vexo::cli

#pragma once

// Does the work of each job on a thread of its own and hands the results back in the order
// the jobs came, so that the caller can go on reading and writing the store (which only its
// own thread may touch) while the work of the jobs it handed in is done.
//
//   WorkPipe<Rows, Merged> pipe([](Rows& rows) { return merged(rows); });
//   for (...) {
//       pipe.put(read());
//       if (pipe.waiting() >= 64) write(pipe.take());
//   }
//   while (pipe.waiting() > 0) write(pipe.take());
//
// What the work throws for a job is thrown again by take() for that job. The destructor stops
// the thread, dropping jobs not yet done.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <variant>

namespace tsunagi {

template <typename Job, typename Result>
class WorkPipe {
  public:
    explicit WorkPipe(std::function<Result(Job&)> work)
        : work_(std::move(work)), thread_([this] { run(); }) {}
    ~WorkPipe() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
            changed_.notify_all();
        }
        thread_.join();
    }
    WorkPipe(const WorkPipe&) = delete;
    WorkPipe& operator=(const WorkPipe&) = delete;

    void put(Job job) {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        ++waiting_;
        changed_.notify_all();
    }
    // Jobs handed in whose results have not been taken.
    size_t waiting() const {
        std::lock_guard lock(mutex_);
        return waiting_;
    }
    // The result of the earliest job not yet taken, once it is done.
    Result take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !results_.empty(); });
        std::variant<Result, std::exception_ptr> done = std::move(results_.front());
        results_.pop_front();
        --waiting_;
        lock.unlock();
        if (auto* error = std::get_if<std::exception_ptr>(&done)) std::rethrow_exception(*error);
        return std::move(std::get<Result>(done));
    }

  private:
    void run() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || !jobs_.empty(); });
                if (stopped_) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            std::variant<Result, std::exception_ptr> done;
            try {
                done.template emplace<Result>(work_(job));
            } catch (...) {
                done.template emplace<std::exception_ptr>(std::current_exception());
            }
            std::lock_guard lock(mutex_);
            results_.push_back(std::move(done));
            changed_.notify_all();
        }
    }

    std::function<Result(Job&)> work_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    std::deque<std::variant<Result, std::exception_ptr>> results_;
    size_t waiting_ = 0;
    bool stopped_ = false;
    std::thread thread_;  // last: it starts once everything it uses is made
};

}  // namespace tsunagi

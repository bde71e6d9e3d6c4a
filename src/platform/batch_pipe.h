#pragma once

// Hands batches of work from a thread of their own to the thread that uses them, so that
// reading a file and storing its cards (or reading the store and writing a file) run side by
// side. The batches are a fixed ring: each goes back to the producer once it is used, so that
// the memory of its strings is reused.
//
//   BatchPipe<Cards> pipe;
//   pipe.start([&](BatchPipe<Cards>& p) {
//       while (Cards* cards = p.fill()) { ...; p.filled(); }
//   });
//   while (const Cards* cards = pipe.next()) ...;
//
// What the producer throws reaches the user at next(), after the batches it had filled. A
// user that stops early (or throws) stops the producer: the destructor waits for it.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tsunagi {

template <typename Batch>
class BatchPipe {
  public:
    explicit BatchPipe(size_t depth = 4) : batches_(depth) {}
    ~BatchPipe() {
        stop();
        if (thread_.joinable()) thread_.join();
    }
    BatchPipe(const BatchPipe&) = delete;
    BatchPipe& operator=(const BatchPipe&) = delete;

    void start(std::function<void(BatchPipe&)> produce) {
        thread_ = std::thread([this, produce = std::move(produce)] {
            std::exception_ptr error;
            try {
                produce(*this);
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(mutex_);
            error_ = std::move(error);  // this thread keeps no share of it
            finished_ = true;
            changed_.notify_all();
        });
    }

    // Producer: the batch to fill next, as it was when last used; nullptr once the user has
    // stopped, and then the producer should return.
    Batch* fill() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || filled_ - released_ < batches_.size(); });
        if (stopped_) return nullptr;
        return &batches_[filled_ % batches_.size()];
    }
    // Producer: how many filled batches the user has not begun yet. None means the user is
    // waiting, or soon will be, for the producer.
    size_t waiting() {
        std::lock_guard lock(mutex_);
        return filled_ - released_ - (holding_ ? 1 : 0);
    }
    // Producer: the batch from fill() is ready for the user.
    void filled() {
        std::lock_guard lock(mutex_);
        ++filled_;
        changed_.notify_all();
    }

    // User: the next filled batch, valid until the next call; nullptr when the producer has
    // returned and every batch it filled has been used. Rethrows what the producer threw.
    const Batch* next() {
        std::unique_lock lock(mutex_);
        if (holding_) {
            ++released_;
            holding_ = false;
            changed_.notify_all();
        }
        changed_.wait(lock, [&] { return filled_ > released_ || finished_; });
        if (filled_ > released_) {
            holding_ = true;
            return &batches_[released_ % batches_.size()];
        }
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        return nullptr;
    }
    // User: no more batches are wanted.
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

  private:
    std::vector<Batch> batches_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t filled_ = 0;    // batches handed to the user so far
    size_t released_ = 0;  // batches the user is done with
    bool holding_ = false;
    bool stopped_ = false;
    bool finished_ = false;
    std::exception_ptr error_;
};

}  // namespace tsunagi

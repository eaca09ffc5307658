#pragma once

#include <pthread.h>
#include <sched.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/report.h"

// Worker threads over a ring of slots that one thread fills and drains in the same order: the
// work on each slot runs on a worker, the slots come back finished in the order they were
// filled, and at most `depth` slots are in flight. Used to encode and decode capture buffers on
// every core while one thread reads the input and writes the output. That thread does not sleep
// while a slot waits for a worker: it takes the slot's work itself, so that n - 1 workers and
// it keep n cores busy, and every sleep and wake-up it saves is a context switch (each costs
// tens of microseconds in a virtual machine).
//
//   for (Slot* s;;) { if (failure = pool.Next(drain, s)) return; fill *s, or break; pool.Submit();
//   } return pool.Finish(drain);
//
// With no workers the work runs in Submit, on the filling thread: the same pipeline, one slot
// after the other.

namespace sonocap {

template <class Slot>
class OrderedPool {
  public:
    using Work = std::function<void(Slot&)>;
    using Drain = std::function<Outcome(Slot&)>;

    OrderedPool(int workers, size_t depth, Work work)
        : slots_(depth), done_(depth, false), work_(std::move(work)) {
        try {
            const int home = sched_getcpu();
            for (int i = 0; i < workers; ++i) {
                threads_.emplace_back([this] { Serve(); });
                PlaceAwayFrom(threads_.back(), home, i);
            }
        } catch (...) {
            Stop();  // a thread that could not start: the others end before the error goes on
            throw;
        }
    }
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;
    ~OrderedPool() { Stop(); }

    // The slot to fill next, into `slot`. When every slot is in flight the oldest is waited for
    // and handed to `drain` first, whose failure comes back.
    Outcome Next(const Drain& drain, Slot*& slot) {
        if (filled_ - drained_ == slots_.size()) {
            if (auto failure = DrainOldest(drain)) return failure;
        }
        slot = &slots_[filled_ % slots_.size()];
        return std::nullopt;
    }

    // The slot from Next is filled: a worker takes it.
    void Submit() {
        if (threads_.empty()) {
            const size_t index = filled_++ % slots_.size();
            work_(slots_[index]);
            done_[index] = true;
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++filled_;
        }
        workAvailable_.notify_one();
    }

    // Hands every submitted slot to `drain` in order, up to its first failure.
    Outcome Finish(const Drain& drain) {
        while (drained_ < filled_) {
            if (auto failure = DrainOldest(drain)) return failure;
        }
        return std::nullopt;
    }

  private:
    // A new thread starts on its creator's core and waits there, often for milliseconds, while
    // another core stands idle: worker i is moved to the i-th other core the process may use
    // before it runs, and may go anywhere afterwards.
    static void PlaceAwayFrom(std::thread& worker, int home, int i) {
        cpu_set_t allowed;
        if (home < 0 || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
        const int others = CPU_COUNT(&allowed) - (CPU_ISSET(home, &allowed) ? 1 : 0);
        if (others < 1) return;
        int skip = i % others;
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (cpu == home || !CPU_ISSET(cpu, &allowed) || skip-- > 0) continue;
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            pthread_setaffinity_np(worker.native_handle(), sizeof one, &one);
            pthread_setaffinity_np(worker.native_handle(), sizeof allowed, &allowed);
            return;
        }
    }

    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        workAvailable_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    Outcome DrainOldest(const Drain& drain) {
        const size_t index = drained_ % slots_.size();
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_[index]) {
            if (taken_ == filled_) {
                slotDone_.wait(lock);
                continue;
            }
            // No worker has taken this slot, or a later one, yet: this thread does its work.
            const size_t mine = taken_++ % slots_.size();
            lock.unlock();
            work_(slots_[mine]);
            lock.lock();
            done_[mine] = true;
        }
        done_[index] = false;
        lock.unlock();
        ++drained_;
        return drain(slots_[index]);
    }

    void Serve() {
        for (;;) {
            size_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                workAvailable_.wait(lock, [&] { return stopping_ || taken_ < filled_; });
                if (stopping_) return;
                index = taken_++ % slots_.size();
            }
            work_(slots_[index]);
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                done_[index] = true;
            }
            slotDone_.notify_all();
        }
    }

    std::vector<Slot> slots_;
    std::vector<bool> done_;  // finished by a worker, not yet drained
    Work work_;
    std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable slotDone_;
    size_t filled_ = 0;   // slots submitted so far (written by the filling thread, under the lock)
    size_t taken_ = 0;    // slots taken by workers
    size_t drained_ = 0;  // slots drained (the filling thread only)
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace sonocap

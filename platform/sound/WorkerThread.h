// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pikota::sound {

// A thread that does a job now and then and sleeps in between: the player's reader and the recorder's
// writer. The job runs until stopping() turns true and sleeps with sleepFor() between its turns;
// wake() ends a sleep early (for a sleep that waits for `ready`), and stop() tells the job to end, wakes
// it and waits until it has. Start, wake and stop are called from one thread, the owner's.
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread() { stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `job` on a new thread; the last one must have been stopped.
    template <typename Job> void start(Job job) {
        quit_.store(false);
        thread_ = std::thread(std::move(job));
    }

    // Returns once the job has ended (at once if it never started or has returned by itself).
    void stop() {
        {
            std::lock_guard lock(mutex_);
            quit_.store(true);
        }
        wake_.notify_one();
        if (thread_.joinable())
            thread_.join();
    }

    // Has the job look at `ready` again. What `ready` looks at may change without the lock: taking it
    // here means that the job has either seen the change or is asleep and hears this.
    void wake() {
        { std::lock_guard lock(mutex_); }
        wake_.notify_one();
    }

    // For the job.
    bool stopping() const { return quit_.load(std::memory_order_acquire); }
    // For the job: sleeps for `period` at most, until told to stop, or until woken with `ready` true.
    template <typename Rep, typename Period, typename Ready>
    void sleepFor(std::chrono::duration<Rep, Period> period, Ready ready) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, period, [&] { return stopping() || ready(); });
    }
    template <typename Rep, typename Period> void sleepFor(std::chrono::duration<Rep, Period> period) {
        sleepFor(period, [] { return false; });
    }

private:
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

} // namespace pikota::sound

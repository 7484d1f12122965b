// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/sound/Errors.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <vector>

namespace pikota::sound {

// The connection to the sound server: libpulse's threaded main loop, the context on it, and one timer
// that looks after the streams on it and wakes whoever waits for the server. It starts connecting on the
// loop's thread the moment it is made; connect() makes a new context when the last one failed or was
// dropped, so a server that comes back, or appears later, is used again. A server that does not answer in
// time is given up (drop): every stream on it fails, and the next connect() starts afresh.
//
// Everything in here is used with the main loop locked: by the loop's own thread in callbacks, and by
// other threads between lock and unlock (Lock).
class PulseConnection {
public:
    using Clock = std::chrono::steady_clock;

    // A stream on the connection, as the connection sees it.
    class Watched {
    public:
        // Called by the timer: checks that the server answers and the stream moves, and says when it
        // wants to be called again (lowers `next`, on the loop's real-time clock). False when the server
        // has not responded for too long.
        virtual bool watch(Clock::time_point now, pa_usec_t& next) = 0;
        // The connection was given up for `why`.
        virtual void fail(Error why) = 0;

    protected:
        ~Watched() = default;
    };

    class Lock {
    public:
        explicit Lock(PulseConnection& connection) : loop_(connection.loop_) {
            pa_threaded_mainloop_lock(loop_);
        }
        ~Lock() { pa_threaded_mainloop_unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    PulseConnection();
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // False when the main loop could not be started: there is no sound then.
    bool usable() const { return loop_ != nullptr; }
    pa_context* context() const { return context_; }
    // Wakes every thread that waits in waitUntil to look again.
    void signal() { pa_threaded_mainloop_signal(loop_, 0); }

    // A connected context, made anew if the last one failed or was dropped. Waits until `deadline`.
    Error connect(Clock::time_point deadline);

    // Waits, with the loop locked once by a thread other than the loop's, until `done` holds or
    // `deadline` has passed; false then.
    template <typename Done> bool waitUntil(Done done, Clock::time_point deadline) {
        ++waiters_;
        armTimer(pa_rtclock_now() + kWaitTickUsec);
        bool ok = true;
        while (!done()) {
            if (Clock::now() >= deadline) {
                ok = false;
                break;
            }
            pa_threaded_mainloop_wait(loop_);
        }
        --waiters_;
        return ok;
    }

    void add(Watched* stream) { streams_.push_back(stream); }
    void remove(Watched* stream) { std::erase(streams_, stream); }
    // Makes the timer go off within `usec` at the latest.
    void watchWithin(pa_usec_t usec) { armTimer(pa_rtclock_now() + usec); }

    // Fails every stream with `why` and hangs up: a server that does not answer is given up, so that
    // the next open starts afresh and nothing it still holds plays later.
    void drop(Error why);

private:
    // How often someone waiting for the server looks at the clock.
    static constexpr pa_usec_t kWaitTickUsec = 100'000;

    static void connectSoon(pa_mainloop_api*, void* self);
    static void onContextState(pa_context*, void* self);
    static void onTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self);

    void ensureContext();
    void retire();
    void armTimer(pa_usec_t due);

    pa_threaded_mainloop* loop_ = nullptr;
    bool closing_ = false;
    pa_context* context_ = nullptr;
    pa_time_event* timer_ = nullptr;
    bool timerArmed_ = false;
    pa_usec_t timerDue_ = 0;
    int waiters_ = 0;
    std::vector<Watched*> streams_;
};

} // namespace pikota::sound

// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/PulseConnection.h"

#include <algorithm>

namespace pikota::sound {

PulseConnection::PulseConnection() {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        if (loop_)
            pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return;
    }
    // Connecting reads the client configuration and may ask the X server where the sound server is:
    // done on the loop's thread, so that making the engine costs the caller nothing.
    Lock lock(*this);
    pa_mainloop_api_once(pa_threaded_mainloop_get_api(loop_), &PulseConnection::connectSoon, this);
}

PulseConnection::~PulseConnection() {
    if (!loop_)
        return;
    {
        Lock lock(*this);
        closing_ = true;
        if (timer_)
            pa_threaded_mainloop_get_api(loop_)->time_free(timer_);
        retire();
        if (context_)
            pa_context_unref(context_);
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

Error PulseConnection::connect(Clock::time_point deadline) {
    ensureContext();
    if (!context_ || pa_context_get_state(context_) == PA_CONTEXT_UNCONNECTED)
        return Error::NoSoundServer; // no memory, or a server address that cannot be used
    const bool settled = waitUntil(
        [&] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        deadline);
    if (!settled) {
        drop(Error::DeviceNotResponding);
        return Error::DeviceNotResponding;
    }
    if (pa_context_get_state(context_) == PA_CONTEXT_READY)
        return Error::None;
    return pa_context_errno(context_) == PA_ERR_TIMEOUT ? Error::DeviceNotResponding : Error::NoSoundServer;
}

void PulseConnection::drop(Error why) {
    for (Watched* stream : streams_)
        stream->fail(why);
    retire();
    signal();
}

void PulseConnection::connectSoon(pa_mainloop_api*, void* self) {
    auto* connection = static_cast<PulseConnection*>(self);
    if (!connection->closing_)
        connection->ensureContext();
}

void PulseConnection::ensureContext() {
    if (context_ && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
        return;
    // The desktop's sound settings find the program's entry by its id, which is its desktop entry's.
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "ピコタ");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.example.pikota");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "pikota");
    pa_context* context =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "ピコタ", properties);
    pa_proplist_free(properties);
    if (!context)
        return;
    // The old context stays until here: the loop's timer needs a context to be set.
    retire();
    if (context_)
        pa_context_unref(context_);
    context_ = context;
    if (!timer_)
        timer_ = pa_context_rttime_new(context_, PA_USEC_INVALID, &PulseConnection::onTimer, this);
    pa_context_set_state_callback(context_, &PulseConnection::onContextState, this);
    // A failure shows in the state; autospawn would start a server of our own, never wanted here.
    pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
}

// Hangs up the current context, which stays as an object until the next one replaces it.
void PulseConnection::retire() {
    if (!context_)
        return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
        pa_context_disconnect(context_);
}

// Makes the timer go off at `due` (on the real-time clock) at the latest.
void PulseConnection::armTimer(pa_usec_t due) {
    if (!timer_ || !context_)
        return;
    if (timerArmed_ && timerDue_ <= due)
        return;
    pa_context_rttime_restart(context_, timer_, due);
    timerArmed_ = true;
    timerDue_ = due;
}

void PulseConnection::onContextState(pa_context*, void* self) {
    static_cast<PulseConnection*>(self)->signal();
}

void PulseConnection::onTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    auto* connection = static_cast<PulseConnection*>(self);
    connection->timerArmed_ = false;
    const auto now = Clock::now();
    bool responding = true;
    pa_usec_t next = PA_USEC_INVALID;
    for (Watched* stream : connection->streams_)
        responding = stream->watch(now, next) && responding;
    if (!responding) {
        connection->drop(Error::DeviceNotResponding);
        next = PA_USEC_INVALID;
    }
    connection->signal();
    if (connection->waiters_ > 0)
        next = std::min(next, pa_rtclock_now() + kWaitTickUsec);
    if (next != PA_USEC_INVALID)
        connection->armTimer(next);
}

} // namespace pikota::sound

// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the default sink of the sound server plays, captured from its monitor through libpulse with
// small fragments, each noted with the moment it arrived; and a file whose every frame says which frame
// it is (a slow ramp), so that the capture tells which frame of the file the sink played when. Shared by
// the device tests and bench_sound.

#include <pulse/pulseaudio.h>

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace pikota::test {

// A file of `frames` stereo float frames at `rate` whose value rises steadily from kRampLow to kRampHigh:
// frame f has kRampLow + (kRampHigh - kRampLow) * f / frames on both channels, never silence.
inline constexpr double kRampLow = 0.05;
inline constexpr double kRampHigh = 0.95;

inline void writeRamp(const std::string& path, int rate, std::int64_t frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    std::vector<float> data(static_cast<std::size_t>(frames) * 2);
    for (std::int64_t f = 0; f < frames; ++f)
        data[static_cast<std::size_t>(f) * 2] = data[static_cast<std::size_t>(f) * 2 + 1] =
            static_cast<float>(kRampLow + (kRampHigh - kRampLow) * static_cast<double>(f) / frames);
    sf_writef_float(file, data.data(), frames);
    sf_close(file);
}

// The ramp frame a captured sample stands for, or -1 for silence.
inline double rampFrame(std::int16_t sample, std::int64_t frames) {
    const double value = sample / 32768.0;
    if (value < kRampLow / 2)
        return -1;
    return (value - kRampLow) / (kRampHigh - kRampLow) * static_cast<double>(frames);
}

// Records the monitor of the server's default sink (PULSE_SERVER) as signed 16-bit for as long as it
// lives, and keeps the left channel (a mono capture would be a mix whose level differs between servers).
// Throws if the server cannot be reached.
class SinkMonitor {
public:
    using Clock = std::chrono::steady_clock;
    struct Chunk {
        Clock::time_point arrival;
        std::size_t end; // samples captured up to and including this chunk
    };

    explicit SinkMonitor(int rate = 44100, int fragmentMs = 10) : rate_(rate) {
        loop_ = pa_threaded_mainloop_new();
        pa_threaded_mainloop_start(loop_);
        pa_threaded_mainloop_lock(loop_);
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "pikota sink monitor");
        pa_context_set_state_callback(context_, &SinkMonitor::signal, loop_);
        pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
        if (!waitFor([&] { return pa_context_get_state(context_) == PA_CONTEXT_READY; })) {
            pa_threaded_mainloop_unlock(loop_);
            close();
            throw std::runtime_error("the sink monitor cannot reach the sound server");
        }
        pa_operation_unref(pa_context_get_server_info(context_, &SinkMonitor::serverInfo, this));
        waitFor([&] { return !sink_.empty(); });
        const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate), 2};
        stream_ = pa_stream_new(context_, "monitor", &spec, nullptr);
        pa_stream_set_state_callback(stream_, &SinkMonitor::streamSignal, loop_);
        pa_stream_set_read_callback(stream_, &SinkMonitor::read, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(fragmentMs * 1000, &spec));
        pa_stream_connect_record(stream_, (sink_ + ".monitor").c_str(), &attr,
                                 static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                                PA_STREAM_INTERPOLATE_TIMING |
                                                                PA_STREAM_AUTO_TIMING_UPDATE));
        const bool ready = waitFor([&] { return pa_stream_get_state(stream_) == PA_STREAM_READY; });
        pa_threaded_mainloop_unlock(loop_);
        if (!ready) {
            close();
            throw std::runtime_error("the sink monitor cannot record " + sink_ + ".monitor");
        }
    }
    ~SinkMonitor() { close(); }
    SinkMonitor(const SinkMonitor&) = delete;
    SinkMonitor& operator=(const SinkMonitor&) = delete;

    int rate() const { return rate_; }
    std::size_t size() {
        std::lock_guard lock(mutex_);
        return samples_.size();
    }
    std::vector<std::int16_t> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    std::vector<Chunk> chunks() {
        std::lock_guard lock(mutex_);
        return chunks_;
    }
    // The sample of the capture that the sink plays now, by the server's own account of the latencies
    // (the monitor's time), or -1 while the server has not told yet.
    double playingNow() {
        pa_threaded_mainloop_lock(loop_);
        pa_usec_t usec = 0;
        const bool known = pa_stream_get_time(stream_, &usec) == 0;
        pa_threaded_mainloop_unlock(loop_);
        return known ? static_cast<double>(usec) * rate_ / 1e6 : -1;
    }
    // Waits until `count` more samples than now have arrived; false after `limit`.
    bool waitForMore(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const std::size_t target = size() + count;
        const auto end = Clock::now() + limit;
        while (size() < target) {
            if (Clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    template <typename Done> bool waitFor(Done done) {
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (!done()) {
            const auto state = pa_context_get_state(context_);
            if (!PA_CONTEXT_IS_GOOD(state) || (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) ||
                Clock::now() > end)
                return false;
            pa_threaded_mainloop_unlock(loop_);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            pa_threaded_mainloop_lock(loop_);
        }
        return true;
    }
    static void signal(pa_context*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }
    static void streamSignal(pa_stream*, void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }
    static void serverInfo(pa_context*, const pa_server_info* info, void* self) {
        static_cast<SinkMonitor*>(self)->sink_ =
            info && info->default_sink_name ? info->default_sink_name : "";
    }
    static void read(pa_stream* stream, std::size_t, void* self) {
        auto* monitor = static_cast<SinkMonitor*>(self);
        const auto now = Clock::now();
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            std::lock_guard lock(monitor->mutex_);
            const std::size_t frames = bytes / 4;
            if (data) {
                const auto* in = static_cast<const std::int16_t*>(data);
                for (std::size_t f = 0; f < frames; ++f)
                    monitor->samples_.push_back(in[f * 2]);
            } else {
                monitor->samples_.insert(monitor->samples_.end(), frames, 0);
            }
            monitor->chunks_.push_back({now, monitor->samples_.size()});
            pa_stream_drop(stream);
        }
    }
    void close() {
        if (!loop_)
            return;
        pa_threaded_mainloop_lock(loop_);
        if (stream_) {
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
        pa_threaded_mainloop_unlock(loop_);
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }

    const int rate_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::string sink_;
    std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    std::vector<Chunk> chunks_;
};

// The ramp frame that the sink played at `when`, from the monitor: the last frame captured by then, moved
// on by the time since it arrived (at most one chunk's worth, the most the capture can lag). -1 before
// the ramp has reached the sink.
inline double playedAt(const std::vector<std::int16_t>& samples,
                       const std::vector<SinkMonitor::Chunk>& chunks, SinkMonitor::Clock::time_point when,
                       std::int64_t rampFrames, int rate) {
    auto after = std::upper_bound(chunks.begin(), chunks.end(), when,
                                  [](auto t, const SinkMonitor::Chunk& c) { return t < c.arrival; });
    if (after == chunks.begin())
        return -1;
    const SinkMonitor::Chunk& last = *(after - 1);
    const double frame = rampFrame(samples[last.end - 1], rampFrames);
    if (frame < 0)
        return -1;
    const std::size_t chunkSamples = after - 1 == chunks.begin() ? last.end : last.end - (after - 2)->end;
    const double since = std::chrono::duration<double>(when - last.arrival).count() * rate;
    return frame + std::clamp(since, 0.0, static_cast<double>(chunkSamples));
}

} // namespace pikota::test

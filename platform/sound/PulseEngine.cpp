// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/PulseEngine.h"

#include "platform/sound/PlaybackClock.h"
#include "platform/sound/PulseConnection.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace pikota::sound {

namespace {

using Clock = std::chrono::steady_clock;

// The longest any call waits for the server.
constexpr auto kAnswerLimit = std::chrono::milliseconds(1500);
// A running stream that gets no data, is asked for none, or whose server does not answer for this long
// has a server that does not respond.
constexpr auto kStallLimit = std::chrono::milliseconds(1200);
// How often a playback asks the server where it is: four times a second, and every 10 ms while its
// clock wants quick answers (PlaybackClock::wantsQuickAnswers). A recording asks nothing: the data it
// gets shows that the server is there (see PulseStream::check).
constexpr pa_usec_t kPlaybackTickUsec = 250'000;
constexpr pa_usec_t kStartingTickUsec = 10'000;
// Buffers: what a plain player costs, measured against paplay and parecord (bench_cpu); every wakeup
// counts. A playback asks for 300 ms in all and for more each time 100 ms have been played: PulseAudio
// gives half of what is left over after twice the request to the sink, 50 ms (a sink left with less
// works in tiny blocks, and its null sink then runs fast), and holds the rest for the stream. Recorded
// data comes in pieces of up to 340 ms (PulseAudio sends smaller ones when its source works in smaller
// blocks; pipewire-pulse sends at most 64 KiB a piece, 371 ms of 44.1 kHz stereo, and a larger piece
// would make it fall behind). While a recording stops, it comes in pieces of 10 ms, so that the stop
// need not wait for a whole one. PipeWire picks its cycle from these.
constexpr pa_usec_t kPlaybackLatencyUsec = 300'000;
constexpr pa_usec_t kPlaybackRequestUsec = 100'000;
constexpr pa_usec_t kRecordFragmentUsec = 340'000;
constexpr pa_usec_t kStoppingFragmentUsec = 10'000;
// The first frames of a recording are left out: when the server resamples the source (PipeWire's graph
// at 48 kHz, the recording at 44.1 kHz), its resampler starts with a ring that lasts about 20 frames, a
// click at the start of every recording. 32 frames are 0.7 ms.
constexpr std::size_t kSettlingFrames = 32;

void unrefOperation(pa_operation* operation) {
    if (operation)
        pa_operation_unref(operation);
}

// One stream, created corked on the server at open. Its members are used with the loop locked.
class PulseStream final : public Stream, public PulseConnection::Watched {
public:
    PulseStream(std::shared_ptr<PulseConnection> connection, const pa_sample_spec& spec, OutputSource* source,
                InputSink* sink)
        : connection_(std::move(connection)), spec_(spec), source_(source), sink_(sink),
          frameBytes_(pa_frame_size(&spec)),
          bytesPerSecond_(static_cast<double>(pa_bytes_per_second(&spec))) {
        connection_->add(this);
    }

    ~PulseStream() override {
        PulseConnection::Lock lock(*connection_);
        running_ = false;
        cancelTiming();
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            // Sent, never waited for: a server that does not answer cannot hold up a close.
            if (pa_stream_get_state(stream_) == PA_STREAM_READY)
                pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        connection_->remove(this);
    }

    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // Creates the stream on the server, corked, and waits until it is there (loop locked).
    Error connect(Clock::time_point deadline) {
        pa_context* context = connection_->context();
        // Both are sound being worked on, not music to be ducked under a call or an announcement (which the
        // desktop's policy does to "music"): what is compared must be heard as it is.
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "production");
        stream_ =
            pa_stream_new_with_proplist(context, source_ ? "再生" : "録音", &spec_, nullptr, properties);
        pa_proplist_free(properties);
        if (!stream_)
            return openError(pa_context_errno(context));
        pa_stream_set_state_callback(stream_, &PulseStream::onState, this);
        pa_buffer_attr attributes;
        attributes.maxlength = attributes.tlength = attributes.prebuf = attributes.minreq =
            attributes.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        int result = 0;
        if (source_) {
            attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kPlaybackLatencyUsec, &spec_));
            attributes.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kPlaybackRequestUsec, &spec_));
            pa_stream_set_write_callback(stream_, &PulseStream::onWrite, this);
            result = pa_stream_connect_playback(stream_, nullptr, &attributes, flags, nullptr, nullptr);
        } else {
            attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kRecordFragmentUsec, &spec_));
            pa_stream_set_read_callback(stream_, &PulseStream::onRead, this);
            result = pa_stream_connect_record(stream_, nullptr, &attributes, flags);
        }
        if (result < 0)
            return openError(pa_context_errno(context));
        const bool settled = connection_->waitUntil(
            [&] {
                const pa_stream_state_t state = pa_stream_get_state(stream_);
                return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
            },
            deadline);
        if (!settled) {
            connection_->drop(Error::DeviceNotResponding);
            return Error::DeviceNotResponding;
        }
        if (pa_stream_get_state(stream_) != PA_STREAM_READY)
            return PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) ? openError(pa_context_errno(context))
                                                                     : Error::SoundServerLost;
        if (source_)
            requestTiming();
        return Error::None;
    }

    Error start() override {
        PulseConnection::Lock lock(*connection_);
        if (error_ != Error::None)
            return error_;
        if (running_)
            return Error::None;
        running_ = true;
        progressAt_ = Clock::now();
        if (source_) {
            clock_.start(seconds(progressAt_)); // from where the flush left the stream
            // The buffer is filled before the stream is let go, so it starts with sound, not a gap.
            const std::size_t writable = pa_stream_writable_size(stream_);
            if (writable != static_cast<std::size_t>(-1))
                fill(writable);
        } else {
            setFragment(kRecordFragmentUsec);
            settling_ = kSettlingFrames;
        }
        unrefOperation(pa_stream_cork(stream_, 0, nullptr, nullptr));
        if (source_) {
            cancelTiming();
            requestTiming();
            connection_->watchWithin(kStartingTickUsec);
        }
        return Error::None;
    }

    void stop() override {
        PulseConnection::Lock lock(*connection_);
        if (!running_)
            return;
        const auto deadline = Clock::now() + kAnswerLimit;
        bool answered = error_ != Error::None || !sink_ || takeWhatWasRecorded(deadline);
        running_ = false;
        clock_.stop();
        if (error_ != Error::None)
            return;
        // Corked, and what the server holds is thrown away: a resume starts with fresh data. The
        // server answers in order, so once the last request is answered all are done.
        unrefOperation(pa_stream_cork(stream_, 1, nullptr, nullptr));
        if (source_) {
            unrefOperation(pa_stream_flush(stream_, nullptr, nullptr));
            cancelTiming();
            requestTiming();
            answered = answered &&
                       connection_->waitUntil([&] { return !timingOp_ || error_ != Error::None; }, deadline);
            // The flush moved the server's write index back to what has been played.
            const pa_timing_info* timing =
                error_ == Error::None ? pa_stream_get_timing_info(stream_) : nullptr;
            if (timing && !timing->write_index_corrupt)
                writeIndex_ = timing->write_index;
            else if (timing && !timing->read_index_corrupt)
                writeIndex_ = timing->read_index; // where a flush leaves the write index
            clock_.setWritten(static_cast<double>(writeIndex_) / bytesPerSecond_);
        } else {
            // Whatever arrives before the flush is answered is dropped by onRead.
            pa_operation* flush = pa_stream_flush(stream_, &PulseStream::onDone, this);
            answered = answered && connection_->waitUntil(
                                       [&] {
                                           return !flush ||
                                                  pa_operation_get_state(flush) != PA_OPERATION_RUNNING ||
                                                  error_ != Error::None;
                                       },
                                       deadline);
            unrefOperation(flush);
        }
        if (!answered)
            connection_->drop(Error::DeviceNotResponding);
    }

    double time() const override {
        PulseConnection::Lock lock(*connection_);
        return clock_.heard(seconds(Clock::now()));
    }

    Error error() const override {
        PulseConnection::Lock lock(*connection_);
        return error_;
    }

    // A recording has no timer looking after it (its data shows the server is there, and a timer would
    // cost more than the rest): here it finds out that the data stopped, and gives the server up.
    Error check() override {
        PulseConnection::Lock lock(*connection_);
        if (sink_ && running_ && error_ == Error::None && Clock::now() - progressAt_ > kStallLimit)
            connection_->drop(Error::DeviceNotResponding);
        return error_;
    }

    // Gives the stream up for `why`, unless it has failed already (loop locked).
    void fail(Error why) override {
        if (error_ == Error::None)
            error_ = why;
        running_ = false;
        clock_.stop();
        connection_->signal();
    }

    // Called by the loop's timer: a running playback asks where it is, checks that the server answers
    // and the stream moves, and says when it wants to be called again (`next`, on the real-time clock).
    // False when the server has not responded for too long.
    bool watch(Clock::time_point now, pa_usec_t& next) override {
        if (!source_ || !running_ || error_ != Error::None)
            return true;
        if (now - progressAt_ > kStallLimit)
            return false;
        if (!timingOp_)
            requestTiming();
        else if (now - timingSentAt_ > kStallLimit)
            return false;
        next = std::min(next, pa_rtclock_now() +
                                  (clock_.wantsQuickAnswers() ? kStartingTickUsec : kPlaybackTickUsec));
        return true;
    }

private:
    Error openError(int code) const {
        switch (code) {
        case PA_ERR_NOENTITY:
            return source_ ? Error::NoOutputDevice : Error::NoInputDevice;
        case PA_ERR_BUSY:
            return Error::DeviceBusy;
        case PA_ERR_INVALID:
        case PA_ERR_NOTSUPPORTED:
            return Error::FormatNotSupported;
        case PA_ERR_TIMEOUT:
            return Error::DeviceNotResponding;
        case PA_ERR_CONNECTIONTERMINATED:
            return Error::SoundServerLost;
        default:
            return Error::StreamRefused;
        }
    }

    // Recorded data comes in pieces, so what was recorded up to the moment of the stop may still be on
    // its way. Asks the server how far it has recorded and takes the data until there, no further.
    // False if the server does not answer in time.
    bool takeWhatWasRecorded(Clock::time_point deadline) {
        const auto asked = Clock::now();
        setFragment(kStoppingFragmentUsec);
        pa_operation* question = pa_stream_update_timing_info(stream_, &PulseStream::onDone, this);
        if (!question)
            return true;
        const bool answered = connection_->waitUntil(
            [&] { return pa_operation_get_state(question) != PA_OPERATION_RUNNING || error_ != Error::None; },
            deadline);
        pa_operation_unref(question);
        const pa_timing_info* timing =
            answered && error_ == Error::None ? pa_stream_get_timing_info(stream_) : nullptr;
        pa_usec_t usec = 0;
        if (!timing || timing->read_index_corrupt || pa_stream_get_time(stream_, &usec) != 0)
            return answered;
        // The stream's time is the frame being recorded now, counted like the read index.
        const double recorded =
            static_cast<double>(usec) / 1e6 - std::chrono::duration<double>(Clock::now() - asked).count();
        const auto until = static_cast<std::int64_t>(recorded * bytesPerSecond_) /
                           static_cast<std::int64_t>(frameBytes_) * static_cast<std::int64_t>(frameBytes_);
        remaining_ = std::max<std::int64_t>(0, until - timing->read_index);
        limited_ = true;
        const bool arrived =
            connection_->waitUntil([&] { return remaining_ == 0 || error_ != Error::None; }, deadline);
        limited_ = false;
        return arrived;
    }

    void setFragment(pa_usec_t usec) {
        if (fragmentUsec_ == usec)
            return;
        fragmentUsec_ = usec;
        pa_buffer_attr attributes;
        attributes.maxlength = attributes.tlength = attributes.prebuf = attributes.minreq =
            static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(usec, &spec_));
        unrefOperation(pa_stream_set_buffer_attr(stream_, &attributes, nullptr, nullptr));
    }

    static double seconds(Clock::time_point at) {
        return std::chrono::duration<double>(at.time_since_epoch()).count();
    }

    void requestTiming() {
        if (timingOp_ || !stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY)
            return;
        timingOp_ = pa_stream_update_timing_info(stream_, &PulseStream::onTiming, this);
        timingSentAt_ = Clock::now();
    }
    void cancelTiming() {
        if (!timingOp_)
            return;
        pa_operation_cancel(timingOp_);
        pa_operation_unref(timingOp_);
        timingOp_ = nullptr;
    }

    // Renders `bytes` of sound into the stream, where the server's write index says it lands.
    void fill(std::size_t bytes) {
        while (bytes >= frameBytes_) {
            void* data = nullptr;
            std::size_t size = bytes;
            if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data)
                return;
            size = std::min(size, bytes);
            size -= size % frameBytes_;
            if (size == 0) {
                pa_stream_cancel_write(stream_);
                return;
            }
            source_->render(static_cast<float*>(data), size / frameBytes_,
                            static_cast<double>(writeIndex_) / bytesPerSecond_, true);
            if (pa_stream_write(stream_, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return;
            writeIndex_ += static_cast<std::int64_t>(size);
            clock_.setWritten(static_cast<double>(writeIndex_) / bytesPerSecond_);
            bytes -= size;
        }
    }

    static void onState(pa_stream* stream, void* self) {
        auto* me = static_cast<PulseStream*>(self);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY)
            me->wasReady_ = true;
        else if (!PA_STREAM_IS_GOOD(state) && me->wasReady_) {
            pa_context* context = pa_stream_get_context(stream);
            me->fail(context && PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) ? Error::StreamRefused
                                                                                  : Error::SoundServerLost);
        }
        me->connection_->signal();
    }

    static void onWrite(pa_stream*, std::size_t bytes, void* self) {
        auto* me = static_cast<PulseStream*>(self);
        if (!me->running_ || me->error_ != Error::None)
            return;
        me->progressAt_ = Clock::now(); // the server asks for more only when it has played some
        me->fill(bytes);
    }

    static void onRead(pa_stream* stream, std::size_t, void* self) {
        auto* me = static_cast<PulseStream*>(self);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            if (me->running_ && me->error_ == Error::None) {
                me->take(static_cast<const std::int16_t*>(data), bytes / me->frameBytes_);
                me->progressAt_ = Clock::now();
            }
            pa_stream_drop(stream);
        }
    }

    // Hands a piece of recorded data to the sink; `samples` is null for a hole (the server lost data),
    // which keeps its length as silence.
    void take(const std::int16_t* samples, std::size_t frames) {
        if (limited_) {
            // Stopping: only what was recorded before the stop.
            frames = std::min(frames, static_cast<std::size_t>(remaining_) / frameBytes_);
            remaining_ -= static_cast<std::int64_t>(frames * frameBytes_);
            connection_->signal();
        }
        const std::size_t settling = std::min(frames, settling_);
        settling_ -= settling;
        frames -= settling;
        if (frames == 0)
            return;
        if (samples) {
            sink_->capture(samples + settling * spec_.channels, frames);
        } else {
            silence_.assign(frames * spec_.channels, 0);
            sink_->capture(silence_.data(), frames);
        }
    }

    static void onTiming(pa_stream* stream, int success, void* self) {
        auto* me = static_cast<PulseStream*>(self);
        if (me->timingOp_) {
            pa_operation_unref(me->timingOp_);
            me->timingOp_ = nullptr;
        }
        const pa_timing_info* timing = success ? pa_stream_get_timing_info(stream) : nullptr;
        pa_usec_t usec = 0;
        if (timing && pa_stream_get_time(stream, &usec) == 0) {
            const auto now = Clock::now();
            // The frame being heard, by the server's account: what the sink has taken less what it
            // still holds. libpulse counts the answer's way back as long as the question's way there;
            // on one machine the server's clock is ours, and the answer's true age is known. A corked
            // stream stands still at the last frame the sink took, however long the question took to
            // get there: a server slow to answer the question after a pause would otherwise put the
            // pause that much early, and the resume would play those frames again.
            double heard = static_cast<double>(usec) / 1e6;
            if (timing->synchronized_clocks && !pa_stream_is_corked(stream))
                heard += static_cast<double>(pa_timeval_age(&timing->timestamp)) / 1e6 -
                         static_cast<double>(timing->transport_usec) / 1e6;
            me->clock_.answer({.arrived = seconds(now),
                               .heard = heard,
                               .onTheWay = static_cast<double>(timing->transport_usec) / 1e6,
                               .playing = timing->playing != 0});
            if (timing->read_index != me->lastReadIndex_) {
                me->lastReadIndex_ = timing->read_index;
                me->progressAt_ = now;
            }
        }
        me->connection_->signal();
    }

    static void onDone(pa_stream*, int, void* self) {
        static_cast<PulseStream*>(self)->connection_->signal();
    }

    std::shared_ptr<PulseConnection> connection_;
    const pa_sample_spec spec_;
    OutputSource* const source_;
    InputSink* const sink_;
    const std::size_t frameBytes_;
    const double bytesPerSecond_;
    pa_stream* stream_ = nullptr;
    bool wasReady_ = false;
    bool running_ = false;
    Error error_ = Error::None;
    std::vector<std::int16_t> silence_;
    // While a recording stops: the bytes still to take before the moment of the stop.
    bool limited_ = false;
    std::int64_t remaining_ = 0;
    std::size_t settling_ = 0; // frames still to leave out at the start
    pa_usec_t fragmentUsec_ = kRecordFragmentUsec;

    // Where the next write lands (bytes), and the frame being heard (it keeps to the moment it last
    // gave, so asking it changes it).
    std::int64_t writeIndex_ = 0;
    mutable PlaybackClock clock_;

    // The watchdog: the question in flight, and the last sign of the stream moving.
    pa_operation* timingOp_ = nullptr;
    Clock::time_point timingSentAt_;
    std::int64_t lastReadIndex_ = -1;
    Clock::time_point progressAt_;
};

class PulseEngine final : public Engine {
public:
    PulseEngine() : connection_(std::make_shared<PulseConnection>()) {}

    Error openOutput(int rate, OutputSource& source, std::unique_ptr<Stream>& stream) override {
        return open(PA_SAMPLE_FLOAT32LE, rate, kOutputChannels, &source, nullptr, stream);
    }
    Error openInput(int rate, int channels, InputSink& sink, std::unique_ptr<Stream>& stream) override {
        return open(PA_SAMPLE_S16LE, rate, channels, nullptr, &sink, stream);
    }

private:
    Error open(pa_sample_format_t format, int rate, int channels, OutputSource* source, InputSink* sink,
               std::unique_ptr<Stream>& stream) {
        if (!connection_->usable())
            return Error::NoSoundServer;
        if (rate <= 0 || channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX))
            return Error::FormatNotSupported;
        const pa_sample_spec spec{format, static_cast<std::uint32_t>(rate),
                                  static_cast<std::uint8_t>(channels)};
        if (!pa_sample_spec_valid(&spec))
            return Error::FormatNotSupported;
        const auto deadline = Clock::now() + kAnswerLimit;
        PulseConnection::Lock lock(*connection_);
        Error error = Error::None;
        // A connection that breaks during the open (the server went away just before) is made once
        // more, afresh: the server may be back, or the open says that there is none.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (error = connection_->connect(deadline); error != Error::None)
                return error;
            auto opened = std::make_unique<PulseStream>(connection_, spec, source, sink);
            if (error = opened->connect(deadline); error == Error::None) {
                stream = std::move(opened);
                return Error::None;
            }
            if (error != Error::SoundServerLost)
                break;
        }
        return error;
    }

    std::shared_ptr<PulseConnection> connection_;
};

} // namespace

std::shared_ptr<Engine> makePulseEngine() { return std::make_shared<PulseEngine>(); }

} // namespace pikota::sound

#include "platform/sound/PortAudioEngine.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace pikota::sound {

namespace {

// Sends stderr to /dev/null for as long as it lives. ALSA's and JACK's libraries print their probing
// of absent devices and servers straight to file descriptor 2; there is no other way to hush all of
// them. Whatever another thread prints meanwhile is lost too, which is why it lives only for the
// calls that need it.
class QuietStderr {
public:
    QuietStderr() {
        fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0)
            dup2(null, STDERR_FILENO);
        if (null >= 0)
            close(null);
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            fflush(stderr);
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

// ALSA reports every recovered underrun and every device it fails to probe on stderr, also from the
// audio thread. The program has nothing to show these to; the device reports its failures by code.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

int outputCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                   PaStreamCallbackFlags, void* user) {
    auto* source = static_cast<OutputSource*>(user);
    // Some host APIs leave the DAC time at 0; then the buffer is taken to be heard now.
    const double dac = time->outputBufferDacTime > 0 ? time->outputBufferDacTime : time->currentTime;
    source->render(static_cast<float*>(output), frames, dac, true);
    return paContinue;
}

int inputCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user) {
    if (input)
        static_cast<InputSink*>(user)->capture(static_cast<const std::int16_t*>(input), frames);
    return paContinue;
}

// PortAudio is one per process, so its state is too. It is started by the first open. After an open
// that fails while nothing else is open it is shut down again, so that the next open scans the
// devices afresh and reads the ALSA configuration again, whose pulse hook routes "default" to a sound
// server only if one was running when it was read: a server started later is found that way. After a
// successful open it stays up (opening a stream on "default" reaches whatever the server offers now),
// and it is not shut down at exit: the ALSA plugins it would unload keep allocations of their own.
class PortAudioSession {
public:
    static PortAudioSession& instance() {
        static PortAudioSession* session = new PortAudioSession;
        return *session;
    }

    Error open(bool input, int rate, int channels, void* user, PaStream*& handle) {
        std::lock_guard lock(mutex_);
        QuietStderr quiet;
        const Error missing = input ? Error::NoInputDevice : Error::NoOutputDevice;
        if (!initialised_) {
            snd_lib_error_set_handler(quietAlsa);
            if (Pa_Initialize() != paNoError)
                return missing;
            initialised_ = true;
        }
        const PaDeviceIndex device = findDevice(input);
        const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
        if (!info || (input ? info->maxInputChannels : info->maxOutputChannels) <= 0) {
            shutDownIfIdle();
            return missing;
        }
        PaStreamParameters parameters{};
        parameters.device = device;
        parameters.channelCount = channels;
        parameters.sampleFormat = input ? paInt16 : paFloat32;
        // The higher latency: the position accounts for it, and it keeps a loaded machine from dropping out.
        parameters.suggestedLatency = input ? info->defaultHighInputLatency : info->defaultHighOutputLatency;
        const PaError error = Pa_OpenStream(&handle, input ? &parameters : nullptr,
                                            input ? nullptr : &parameters, rate, paFramesPerBufferUnspecified,
                                            paNoFlag, input ? inputCallback : outputCallback, user);
        if (error != paNoError) {
            shutDownIfIdle();
            if (error == paInvalidSampleRate || error == paInvalidChannelCount ||
                error == paSampleFormatNotSupported)
                return Error::FormatNotSupported;
            if (error == paDeviceUnavailable || error == paInvalidDevice)
                return missing;
            return Error::DeviceFailed;
        }
        ++streams_;
        return Error::None;
    }

    void close(PaStream* stream) {
        std::lock_guard lock(mutex_);
        QuietStderr quiet;
        Pa_CloseStream(stream);
        --streams_;
    }

private:
    // The "default" device of the ALSA host API, the one the desktop routes; otherwise PortAudio's own.
    static PaDeviceIndex findDevice(bool input) {
        const PaHostApiIndex alsa = Pa_HostApiTypeIdToHostApiIndex(paALSA);
        if (alsa >= 0) {
            const PaHostApiInfo* api = Pa_GetHostApiInfo(alsa);
            for (int i = 0; api && i < api->deviceCount; ++i) {
                const PaDeviceIndex index = Pa_HostApiDeviceIndexToDeviceIndex(alsa, i);
                const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
                if (info && std::strcmp(info->name, "default") == 0 &&
                    (input ? info->maxInputChannels : info->maxOutputChannels) > 0)
                    return index;
            }
        }
        return input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
    }

    void shutDownIfIdle() {
        if (streams_ == 0 && initialised_) {
            Pa_Terminate();
            initialised_ = false;
        }
    }

    std::mutex mutex_;
    bool initialised_ = false;
    int streams_ = 0;
};

class PortAudioStream final : public Stream {
public:
    explicit PortAudioStream(PaStream* stream) : stream_(stream) {}
    ~PortAudioStream() override {
        stop();
        PortAudioSession::instance().close(stream_);
    }

    Error start() override {
        QuietStderr quiet;
        return Pa_StartStream(stream_) == paNoError ? Error::None : Error::DeviceFailed;
    }
    void stop() override {
        if (Pa_IsStreamStopped(stream_) == 0)
            Pa_AbortStream(stream_);
    }
    double time() const override { return Pa_GetStreamTime(stream_); }

private:
    PaStream* stream_;
};

class PortAudioEngine final : public Engine {
public:
    Error openOutput(int rate, OutputSource& source, std::unique_ptr<Stream>& stream) override {
        return open(false, rate, kOutputChannels, &source, stream);
    }
    Error openInput(int rate, int channels, InputSink& sink, std::unique_ptr<Stream>& stream) override {
        return open(true, rate, channels, &sink, stream);
    }

private:
    // A sound server that accepts connections but does not answer (stopped, or hung) would block the
    // open inside libpulse for ever. The open therefore runs on a thread of its own; if it has not
    // finished in time the device reports failure and the thread is left to finish alone, closing
    // whatever it opened too late.
    static constexpr auto kOpenTimeout = std::chrono::seconds(4);

    struct PendingOpen {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool abandoned = false;
        Error error = Error::DeviceFailed;
        PaStream* handle = nullptr;
    };

    static Error open(bool input, int rate, int channels, void* user, std::unique_ptr<Stream>& stream) {
        auto pending = std::make_shared<PendingOpen>();
        std::thread([=] {
            PaStream* handle = nullptr;
            const Error error = PortAudioSession::instance().open(input, rate, channels, user, handle);
            std::lock_guard lock(pending->mutex);
            if (pending->abandoned) {
                if (error == Error::None)
                    PortAudioSession::instance().close(handle);
                return;
            }
            pending->error = error;
            pending->handle = handle;
            pending->finished = true;
            pending->done.notify_one();
        }).detach();

        std::unique_lock lock(pending->mutex);
        if (!pending->done.wait_for(lock, kOpenTimeout, [&] { return pending->finished; })) {
            pending->abandoned = true;
            return Error::DeviceNotResponding;
        }
        if (pending->error == Error::None)
            stream = std::make_unique<PortAudioStream>(pending->handle);
        return pending->error;
    }
};

} // namespace

std::shared_ptr<Engine> makePortAudioEngine() { return std::make_shared<PortAudioEngine>(); }

} // namespace pikota::sound

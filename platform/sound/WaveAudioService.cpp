// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/WaveAudioService.h"

#include "platform/files/RegularFile.h"
#include "platform/sound/Player.h"
#include "platform/sound/PulseEngine.h"
#include "platform/sound/Recorder.h"

#include <cstring>

namespace pikota::sound {

namespace {

constexpr std::string_view kAlias = "wfile";

std::int64_t toMilliseconds(std::int64_t frames, int rate) { return rate > 0 ? frames * 1000 / rate : 0; }

// At most this many steps in an envelope reply, so that it fits the 255 bytes of a reply.
constexpr std::size_t kEnvelopeSteps = 15;

// "first framesPerStep rate low high low high ...": where the steps begin, in frames, how many frames
// each covers, the frames per second, and the lowest and highest left sample of each step.
std::string envelopeText(const EnvelopeRing::Envelope& envelope) {
    std::string text = std::to_string(envelope.first) + ' ' + std::to_string(envelope.framesPerStep) + ' ' +
                       std::to_string(Recorder::kRate);
    for (const auto& [low, high] : envelope.steps)
        text += ' ' + std::to_string(low) + ' ' + std::to_string(high);
    return text;
}

} // namespace

struct WaveAudioService::Device {
    // A new recording: recorder and input. A file: player and output. A recording being played back
    // has a player and an output too. Members are destroyed bottom-up, so a stream closes before the
    // source or sink it calls.
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<Stream> input;
    std::unique_ptr<Player> player;
    std::unique_ptr<Stream> output;
    std::int64_t position = 0; // frames, while nothing plays or records
    // A recording cut short is reported by "stop" and by the next "save", which then writes nothing;
    // once a "save" has said so, what was kept can be saved.
    bool cutReported = false;

    bool holdsRecording() const { return recorder != nullptr; }
    // The reason a recording was cut short, while that has not been reported by a save.
    Error unreportedCut() const { return recorder && !cutReported ? recorder->failure() : Error::None; }
    int rate() const { return recorder ? Recorder::kRate : player->rate(); }
};

WaveAudioService::WaveAudioService(std::shared_ptr<Engine> engine) : engine_(std::move(engine)) {}

WaveAudioService::~WaveAudioService() {
    if (device_)
        stop();
}

std::int32_t WaveAudioService::sendString(const char* command, char* reply, std::uint32_t size) {
    if (!command)
        return static_cast<std::int32_t>(Error::UnknownCommand);
    std::string text;
    Command parsed;
    Error error = parseCommand(command, parsed);
    if (error == Error::None)
        error = execute(parsed, text);
    if (error == Error::None) {
        if (size == 0 || reply == nullptr) {
            if (!text.empty())
                error = Error::ReplyTooSmall;
        } else if (text.size() + 1 > size) {
            error = Error::ReplyTooSmall;
        } else {
            std::memcpy(reply, text.c_str(), text.size() + 1);
        }
    }
    return static_cast<std::int32_t>(error);
}

bool WaveAudioService::errorString(std::int32_t code, char* text, std::uint32_t size) {
    // A recording cut short says how much of it was kept.
    std::string cut;
    if (device_ && device_->recorder && static_cast<std::int32_t>(device_->recorder->failure()) == code)
        cut = recordingCutText(device_->recorder->failure(),
                               static_cast<double>(device_->recorder->frames()) / Recorder::kRate);
    const char* message = cut.empty() ? errorText(code) : cut.c_str();
    if (!message || !text || size == 0)
        return false;
    std::size_t n = std::min<std::size_t>(std::strlen(message), size - 1);
    // Never cut a character in half.
    while (n > 0 && n < std::strlen(message) && (static_cast<unsigned char>(message[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(text, message, n);
    text[n] = '\0';
    return true;
}

Error WaveAudioService::execute(const Command& command, std::string& reply) {
    if (command.verb == Verb::OpenNew || command.verb == Verb::OpenFile) {
        if (command.alias != kAlias)
            return Error::AliasNotAllowed;
        if (device_)
            return Error::AliasInUse;
        return command.verb == Verb::OpenNew ? openNew() : openFile(command.path);
    }
    if (command.alias != kAlias)
        return Error::UnknownAlias;
    if (!device_)
        return Error::NotOpen;

    Device& device = *device_;
    // Every command first looks whether the streams still work; a recording whose data stopped coming
    // is found only so (Stream::check).
    const Error lost = checkStreams();

    // What the device's state does not allow, it refuses whatever the server does.
    switch (command.verb) {
    case Verb::Record:
        if (!device.holdsRecording())
            return Error::CannotRecordIntoFile;
        if (device.player && device.player->running())
            return Error::PlaybackRunning;
        break;
    case Verb::Save:
    case Verb::Envelope:
        if (!device.holdsRecording())
            return Error::NotARecording;
        if (command.verb == Verb::Save && device.recorder->running())
            return Error::RecordingRunning;
        break;
    default:
        break;
    }

    // Once the sound server has gone away or stopped answering, the device plays and records nothing
    // more: every command that needs the sound says why, after stopping what ran; stop, seek and close
    // stop first and then say why (a stop may be what finds out). What was recorded until then can
    // still be saved, and close frees the alias.
    const bool needsSound = command.verb == Verb::Play || command.verb == Verb::Record ||
                            command.verb == Verb::Position || command.verb == Verb::Length ||
                            command.verb == Verb::Envelope;
    if (lost != Error::None && needsSound) {
        stop();
        return lost;
    }

    switch (command.verb) {
    case Verb::Close: {
        stop();
        const Error error = streamError();
        device_.reset();
        return error;
    }
    case Verb::SetTimeFormatMs:
        return Error::None; // milliseconds is the only format this device speaks
    case Verb::Play:
        return play();
    case Verb::Stop:
        stop();
        if (const Error error = streamError(); error != Error::None)
            return error;
        return device.unreportedCut();
    case Verb::SeekToStart:
        stop();
        device.position = 0;
        return streamError();
    case Verb::Record:
        if (device.recorder->running())
            return Error::None;
        // A stopped recording goes on at its end.
        return device.recorder->start(*device.input);
    case Verb::Save:
        if (const Error cut = device.unreportedCut(); cut != Error::None) {
            device.cutReported = true;
            return cut;
        }
        return device.recorder->save(command.path);
    case Verb::Position:
    case Verb::Length:
        reply = std::to_string(
            toMilliseconds(command.verb == Verb::Position ? position() : length(), device.rate()));
        return Error::None;
    case Verb::Envelope:
        reply = envelopeText(device.recorder->envelope().read(command.frame, kEnvelopeSteps));
        return Error::None;
    case Verb::OpenNew:
    case Verb::OpenFile:
        break;
    }
    return Error::UnknownCommand;
}

Error WaveAudioService::openFile(const std::string& path) {
    // A named pipe, a device or a folder is refused at once instead of blocking the open or the read.
    const auto [fd, failure] = files::openRegularFile(path);
    switch (failure) {
    case files::RegularFile::Failure::None:
        break;
    case files::RegularFile::Failure::NotFound:
        return Error::FileNotFound;
    case files::RegularFile::Failure::NotReadable:
        return Error::FileNotReadable;
    case files::RegularFile::Failure::NotRegular:
        return Error::NotAudio;
    }
    auto file = SoundFileHandle::open(std::make_shared<Descriptor>(fd));
    if (!file)
        return Error::NotAudio;
    const SF_INFO format = file->info();
    if (format.samplerate <= 0 || format.channels <= 0)
        return Error::NotAudio;
    auto device = std::make_unique<Device>();
    device->player =
        std::make_unique<Player>(std::move(file), format.samplerate, format.channels, format.frames);
    if (const Error error = engine_->openOutput(format.samplerate, *device->player, device->output);
        error != Error::None)
        return error;
    device_ = std::move(device);
    return Error::None;
}

Error WaveAudioService::openNew() {
    auto device = std::make_unique<Device>();
    device->recorder = std::make_unique<Recorder>();
    if (const Error error = device->recorder->create(); error != Error::None)
        return error;
    if (const Error error =
            engine_->openInput(Recorder::kRate, Recorder::kChannels, *device->recorder, device->input);
        error != Error::None)
        return error;
    device_ = std::move(device);
    return Error::None;
}

Error WaveAudioService::play() {
    Device& device = *device_;
    if (device.holdsRecording()) {
        if (device.recorder->running())
            return Error::RecordingRunning;
        if (device.player && device.player->running())
            return Error::None;
        if (device.position >= device.recorder->frames())
            return Error::None; // at the end there is nothing to play
        // The recording is played from its temporary file, as it stands now.
        device.output.reset();
        device.player.reset();
        const int fd = device.recorder->openForReading();
        if (fd < 0)
            return Error::RecordingFileFailed;
        auto file = SoundFileHandle::open(std::make_shared<Descriptor>(fd));
        if (!file)
            return Error::RecordingFileFailed;
        auto player = std::make_unique<Player>(std::move(file), Recorder::kRate, Recorder::kChannels,
                                               device.recorder->frames());
        std::unique_ptr<Stream> output;
        if (const Error error = engine_->openOutput(Recorder::kRate, *player, output); error != Error::None)
            return error;
        device.player = std::move(player);
        device.output = std::move(output);
    } else if (device.player->running() || device.position >= device.player->frames()) {
        return Error::None;
    }
    return device.player->start(*device.output, device.position);
}

void WaveAudioService::stop() {
    Device& device = *device_;
    if (device.recorder && device.recorder->running()) {
        device.recorder->stop(*device.input);
        device.position = device.recorder->frames();
    }
    if (device.player && device.player->running()) {
        const std::int64_t frame = device.player->stop(*device.output);
        device.position = device.player->ended() ? device.player->frames() : frame;
    }
}

std::int64_t WaveAudioService::position() {
    Device& device = *device_;
    if (device.recorder && device.recorder->running())
        return device.recorder->frames();
    if (device.player && device.player->running()) {
        const std::int64_t frame = device.player->heard(*device.output);
        if (!device.player->ended())
            return frame;
        // Played to the end: the stream stops and position and length agree from now on.
        stop();
    }
    return device.position;
}

Error WaveAudioService::checkStreams() {
    for (Stream* stream : {device_->input.get(), device_->output.get()})
        if (stream)
            stream->check();
    return streamError();
}

Error WaveAudioService::streamError() const {
    for (const Stream* stream : {device_->input.get(), device_->output.get()})
        if (stream)
            if (const Error error = stream->error(); error != Error::None)
                return error;
    return Error::None;
}

std::int64_t WaveAudioService::length() const {
    return device_->holdsRecording() ? device_->recorder->frames() : device_->player->frames();
}

std::unique_ptr<SoundService> makeSoundService(std::shared_ptr<Engine> engine) {
    return std::make_unique<WaveAudioService>(std::move(engine));
}

std::unique_ptr<SoundService> makeSoundService() { return makeSoundService(makePulseEngine()); }

} // namespace pikota::sound

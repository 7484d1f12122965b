#pragma once

#include "wave/Track.h"

#include <QString>

#include <functional>
#include <stdexcept>

// A failure while reading a WAV file or labelling its length. The Load and Stop handlers catch it at their
// top and end quietly; what() says in a few English words what went wrong, for diagnostics only, and
// problem() which kind of failure it was, for a message to the user.
class WaveFileError : public std::runtime_error {
public:
    enum class Problem { NotFound, NotReadable, NotAFile, NotWave };
    explicit WaveFileError(const char* what, Problem problem = Problem::NotWave)
        : std::runtime_error(what), problem_(problem) {}
    Problem problem() const { return problem_; }

private:
    Problem problem_;
};

// The time label's text: the path, two ideographic spaces, the length of frames 0..SampleLimit rounded to
// one decimal (halves upward) with a leading blank when not negative and "." as the point in every locale,
// then "秒". Throws WaveFileError when the track's sample rate is 0.
QString TimeLabelText(const Track& track, const QString& path);
// The same form for any name and length: `units` at `perSecond` to a second (frames at the sample rate,
// or milliseconds at 1000).
QString TimeLabelText(const QString& name, std::int64_t units, std::int32_t perSecond);

// Fills the track's format, FullScale, SampleLimit and sample arrays from the WAV file at path, walking its
// chunks from byte 12 and stopping at the first data chunk, whose frames 0..SampleLimit are stored; then
// hands the time label's text to setLabel. The caller zeroes both sample arrays and sets SampleLimit to
// 500000 first. Throws WaveFileError on failure; whatever was stored before the failure stays stored. The
// file is closed on every path.
void ReadWaveFile(Track& track, const QString& path,
                  const std::function<void(const QString& label)>& setLabel);

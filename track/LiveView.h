// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "track/TrackControls.h"

#include <QString>

#include <array>
#include <cstdint>
#include <utility>

// What a track shows while it records: the recording drawn as it arrives, in the track's colour and on
// the vertical scale of the saved file's drawing, and the time label saying that it records, for how
// long, and in words when the input clips or is silent.
//
// The time axis holds the whole recording, compressed as it grows: for the first 11.9 s it grows from
// the left edge on a fixed scale close to that of a full track (500001 frames), and each time it
// reaches the right edge the scale doubles and what is drawn moves into the left half. A glance shows
// the whole take, a silent or clipped stretch near its start included, and a tick costs the same
// however long the recording gets: a fixed number of columns, each the lowest and highest sample of
// its time, drawn as one vertical line per device pixel column of the box.
class LiveView {
public:
    // Starts afresh for a recording on the track: the box is cleared and the label says it records.
    void Start(const TrackControls& ui);
    // One tick: the device's replies to "status wfile length" (milliseconds) and to "status wfile envelope"
    // asked from Told() on.
    void Update(const TrackControls& ui, double milliseconds, const QString& envelope);
    // The frames the envelope has told of: where the next one is asked from.
    std::int64_t Told() const { return frames_; }
    // The label of a recording that has stopped and is not saved yet.
    void ShowUnsaved(const TrackControls& ui) const;
    // Draws what it keeps again, one line per device column of the box as it is now.
    void Draw(const TrackControls& ui) const;
    // Whether a recording has been shown since Start, and nothing else since.
    bool Started() const { return started_; }
    void End() { started_ = false; }

    // What the label says, in the program's words.
    static QString RecordingText(double milliseconds);
    static const QString kClipping;
    static const QString kSilent;

private:
    static constexpr std::size_t kColumns = 2048;
    void Add(std::int64_t first, std::int64_t frames, std::int16_t low, std::int16_t high);
    QString Label(double milliseconds) const;

    // The lowest and highest sample of each column's frames; low above high while it has none.
    std::array<std::pair<std::int16_t, std::int16_t>, kColumns> columns_{};
    std::int64_t framesPerColumn_ = 256;
    std::int64_t frames_ = 0;       // the frames the envelope has told of
    std::int64_t lastLoud_ = 0;     // where the last step with a sample at or above -60 dBFS ended
    std::int64_t lastClipped_ = -1; // where the last step with a sample at full scale ended; -1: none yet
    std::int32_t rate_ = 44100;
    double milliseconds_ = 0;
    bool started_ = false;
};

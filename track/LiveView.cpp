// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/LiveView.h"

#include "platform/toolkit/PictureBox.h"
#include "track/Plot.h"
#include "track/TimeLabel.h"

#include <QLabel>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr std::int16_t kLowest = std::numeric_limits<std::int16_t>::min();
constexpr std::int16_t kHighest = std::numeric_limits<std::int16_t>::max();
// A column without samples yet: its lowest above its highest.
constexpr std::pair<std::int16_t, std::int16_t> kEmpty{kHighest, kLowest};
// The recording's samples are 16-bit.
constexpr std::int32_t kFullScale = 65536;
// -60 dBFS is 32.8 of 32768: a sample of 33 or more is not silence.
constexpr int kLoud = 33;
constexpr double kSilentSeconds = 3;
// A clip is said for this long after the last clipped step, so that a short one is not missed.
constexpr double kClippedSeconds = 2;

} // namespace

const QString LiveView::kClipping = QStringLiteral("音が割れています。入力の音量を下げてください。");
const QString LiveView::kSilent = QStringLiteral("無音です。入力のミュートや選択を確かめてください。");

QString LiveView::RecordingText(double milliseconds) {
    return TimeLabelText(QStringLiteral("録音中"), static_cast<std::int64_t>(milliseconds), 1000);
}

void LiveView::Start(const TrackControls& ui) {
    *this = LiveView();
    columns_.fill(kEmpty);
    started_ = true;
    ui.box->cls();
    ui.lblTime->setText(Label(0));
}

void LiveView::Add(std::int64_t first, std::int64_t frames, std::int16_t low, std::int16_t high) {
    const std::int64_t end = first + frames;
    // Past the right edge: the scale doubles, two columns becoming one, until the step fits.
    while (end > static_cast<std::int64_t>(kColumns) * framesPerColumn_) {
        for (std::size_t i = 0; i < kColumns / 2; ++i) {
            const auto& [a, b] = columns_[2 * i];
            const auto& [c, d] = columns_[2 * i + 1];
            columns_[i] = {std::min(a, c), std::max(b, d)};
        }
        std::fill(columns_.begin() + kColumns / 2, columns_.end(), kEmpty);
        framesPerColumn_ *= 2;
    }
    for (std::int64_t c = first / framesPerColumn_; c <= (end - 1) / framesPerColumn_; ++c) {
        auto& [l, h] = columns_[static_cast<std::size_t>(c)];
        l = std::min(l, low);
        h = std::max(h, high);
    }
}

void LiveView::Update(const TrackControls& ui, double milliseconds, const QString& envelope) {
    milliseconds_ = milliseconds;
    // "first framesPerStep rate low high low high ..."
    const QStringList words = envelope.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() >= 3 && words.size() % 2 == 1) {
        const std::int64_t first = words[0].toLongLong();
        const std::int64_t perStep = words[1].toLongLong();
        if (const std::int32_t rate = words[2].toInt(); rate > 0)
            rate_ = rate;
        if (first >= 0 && perStep > 0) {
            for (qsizetype i = 3; i + 1 < words.size(); i += 2) {
                const auto low = static_cast<std::int16_t>(words[i].toInt());
                const auto high = static_cast<std::int16_t>(words[i + 1].toInt());
                const std::int64_t at = first + (i - 3) / 2 * perStep;
                Add(at, perStep, low, high);
                frames_ = at + perStep;
                if (std::max(-static_cast<int>(low), static_cast<int>(high)) >= kLoud)
                    lastLoud_ = frames_;
                if (low == kLowest || high == kHighest)
                    lastClipped_ = frames_;
            }
        }
    }
    Draw(ui);
    ui.lblTime->setText(Label(milliseconds));
}

void LiveView::Draw(const TrackControls& ui) const {
    // One column of the view for each device pixel column of the box; the box keeps its user scale, in
    // which a click into it is taken.
    const int width = std::max(ui.box->deviceSize().width(), 1);
    const auto [top, bottom] = VerticalRange(kFullScale);
    ui.box->cls();
    const std::int64_t used = (frames_ + framesPerColumn_ - 1) / framesPerColumn_;
    thread_local std::vector<std::pair<double, double>> ranges;
    ranges.assign(static_cast<std::size_t>(width), {1, 0});
    for (int x = 0; x < width; ++x) {
        const std::int64_t from = x * static_cast<std::int64_t>(kColumns) / width;
        const std::int64_t to = std::min((x + 1) * static_cast<std::int64_t>(kColumns) / width, used);
        auto [low, high] = kEmpty;
        for (std::int64_t c = from; c < to; ++c) {
            low = std::min(low, columns_[static_cast<std::size_t>(c)].first);
            high = std::max(high, columns_[static_cast<std::size_t>(c)].second);
        }
        if (low <= high)
            ranges[static_cast<std::size_t>(x)] = {low, high};
    }
    ui.box->drawColumns(ranges, top, bottom, ui.color);
}

QString LiveView::Label(double milliseconds) const {
    QString text = RecordingText(milliseconds);
    if (lastClipped_ >= 0 && frames_ - lastClipped_ < static_cast<std::int64_t>(kClippedSeconds * rate_))
        text += QLatin1Char('\n') + kClipping;
    else if (frames_ - lastLoud_ >= static_cast<std::int64_t>(kSilentSeconds * rate_))
        text += QLatin1Char('\n') + kSilent;
    return text;
}

void LiveView::ShowUnsaved(const TrackControls& ui) const {
    ui.lblTime->setText(TimeLabelText(QStringLiteral("まだ保存していない録音"),
                                      static_cast<std::int64_t>(milliseconds_), 1000));
}

// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The transport: preparing and starting a recording, playing, pausing, stopping
// and saving, and the position timer that follows a playback to its end. Each
// body is written once and serves both tracks.
#include "main/frmMain.h"

#include "device/Module1.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/PictureBox.h"
#include "scope/Scope.h"
#include "track/Load.h"
#include "track/LoadedFile.h"
#include "track/Plot.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <unistd.h>

namespace toolkit = pikota::toolkit;

namespace {

// Sends a command whose result nobody looks at.
void Send(const QString& command) {
    QString reply;
    SendMciCommand(command, reply);
}

// Sends a command whose failure the user must see; false when it failed and was shown.
bool SendOrShow(const QString& command, QWidget* parent) {
    QString reply;
    if (SendMciCommand(command, reply) == 0)
        return true;
    toolkit::MsgBox(reply, toolkit::MsgButtons::OK, toolkit::MsgIcon::Critical, parent);
    return false;
}

// A timer that is already running keeps its rhythm.
void EnableTimer(QTimer* timer) {
    if (!timer->isActive())
        timer->start();
}

} // namespace

void frmMain::DisableLoadAndRecord() {
    cmdRoad1->setEnabled(false);
    cmdRoad2->setEnabled(false);
    cmdSave1->setEnabled(false);
    cmdSave2->setEnabled(false);
}

void frmMain::UnlockAll(const TrackControls& first, const TrackControls& second) {
    cmdRoad1->setEnabled(true);
    cmdRoad2->setEnabled(true);
    cmdSave1->setEnabled(true);
    cmdSave2->setEnabled(true);
    EnableTransport(first);
    EnableTransport(second);
}

void frmMain::PrepareRecording(Track& track, const TrackControls& ui) {
    Send(QStringLiteral("close wfile"));
    if (!SendOrShow(QStringLiteral("open new type waveaudio alias wfile"), this))
        return;
    Send(QStringLiteral("set wfile time format ms"));
    tmrPosition1->stop();
    tmrPosition2->stop();
    liveView.End(); // whatever the last recording showed, it is closed now
    StopOverview(track, ui);
    ui.box->cls();
    MovePositionLine(ui, 0);
    toolkit::MsgBox(QStringLiteral("録音の準備ができました。\r\n「●」ボタンを押して録音してください。"),
                    toolkit::MsgButtons::OK, toolkit::MsgIcon::None, this);
    ui.cmdRec->show();
    DisableTransport1();
    DisableTransport2();
    DisableLoadAndRecord();
    ui.cmdStop->setEnabled(true);
    track.RecordMode = true;
}

void frmMain::StartRecording(const TrackControls& ui) {
    Send(QStringLiteral("record wfile"));
    ui.cmdRec->setEnabled(false);
    // From here until Stop the track shows what is being recorded, on a timer of its own.
    liveView.Start(ui);
    ui.tmrRecord->start();
}

void frmMain::RecordingTick(const TrackControls& ui) {
    QString length, envelope;
    // A device that cannot say what it records (its sound server has gone, say) says why, in the label
    // where the time would be: the user must not be told it records while nothing is kept.
    if (SendMciCommand(QStringLiteral("status wfile length"), length) != 0) {
        ui.lblTime->setText(length);
        return;
    }
    if (SendMciCommand(QStringLiteral("status wfile envelope %1").arg(liveView.Told()), envelope) != 0) {
        ui.lblTime->setText(envelope);
        return;
    }
    liveView.Update(ui, LeadingValue(length), envelope);
}

void frmMain::Play(Track& track, const TrackControls& ui, const TrackControls& other) {
    if (!track.Paused) {
        // The device plays the file as it is on the disk now: one replaced or changed since it was drawn
        // is read and drawn again first, so that what is heard is what is shown. One that cannot be read
        // any more is not played; one that is gone, the device says so.
        if (track.File && track.File->changedOnDisk() && QFileInfo::exists(track.File->path())) {
            const QString path = track.File->path();
            if (const QString why = ReadAside(track, ui, path, spare); !why.isEmpty()) {
                ShowCannotLoad(path, why, this);
                return;
            }
        }
        Send(QStringLiteral("close wfile"));
        if (!SendOrShow(QStringLiteral("open ") + track.FilePath +
                            QStringLiteral(" type waveaudio alias wfile"),
                        this))
            return;
        Send(QStringLiteral("set wfile time format ms"));
    }
    track.Paused = false;
    DisableTransport(other);
    DisableLoadAndRecord();
    other.tmrPosition->stop();
    EnableTimer(ui.tmrPosition);
    Send(QStringLiteral("play wfile"));
}

void frmMain::Pause(Track& track, const TrackControls& ui) {
    Send(QStringLiteral("stop wfile"));
    ui.tmrPosition->stop();
    track.Paused = true;
}

void frmMain::Stop(Track& track, const TrackControls& ui, const TrackControls& other) {
    // Any failure from here on ends Stop quietly, leaving things as far as they got;
    // a cancel in the save dialog is such a failure.
    try {
        track.Paused = false;
        Send(QStringLiteral("stop wfile"));
        Send(QStringLiteral("seek wfile to start"));
        ui.tmrPosition->stop();
        ui.tmrRecord->stop();
        MovePositionLine(ui, 0);
        Picture2->cls();
        if (track.RecordMode) {
            // Until the save has succeeded, the box keeps the live picture and the label says that the
            // recording is not saved yet.
            if (liveView.Started())
                liveView.ShowUnsaved(ui);
            QString chosen;
            for (;;) {
                CommonDialog1.Filter = QStringLiteral("ウェーブファイル (*.wav)|*.wav");
                CommonDialog1.Flags = 1;
                CommonDialog1.ShowSave(this);
                chosen = CommonDialog1.FileName;
                track.FilePath = QLatin1Char('"') + chosen + QLatin1Char('"');
                if (!QFileInfo::exists(chosen))
                    break;
                const auto answer =
                    toolkit::MsgBox(QStringLiteral("同じ名前のファイルが存在します。\r\n上書きしますか？"),
                                    toolkit::MsgButtons::YesNo, toolkit::MsgIcon::Question, this);
                if (answer == toolkit::MsgAnswer::Yes) {
                    // The device replaces the old file only once the new one is written
                    // whole, so a failed save keeps it. A file that could not be
                    // replaced ends Stop here, as a cancel does.
                    const QFileInfo old(chosen);
                    if (!old.isFile() || ::access(old.absolutePath().toLocal8Bit().constData(), W_OK) != 0)
                        return;
                    break;
                }
            }
            if (!SendOrShow(QStringLiteral("save wfile ") + track.FilePath, this))
                return;
            ForgetFile(track, ui);
            ClearSamples(track);
            track.SampleLimit = kLastSampleIndex;
            ui.cmdRoad->setEnabled(false);
            DisableTransport(ui);
            ui.cmdRec->setEnabled(true);
            ui.cmdRec->hide();
            liveView.End();
            ReadAndPlot(track, ui, chosen);
            track.RecordMode = false;
        }
        UnlockAll(ui, other);
    } catch (...) {
    }
}

void frmMain::PositionTick(const Track& track, const TrackControls& ui) {
    QString position, length;
    SendMciCommand(QStringLiteral("status wfile position"), position);
    SendMciCommand(QStringLiteral("status wfile length"), length);
    // The trace starts where the line stands (for a long file at the frame being heard, in double
    // precision). A length of 0 (an empty sound, or an error text in both replies) gives no place to go:
    // the line stays where it is, and the trace is drawn from there.
    const double total = LeadingValue(length);
    double at = ui.linPosition->X1();
    if (total != 0) {
        at = LeadingValue(position) / total * static_cast<double>(RightEdge(track));
        MovePositionLine(ui, static_cast<float>(at));
    }
    const double window = track.waveFormat.nSamplesPerSec / 50.0;
    SetScopeScale(*Picture2, window, track.FullScale);
    Picture2->cls();
    DrawTrackTrace(*Picture2, track, at, window, ui.color);
    if (position == length) {
        Send(QStringLiteral("stop wfile"));
        Send(QStringLiteral("seek wfile to start"));
        FinishPlayback(ui);
    }
}

// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main/frmMain.h"

#include "about/HelpCommands.h"
#include "device/Module1.h"
#include "platform/sound/RecordingsFolder.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/PictureBox.h"
#include "scope/Scope.h"
#include "track/Load.h"
#include "track/Plot.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

namespace toolkit = pikota::toolkit;

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    buildLayout();
    connectHandlers();
    Form_Load();
    // Once the window stands, so that the question appears over it.
    QTimer::singleShot(0, this, &frmMain::ReportUnsavedRecordings);
}

void frmMain::ReportUnsavedRecordings() {
    const auto unsaved = pikota::sound::unsavedRecordings();
    if (unsaved.empty())
        return;
    const QString folder = QString::fromLocal8Bit(pikota::sound::recordingsFolder().c_str());
    const auto answer = toolkit::MsgBox(
        QStringLiteral(
            "保存されていない録音が %1 件あります。保存する前にピコタが異常終了したため残ったものです。\r\n"
            "場所: %2\r\n\r\n"
            "ピコタがこれらを自分で消すことはありません。\r\n"
            "このフォルダーを開きますか？")
            .arg(unsaved.size())
            .arg(folder),
        toolkit::MsgButtons::YesNo, toolkit::MsgIcon::Question, this);
    // The folder goes as one argument, without a shell.
    if (answer == toolkit::MsgAnswer::Yes && !toolkit::StartProgram(QStringLiteral("xdg-open"), {folder}))
        toolkit::MsgBox(QStringLiteral("フォルダーを開くプログラムを起動できませんでした。"),
                        toolkit::MsgButtons::OK, toolkit::MsgIcon::Critical, this);
}

frmMain::~frmMain() = default;

void frmMain::connectHandlers() {
    connect(cmdRoad1, &QPushButton::clicked, this, &frmMain::cmdRoad1_Click);
    connect(cmdRoad2, &QPushButton::clicked, this, &frmMain::cmdRoad2_Click);
    connect(cmdSave1, &QPushButton::clicked, this, &frmMain::cmdSave1_Click);
    connect(cmdSave2, &QPushButton::clicked, this, &frmMain::cmdSave2_Click);
    connect(cmdRec1, &QPushButton::clicked, this, &frmMain::cmdRec1_Click);
    connect(cmdRec2, &QPushButton::clicked, this, &frmMain::cmdRec2_Click);
    connect(cmdPlay1, &QPushButton::clicked, this, &frmMain::cmdPlay1_Click);
    connect(cmdPlay2, &QPushButton::clicked, this, &frmMain::cmdPlay2_Click);
    connect(cmdPause1, &QPushButton::clicked, this, &frmMain::cmdPause1_Click);
    connect(cmdPause2, &QPushButton::clicked, this, &frmMain::cmdPause2_Click);
    connect(cmdStop1, &QPushButton::clicked, this, &frmMain::cmdStop1_Click);
    connect(cmdStop2, &QPushButton::clicked, this, &frmMain::cmdStop2_Click);
    connect(tmrPosition1, &QTimer::timeout, this, &frmMain::tmrPosition1_Timer);
    connect(tmrPosition2, &QTimer::timeout, this, &frmMain::tmrPosition2_Timer);
    connect(ui1.tmrRecord, &QTimer::timeout, this, &frmMain::tmrRecord1_Timer);
    connect(ui2.tmrRecord, &QTimer::timeout, this, &frmMain::tmrRecord2_Timer);
    connect(ui1.tmrOverview, &QTimer::timeout, this, &frmMain::tmrOverview1_Timer);
    connect(ui2.tmrOverview, &QTimer::timeout, this, &frmMain::tmrOverview2_Timer);
    connect(Picture1, &toolkit::PictureBox::mouseDown, this, &frmMain::Picture1_MouseDown);
    connect(Picture3, &toolkit::PictureBox::mouseDown, this, &frmMain::Picture3_MouseDown);
    connect(Picture1, &toolkit::PictureBox::keyDown, this, &frmMain::Picture1_KeyDown);
    connect(Picture3, &toolkit::PictureBox::keyDown, this, &frmMain::Picture3_KeyDown);
    connect(cmdClear, &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(mnuEditClear, &QAction::triggered, this, &frmMain::mnuEditClear_Click);
    connect(mnuFileEnd, &QAction::triggered, this, &frmMain::mnuFileEnd_Click);
    connect(mnuHelpHowto, &QAction::triggered, this, &frmMain::mnuHelpHowto_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
    connect(Picture1, &toolkit::PictureBox::fileDropped, this, &frmMain::Picture1_FileDropped);
    connect(Picture3, &toolkit::PictureBox::fileDropped, this, &frmMain::Picture3_FileDropped);
    connect(Picture1, &toolkit::PictureBox::deviceSizeChanged, this, &frmMain::Picture1_Resize);
    connect(Picture3, &toolkit::PictureBox::deviceSizeChanged, this, &frmMain::Picture3_Resize);
    Picture1->setDropFilter([this](const QString& path) { return TakesDrop(ui1, path); });
    Picture3->setDropFilter([this](const QString& path) { return TakesDrop(ui2, path); });
}

void frmMain::Form_Load() {
    const QColor white(255, 255, 255);
    Picture1->setBackColor(white);
    Picture2->setBackColor(white);
    Picture3->setBackColor(white);
    CommonDialog1.CancelError = true;
    cmdRoad1->setText(QStringLiteral("読み込み"));
    cmdRoad2->setText(QStringLiteral("読み込み"));
    track1.SampleLimit = kLastSampleIndex;
    track2.SampleLimit = kLastSampleIndex;

    adjustSize();
    toolkit::ShowCentred(*this);
    Picture2->setFocus();

    MovePositionLine(ui1, 0);
    MovePositionLine(ui2, 0);
    tmrPosition1->setInterval(100);
    tmrPosition1->stop();
    tmrPosition2->setInterval(100);
    tmrPosition2->stop();
    track1.RecordMode = false;
    track2.RecordMode = false;
    track1.Paused = false;
    track2.Paused = false;
    track1.HasWaveform = false;
    track2.HasWaveform = false;
    DisableTransport1();
    DisableTransport2();
    cmdRec1->hide();
    cmdRec2->hide();
}

void frmMain::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    Form_Unload(cancel);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

void frmMain::Form_Unload(bool& cancel) {
    try {
        const auto answer = toolkit::MsgBox(QStringLiteral("ピコタを終了しますか？"),
                                            toolkit::MsgButtons::YesNo, toolkit::MsgIcon::Question, this);
        if (answer == toolkit::MsgAnswer::No) {
            cancel = true;
            return;
        }
        // The window only hides while the About dialog keeps the program running: a playing track's
        // timer must not go on asking the device about a sound that is closed now.
        tmrPosition1->stop();
        tmrPosition2->stop();
        ui1.tmrRecord->stop();
        ui2.tmrRecord->stop();
        // A long file's overview still being made is not waited for.
        StopOverview(track1, ui1);
        StopOverview(track2, ui2);
        QString reply;
        SendMciCommand(QStringLiteral("close wfile"), reply);
    } catch (...) {
        // Shutting down goes on whatever failed.
    }
}

void frmMain::mnuFileEnd_Click() { close(); }

void frmMain::Resized(const Track& track, const TrackControls& ui) {
    // A track in record mode shows its recording, if one was started; any other shows its file. Points and
    // lines in the box's user units it maps itself.
    if (!track.RecordMode)
        RedrawColumns(track, ui);
    else if (liveView.Started())
        liveView.Draw(ui);
}

void frmMain::FinishPlayback(const TrackControls& ui) {
    ui.tmrPosition->stop();
    UnlockAll(ui1, ui2);
    Picture2->cls();
}

void frmMain::cmdRoad1_Click() { LoadFile(track1, ui1, CommonDialog1, this); }
void frmMain::cmdRoad2_Click() { LoadFile(track2, ui2, CommonDialog1, this); }

void frmMain::cmdSave1_Click() { PrepareRecording(track1, ui1); }
void frmMain::cmdSave2_Click() { PrepareRecording(track2, ui2); }
void frmMain::cmdRec1_Click() { StartRecording(ui1); }
void frmMain::cmdRec2_Click() { StartRecording(ui2); }
void frmMain::cmdPlay1_Click() { Play(track1, ui1, ui2); }
void frmMain::cmdPlay2_Click() { Play(track2, ui2, ui1); }
void frmMain::cmdPause1_Click() { Pause(track1, ui1); }
void frmMain::cmdPause2_Click() { Pause(track2, ui2); }
void frmMain::cmdStop1_Click() { Stop(track1, ui1, ui2); }
void frmMain::cmdStop2_Click() { Stop(track2, ui2, ui1); }
void frmMain::tmrPosition1_Timer() { PositionTick(track1, ui1); }
void frmMain::tmrPosition2_Timer() { PositionTick(track2, ui2); }
void frmMain::tmrRecord1_Timer() { RecordingTick(ui1); }
void frmMain::tmrRecord2_Timer() { RecordingTick(ui2); }
void frmMain::tmrOverview1_Timer() { OverviewTick(track1, ui1); }
void frmMain::tmrOverview2_Timer() { OverviewTick(track2, ui2); }
// Every button with any modifier keys sets the cursor alike; only X counts.
void frmMain::Picture1_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, float x, float) {
    ScopeClick(track1, ui1, track2, ui2, *Picture2, x);
}
void frmMain::Picture3_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, float x, float) {
    ScopeClick(track2, ui2, track1, ui1, *Picture2, x);
}
// The keys of a focused waveform box move its cursor as clicks would.
void frmMain::Picture1_KeyDown(int key, Qt::KeyboardModifiers shift) {
    CursorKey(track1, ui1, track2, ui2, *Picture2, key, shift);
}
void frmMain::Picture3_KeyDown(int key, Qt::KeyboardModifiers shift) {
    CursorKey(track2, ui2, track1, ui1, *Picture2, key, shift);
}
void frmMain::Picture1_Resize() { Resized(track1, ui1); }
void frmMain::Picture3_Resize() { Resized(track2, ui2); }
void frmMain::cmdClear_Click() { ClearScope(*Picture2, track1, ui1, track2, ui2); }
void frmMain::mnuEditClear_Click() { ClearScope(*Picture2, track1, ui1, track2, ui2); }
void frmMain::mnuHelpHowto_Click() { OpenHelpFile(); }
void frmMain::mnuHelpAbout_Click() { ShowAbout(); }

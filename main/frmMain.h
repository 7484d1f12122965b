// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/toolkit/FileDialog.h"
#include "track/LiveView.h"
#include "track/Track.h"
#include "track/TrackControls.h"

#include <QMainWindow>
#include <QStringList>

namespace pikota::toolkit {
class LineShape;
class PictureBox;
} // namespace pikota::toolkit
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

// The main window: both tracks' state, their controls and every handler.
// Track 1 and track 2 handlers are one-line entries into shared bodies.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Both tracks' state, for the life of the window.
    Track track1;
    Track track2;

    // Each track's controls together, for the shared bodies. The names the layout gives them below are
    // the same controls, not copies.
    TrackControls ui1;
    TrackControls ui2;

    // Controls, named as the layout names them.
    QGroupBox*& Frame1 = ui1.frame;
    QGroupBox*& Frame2 = ui2.frame;
    QLabel*& lblTime1 = ui1.lblTime;
    QLabel*& lblTime2 = ui2.lblTime;
    pikota::toolkit::PictureBox*& Picture1 = ui1.box;
    pikota::toolkit::PictureBox* Picture2 = nullptr; // the scope box
    pikota::toolkit::PictureBox*& Picture3 = ui2.box;
    pikota::toolkit::LineShape*& linPosition1 = ui1.linPosition;
    pikota::toolkit::LineShape*& linPosition2 = ui2.linPosition;
    pikota::toolkit::LineShape* Line1 = nullptr;
    pikota::toolkit::LineShape* Line2 = nullptr;
    pikota::toolkit::LineShape* Line3 = nullptr;
    QPushButton*& cmdRoad1 = ui1.cmdRoad;
    QPushButton*& cmdSave1 = ui1.cmdSave;
    QPushButton*& cmdRec1 = ui1.cmdRec;
    QPushButton*& cmdPlay1 = ui1.cmdPlay;
    QPushButton*& cmdPause1 = ui1.cmdPause;
    QPushButton*& cmdStop1 = ui1.cmdStop;
    QPushButton*& cmdRoad2 = ui2.cmdRoad;
    QPushButton*& cmdSave2 = ui2.cmdSave;
    QPushButton*& cmdRec2 = ui2.cmdRec;
    QPushButton*& cmdPlay2 = ui2.cmdPlay;
    QPushButton*& cmdPause2 = ui2.cmdPause;
    QPushButton*& cmdStop2 = ui2.cmdStop;
    QPushButton* cmdClear = nullptr;
    QLabel* Label1 = nullptr;
    QTimer*& tmrPosition1 = ui1.tmrPosition;
    QTimer*& tmrPosition2 = ui2.tmrPosition;
    pikota::toolkit::CommonDialog CommonDialog1;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileEnd = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuEditClear = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHowto = nullptr;
    QAction* mnuHelpAbout = nullptr;

public slots:
    void cmdRoad1_Click();
    void cmdRoad2_Click();
    void cmdSave1_Click();
    void cmdSave2_Click();
    void cmdRec1_Click();
    void cmdRec2_Click();
    void cmdPlay1_Click();
    void cmdPlay2_Click();
    void cmdPause1_Click();
    void cmdPause2_Click();
    void cmdStop1_Click();
    void cmdStop2_Click();
    void tmrPosition1_Timer();
    void tmrPosition2_Timer();
    void tmrRecord1_Timer();
    void tmrRecord2_Timer();
    void tmrOverview1_Timer();
    void tmrOverview2_Timer();
    void Picture1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);
    void Picture3_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);
    void Picture1_KeyDown(int key, Qt::KeyboardModifiers shift);
    void Picture3_KeyDown(int key, Qt::KeyboardModifiers shift);
    void cmdClear_Click();
    void mnuEditClear_Click();
    void mnuFileEnd_Click();
    void mnuHelpHowto_Click();
    void mnuHelpAbout_Click();
    void Picture1_FileDropped(const QString& path);
    void Picture3_FileDropped(const QString& path);
    void Picture1_Resize();
    void Picture3_Resize();

public:
    // Files given from outside, as the command line names them: the first is loaded
    // into track 1 and the second into track 2, each as its Load button loads a file.
    void OpenFiles(const QStringList& paths);

    void DisableTransport1() { DisableTransport(ui1); }
    void DisableTransport2() { DisableTransport(ui2); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void connectHandlers();
    void Form_Load();
    void Form_Unload(bool& cancel);
    // Says once, at start, that recordings of an earlier run that ended without saving them are kept,
    // and where; offers to open their folder.
    void ReportUnsavedRecordings();
    void FinishPlayback(const TrackControls& ui);

    // The bodies behind the twins' handlers.
    void DisableLoadAndRecord();
    // Every Load and Record button, then the transports of `first` and `second`, in that order.
    void UnlockAll(const TrackControls& first, const TrackControls& second);
    void PrepareRecording(Track& track, const TrackControls& ui);
    void StartRecording(const TrackControls& ui);
    void Play(Track& track, const TrackControls& ui, const TrackControls& other);
    void Pause(Track& track, const TrackControls& ui);
    void Stop(Track& track, const TrackControls& ui, const TrackControls& other);
    void PositionTick(const Track& track, const TrackControls& ui);
    void RecordingTick(const TrackControls& ui);
    // What a track's box shows one line per device column, drawn again for the box's new columns.
    void Resized(const Track& track, const TrackControls& ui);

    // What the recording track shows while it records, and after a stop until it is saved.
    LiveView liveView;
    // The arrays a file from outside is read into before it changes places with a track's; allocated once,
    // with the window.
    Track spare;
    // A track's waveform box takes a dropped sound file only while its Load button could be pressed.
    static bool TakesDrop(const TrackControls& ui, const QString& path);
    // Loads a file given from outside; one that cannot be read is named in a message, with the reason.
    void LoadFromOutside(Track& track, const TrackControls& ui, const QString& path);
};

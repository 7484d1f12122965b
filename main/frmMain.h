#pragma once

#include "platform/toolkit/FileDialog.h"
#include "wave/LiveView.h"
#include "wave/Track.h"
#include "wave/TrackControls.h"

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

    // Controls, named as the layout names them.
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* lblTime1 = nullptr;
    QLabel* lblTime2 = nullptr;
    pikota::toolkit::PictureBox* Picture1 = nullptr;
    pikota::toolkit::PictureBox* Picture2 = nullptr; // the scope box
    pikota::toolkit::PictureBox* Picture3 = nullptr;
    pikota::toolkit::LineShape* linPosition1 = nullptr;
    pikota::toolkit::LineShape* linPosition2 = nullptr;
    pikota::toolkit::LineShape* Line1 = nullptr;
    pikota::toolkit::LineShape* Line2 = nullptr;
    pikota::toolkit::LineShape* Line3 = nullptr;
    QPushButton* cmdRoad1 = nullptr;
    QPushButton* cmdSave1 = nullptr;
    QPushButton* cmdRec1 = nullptr;
    QPushButton* cmdPlay1 = nullptr;
    QPushButton* cmdPause1 = nullptr;
    QPushButton* cmdStop1 = nullptr;
    QPushButton* cmdRoad2 = nullptr;
    QPushButton* cmdSave2 = nullptr;
    QPushButton* cmdRec2 = nullptr;
    QPushButton* cmdPlay2 = nullptr;
    QPushButton* cmdPause2 = nullptr;
    QPushButton* cmdStop2 = nullptr;
    QPushButton* cmdClear = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* tmrPosition1 = nullptr;
    QTimer* tmrPosition2 = nullptr;
    pikota::toolkit::CommonDialog CommonDialog1;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileEnd = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuEditClear = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHowto = nullptr;
    QAction* mnuHelpAbout = nullptr;

    // Each track's controls together, for the shared bodies.
    TrackControls ui1;
    TrackControls ui2;

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
    void Picture1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);
    void Picture3_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);
    void cmdClear_Click();
    void mnuEditClear_Click();
    void mnuFileEnd_Click();
    void mnuHelpHowto_Click();
    void mnuHelpAbout_Click();
    void Picture1_FileDropped(const QString& path);
    void Picture3_FileDropped(const QString& path);

public:
    // Files given from outside, as the command line names them: the first is loaded
    // into track 1 and the second into track 2, each as its Load button loads a file.
    void OpenFiles(const QStringList& paths);

    void DisableTransport1() { DisableTransport(ui1); }
    void DisableTransport2() { DisableTransport(ui2); }
    void EnableTransport1() { EnableTransport(ui1); }
    void EnableTransport2() { EnableTransport(ui2); }
    void FinishPlayback1() { FinishPlayback(ui1); }
    void FinishPlayback2() { FinishPlayback(ui2); }
    void ClearSamples1() { ClearSamples(track1); }
    void ClearSamples2() { ClearSamples(track2); }

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
    void EnableLoadAndRecord();
    void PrepareRecording(Track& track, const TrackControls& ui);
    void StartRecording(const TrackControls& ui);
    void Play(Track& track, const TrackControls& ui, const TrackControls& other);
    void Pause(Track& track, const TrackControls& ui);
    void Stop(Track& track, const TrackControls& ui, const TrackControls& other);
    void PositionTick(const Track& track, const TrackControls& ui);
    void RecordingTick(const TrackControls& ui);

    // What the recording track shows while it records, and after a stop until it is saved.
    LiveView liveView;
    // A track's waveform box takes a dropped WAV file only while its Load button could be pressed.
    static bool TakesDrop(const TrackControls& ui, const QString& path);
};

// The number that the leading characters of a device reply spell, or 0.
double LeadingValue(const QString& text);

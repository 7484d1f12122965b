// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's fixed layout: every control with its geometry, texts and tab order.
#include "main/frmMain.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Artwork.h"
#include "platform/toolkit/Label.h"
#include "platform/toolkit/PictureBox.h"
#include "platform/toolkit/PictureButton.h"
#include "platform/toolkit/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

namespace toolkit = pikota::toolkit;
using toolkit::twips;

namespace {

constexpr int kFrame2Left = 5880;
const QColor kTrack1Colour(0, 0, 255);
const QColor kTrack2Colour(255, 0, 0);

QPushButton* textButton(QWidget* parent, const QString& text, QRect geometry, const QString& tip = {}) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(geometry);
    if (!tip.isEmpty())
        button->setToolTip(tip);
    return button;
}

QPushButton* pictureButton(QWidget* parent, const QImage& image, QRect geometry, const QString& tip) {
    auto* button = new toolkit::PictureButton(image, parent);
    button->setGeometry(geometry);
    button->setToolTip(tip);
    // A screen reader says what the picture shows.
    button->setAccessibleName(tip);
    return button;
}

} // namespace

// One track's frame with its controls; the two frames differ only in place and caption.
static TrackControls buildTrack(QWidget* parent, int left, const QString& caption, const QColor& colour) {
    // What a screen reader says of the waveform box: which track's it is, and where its cursor stands.
    const QString boxName = caption + QStringLiteral("の波形");
    TrackControls ui;
    ui.frame = new QGroupBox(caption, parent);
    ui.frame->setGeometry(twips(left, 120, 5415, 2055));
    ui.frame->setFlat(false);

    ui.lblTime = new toolkit::Label(ui.frame);
    ui.lblTime->setGeometry(twips(360, 240, 4935, 495));
    ui.lblTime->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui.lblTime->setWordWrap(true);

    ui.box = new toolkit::PictureBox(ui.frame);
    ui.box->setGeometry(twips(120, 840, 5175, 615));
    ui.box->setToolTip(QStringLiteral("波形をクリックすると拡大されます"));
    ui.box->setCursor(toolkit::MagnifierCursor());
    ui.box->setFocusPolicy(Qt::StrongFocus);
    ui.box->setAccessibleName(boxName);
    ui.box->setAccessibleDescription(
        QStringLiteral("波形をクリックするか、矢印キー、Home、End、Page Up、Page Down でカーソルを動かすと、"
                       "そこから 20 ミリ秒ぶんが下のスコープに拡大されます。値はカーソルの位置（秒）です。"));
    ui.box->setAccessibleValue({});
    ui.linPosition = &ui.box->addLine(2280, 45, 2280, 520);

    ui.cmdRoad = textButton(ui.frame, QStringLiteral("読み込み"), twips(240, 1560, 1095, 375));
    ui.cmdSave = textButton(ui.frame, QStringLiteral("録音"), twips(1440, 1560, 735, 375));
    ui.cmdRec =
        textButton(ui.frame, QStringLiteral("●"), twips(2640, 1560, 615, 375), QStringLiteral("録音"));
    ui.cmdPlay =
        pictureButton(ui.frame, toolkit::PlayImage(), twips(3285, 1560, 615, 375), QStringLiteral("再生"));
    ui.cmdPause = pictureButton(ui.frame, toolkit::PauseImage(), twips(3930, 1560, 615, 375),
                                QStringLiteral("一時停止"));
    ui.cmdStop =
        pictureButton(ui.frame, toolkit::StopImage(), twips(4575, 1560, 615, 375), QStringLiteral("停止"));

    ui.tmrPosition = new QTimer(parent);
    ui.tmrPosition->setInterval(100);
    ui.tmrRecord = new QTimer(parent);
    ui.tmrRecord->setInterval(100);
    ui.tmrOverview = new QTimer(parent);
    ui.tmrOverview->setInterval(100);
    ui.color = colour;
    return ui;
}

void frmMain::buildLayout() {
    setWindowTitle(toolkit::AppTitle());
    setWindowIcon(toolkit::AppIcon());
    // A fixed single border: minimize and close, no maximize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* client = new QWidget(this);
    client->setFixedSize(11565 / 15, 8595 / 15);
    setCentralWidget(client);

    ui1 = buildTrack(client, 240, QStringLiteral("音声１"), kTrack1Colour);
    ui2 = buildTrack(client, kFrame2Left, QStringLiteral("音声２"), kTrack2Colour);

    Picture2 = new toolkit::PictureBox(client);
    Picture2->setGeometry(twips(120, 2280, 11295, 5655));
    Picture2->setFocusPolicy(Qt::StrongFocus);
    Picture2->setAccessibleName(QStringLiteral("拡大した波形"));
    Picture2->setAccessibleDescription(
        QStringLiteral("二つのトラックのカーソルの位置、または再生している位置から 20 ミリ秒ぶんの波形を、"
                       "音声１は青、音声２は赤で重ねて表示します。"));
    Line1 = &Picture2->addLine(0, 2805, 11280, 2805, Qt::SolidLine);
    Line2 = &Picture2->addLine(0, 1320, 11280, 1320, Qt::DotLine);
    Line3 = &Picture2->addLine(0, 4320, 11280, 4320, Qt::DotLine);

    cmdClear = textButton(client, QStringLiteral("波形のクリア"), twips(9960, 8040, 1455, 375));
    Label1 = new QLabel(QStringLiteral("© 2026 ピコタ開発チーム"), client);
    Label1->setGeometry(twips(360, 8160, 2895, 255));

    // The Tab key's order; frames and labels take no focus.
    QWidget* const order[] = {Picture2, cmdPause1, cmdStop1,  cmdPlay1, cmdRoad1, Picture1,
                              cmdRec1,  cmdSave1,  cmdSave2,  cmdRec2,  Picture3, cmdRoad2,
                              cmdPlay2, cmdStop2,  cmdPause2, cmdClear};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmMain::buildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("メニュー(&M)"));
    mnuFileEnd = mnuFile->addAction(QStringLiteral("ピコタの終了(&E)"));
    mnuEdit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    mnuEditClear = mnuEdit->addAction(QStringLiteral("拡大した波形を消す(&C)"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    mnuHelpHowto = mnuHelp->addAction(QStringLiteral("ピコタの使い方(&H)"));
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("ピコタについて(&A)"));
}

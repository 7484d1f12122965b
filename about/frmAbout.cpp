// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/frmAbout.h"

#include "about/GetKeyValue.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Artwork.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/PictureButton.h"
#include "platform/toolkit/Twips.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <stdexcept>

namespace toolkit = pikota::toolkit;
using toolkit::twips;

using pikota::registry::HKEY_LOCAL_MACHINE;

namespace {

QFont gothic(double points) {
    QFont font;
    // The Windows UI font first, then the proportional Gothic Debian ships.
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPointSizeF(points);
    return font;
}

QLabel* label(QWidget* parent, QRect geometry, bool black) {
    auto* l = new QLabel(parent);
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    if (black) {
        QPalette palette = l->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        l->setPalette(palette);
    }
    return l;
}

const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoValue = QStringLiteral("PATH");
const QString kSysInfoLocKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kSysInfoLocValue = QStringLiteral("MSINFO");

// The etched separator: a grey line with a white line below it (twips 2445 and 2460).
constexpr QColor kEtchShadow(128, 128, 128);
const QRect kShadowLine(90 / 15, 2445 / 15, 5654 / 15 - 90 / 15 + 1, 1);
const QRect kLightLine(105 / 15, 2460 / 15, 5654 / 15 - 105 / 15 + 1, 2);

} // namespace

QString VersionText(const toolkit::Version& v) {
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

frmAbout::frmAbout() : QDialog(nullptr) {
    // A tool window gets no taskbar entry; Qt then takes it for a secondary window
    // that does not hold the program open, which this dialog must do.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_QuitOnClose, true);
    setModal(false);
    setSizeGripEnabled(false);
    setFixedSize(5730 / 15, 3735 / 15);
    setWindowIcon(toolkit::AppIcon());
    setFont(gothic(9));

    // Sized to the 32-pixel icon, and drawn at the screen's resolution.
    picIcon = new toolkit::ArtPicture(toolkit::AppIconImage(32), this);
    picIcon->move(twips(240, 240, 480, 480).topLeft());

    lblTitle = label(this, twips(1050, 240, 3885, 480), true);
    lblTitle->setFont(gothic(11.25));
    lblVersion = label(this, twips(1050, 780, 3885, 225), false);
    lblDescription = label(this, twips(1050, 1125, 3885, 1170), true);
    lblDisclaimer = label(this, twips(255, 2625, 3870, 1020), true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(twips(4245, 2745, 1380, 345));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo->setGeometry(twips(4260, 3195, 1380, 345));
    setTabOrder(cmdOK, cmdSysInfo);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

frmAbout::~frmAbout() = default;

void frmAbout::Show() {
    if (!loaded_) {
        Form_Load();
        loaded_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    if (!isVisible()) {
        show();
        // Each showing starts as the first did, whichever button Enter pressed last time.
        cmdOK->setFocus();
        cmdOK->setDefault(true);
    }
    raise();
    activateWindow();
}

void frmAbout::Form_Load() {
    setWindowTitle(toolkit::AppTitle() + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(VersionText(toolkit::AppVersion()));
    lblTitle->setText(toolkit::AppTitle());
    lblDescription->setText(
        QStringLiteral("\u3000このアプリケーションは音声データを読み込み、波形表示するものです。\n"
                       "\u3000Windowsの標準ファーマットであるWave形式での録音と再生、波形表示が可能です。\n"
                       "\n"
                       "Copyright © 2026 ピコタ開発チーム"));
    lblDisclaimer->setText(QStringLiteral("このプログラムは著作権法で保護されています。\n"
                                          "無断で複製・配布・改変することは、\n"
                                          "法律により禁じられています。"));
}

void frmAbout::Unload() { loaded_ = false; }

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo() {
    try {
        QString SysInfoPath;
        if (!GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, SysInfoPath)) {
            if (!GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoLocKey, kSysInfoLocValue, SysInfoPath))
                throw std::runtime_error("no system information viewer");
            SysInfoPath += QStringLiteral("/MSINFO32.EXE");
            if (!QFileInfo(SysInfoPath).isFile())
                throw std::runtime_error("no system information viewer");
        }
        // The path is the program itself, never a command line for a shell.
        if (!toolkit::StartProgram(SysInfoPath))
            throw std::runtime_error("the viewer did not start");
    } catch (...) {
        toolkit::MsgBox(QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), toolkit::MsgButtons::OK,
                        toolkit::MsgIcon::None, this);
    }
}

void frmAbout::closeEvent(QCloseEvent* event) {
    // Not QDialog's: it would reject, and closing here is unloading, not cancelling.
    Unload();
    event->accept();
}

void frmAbout::done(int result) {
    Unload();
    QDialog::done(result);
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // Esc presses OK, the dialog's cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(kShadowLine, kEtchShadow);
    painter.fillRect(kLightLine, Qt::white);
}

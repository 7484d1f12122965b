#include "device/Module1.h"
#include "main/frmMain.h"
#include "platform/sound/WaveAudioService.h"
#include "platform/toolkit/Application.h"

#include <QApplication>

namespace toolkit = pikota::toolkit;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    toolkit::InitApplication(app);
    // The sound device starts connecting to the sound server now, in the background, so that the
    // first play or record does not wait for it; without a server the program works all the same.
    const auto sound = pikota::sound::makeSoundService();
    SetSoundService(sound.get());
    int result = 0;
    {
        frmMain window;
        result = app.exec();
    }
    SetSoundService(nullptr);
    return result;
}

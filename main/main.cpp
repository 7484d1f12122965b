#include "Application.h"
#include "Module1.h"
#include "WaveAudioService.h"
#include "frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    toolkit::InitApplication(app);
    // The sound device starts its audio library only at the first open.
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

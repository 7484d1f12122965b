// The road of a recording through the real sound device on its virtual engine:
// record, save (a refused name first), read back, play to the end.
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "platform/toolkit/PictureBox.h"
#include "tests/support/WindowTest.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

namespace toolkit = pikota::toolkit;

namespace {

class RoadOfARecording : public pikota::test::WindowTest {
protected:
    std::shared_ptr<pikota::sound::VirtualEngine> engine = std::make_shared<pikota::sound::VirtualEngine>();
    std::unique_ptr<pikota::sound::SoundService> virtualDevice = pikota::sound::makeSoundService(engine);
    RoadOfARecording() { service = virtualDevice.get(); }
};

TEST_F(RoadOfARecording, RecordSavePlayToTheEnd) {
    const QString refused = dir.filePath(QStringLiteral("say \"hi\".wav"));
    const QString saved = dir.filePath(QStringLiteral("録音 1.wav"));
    dialogAnswers = {refused, saved};
    {
        frmMain& form = *this->form;
        form.cmdSave1_Click();
        form.cmdRec1_Click();
        engine->advance(std::chrono::milliseconds(1000));

        // A name with a double quote is refused by the device: its text is shown,
        // nothing is written anywhere, and the recording is kept for the next Stop.
        form.cmdStop1_Click();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1].icon, toolkit::MsgIcon::Critical);
        EXPECT_FALSE(messages[1].text.isEmpty());
        EXPECT_TRUE(form.track1.RecordMode);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());

        form.cmdStop1_Click();
        EXPECT_FALSE(form.track1.RecordMode);
        ASSERT_TRUE(QFileInfo::exists(saved));
        EXPECT_EQ(form.track1.SampleLimit, 44100); // one second of 44100 Hz
        EXPECT_EQ(form.track1.FullScale, 65536);
        EXPECT_EQ(form.track1.waveFormat.nChannels, 2);
        EXPECT_NE((*form.track1.LeftSamples)[25], 0); // the 440 Hz input, not silence

        // Play it; the timer follows the virtual clock to the end.
        form.cmdPlay1_Click();
        EXPECT_TRUE(form.tmrPosition1->isActive());
        engine->advance(std::chrono::milliseconds(500));
        form.tmrPosition1_Timer();
        EXPECT_NEAR(form.linPosition1->X1(), 22050, 1);
        EXPECT_EQ(form.Picture2->drawing().size(), 883u);
        for (int i = 0; i < 10 && form.tmrPosition1->isActive(); ++i) {
            engine->advance(std::chrono::milliseconds(100));
            form.tmrPosition1_Timer();
        }
        EXPECT_FALSE(form.tmrPosition1->isActive());
        EXPECT_EQ(form.linPosition1->X1(), 44100);
        EXPECT_TRUE(form.cmdRoad2->isEnabled());
        EXPECT_TRUE(form.cmdPlay2->isEnabled());
        EXPECT_EQ(engine->playedFrames(), 44100u);
    }
}

} // namespace

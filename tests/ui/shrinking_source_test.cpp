#include "program_folder.h"
#include "support/audio_fixtures.h"
#include "support/notifier_recorder.h"
#include "ui/dlg_main.h"
#include "ui/main_window_controls.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// A source cut short while the window's run reads it (another program writing it, a share
// going away), measured for its ReplayGain values as the coder reads it: that file fails with
// its reason and the run's other file converts. Read through a mapping, the meter ended the
// whole program (SIGBUS) and every job of the run with it.
TEST(ShrinkingSourceTest, ASourceCutShortWhileItIsReadFailsAloneAndTheWindowLives)
{
    TestProgramFolder folder;
    // A coder that cuts its input to a million bytes (never longer), then copies what is left.
    const QString coder = u"Coders/Shrink/"_s;
    folder.WriteFile(coder + u"Presets.ini"_s, "Cut\r\n%in% %out%\r\n");
    folder.WriteFile(coder + u"Extensions.ini"_s, "wav\r\n");
    folder.WriteFile(coder + u"shrink.name"_s, "Shrink\r\n");
    ASSERT_TRUE(fixtures::WriteScript(folder.Path(coder + u"shrink"_s),
                                      "truncate -s '<1000000' \"$1\"\nexec cp \"$1\" \"$2\"\n"));
    const QString cut = folder.Path(u"Music/long.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(cut, 44100, 2, 16, 60.0));
    const QString whole = folder.MakeWav(u"short.wav"_s);

    NotifierRecorder recorder;
    CDlgMain window(EnglishPack());
    ASSERT_TRUE(window.Initialise());
    window.show();
    const MainWindowControls c = window.Controls();
    window.Settings().general.replayGain = 1;
    window.Settings().general.replayGainAlbum = 0;
    window.Settings().general.outputFolderSameAsOriginal = 0;
    window.Settings().general.outputFolder = folder.Path(u"out/"_s);
    window.Core().SetThreadsCount(2);
    window.AddPaths({cut, whole});
    const int shrink = c.coderCombo->findText(u"Shrink"_s);
    ASSERT_GE(shrink, 0);
    c.coderCombo->setCurrentIndex(shrink);
    c.coderCombo->activated(shrink);

    const CShowCounter shown(u"jobControl"_s);
    c.startButton->click();
    EXPECT_GT(shown.Count(), 0);
    ASSERT_EQ(recorder.Count(), 1);
    const QString message = recorder.Messages().first().text;
    EXPECT_TRUE(message.contains(cut)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"of 60.0 s"_s)) << message.toStdString();
    EXPECT_FALSE(message.contains(whole)) << message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder.Path(u"out/long.wav"_s)));
    EXPECT_GT(QFileInfo(folder.Path(u"out/short.wav"_s)).size(), 100000);
}

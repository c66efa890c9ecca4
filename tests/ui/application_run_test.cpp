#include "foundation/console_log.h"
#include "foundation/os.h"
#include "program_folder.h"
#include "support/environment_scope.h"
#include "support/notifier_recorder.h"
#include "ui/application_run.h"
#include "ui/dlg_main.h"
#include "ui/list_view_ex.h"
#include "ui/main_menu.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Closes the main window as soon as the program shows it, after an optional look inside.
void CloseMainWindowWhenShown(std::function<void(CDlgMain*)> look = {})
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, look] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<CDlgMain*>(widget);
            if (window != nullptr && window->isVisible()) {
                poll->stop();
                poll->deleteLater();
                if (look) {
                    look(window);
                }
                window->close();
                return;
            }
        }
    });
    poll->start();
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString IniValue(const QString& path, const QString& key)
{
    for (const QByteArray& line : ReadAll(path).split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(key + u'=')) {
            return text.mid(key.size() + 1);
        }
    }
    return {};
}

std::unique_ptr<CDlgMain> StartMainWindow()
{
    auto window = std::make_unique<CDlgMain>(EnglishPack());
    EXPECT_TRUE(window->Initialise());
    return window;
}

} // namespace

TEST(ApplicationRunTest, WithoutTheDatabaseStartUpStopsWithItsMessageAndExitCodeZero)
{
    TestProgramFolder folder({.withDatabase = false});
    NotifierRecorder recorder;
    EXPECT_EQ(RunApplication(), 0);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages().first().text, u"Database file Base.xml failed to load"_s);
    EXPECT_EQ(recorder.Messages().first().icon, INotifier::Icon::Error);
    // A failed start-up saves nothing.
    EXPECT_FALSE(QFile::exists(folder.Path(u"Settings.ini"_s)));
    EXPECT_FALSE(QFile::exists(folder.Path(u"FileList.m3u"_s)));
}

TEST(ApplicationRunTest, WithoutAnyLanguageTheProgramEndsWith255)
{
    TestProgramFolder folder({.withLanguage = false});
    NotifierRecorder recorder;
    EXPECT_EQ(RunApplication(), 255);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages().first().text,
              u"Unable to find any language. Try to reinstall application."_s);
    EXPECT_EQ(recorder.Messages().first().caption, u"Error"_s);
    EXPECT_FALSE(QFile::exists(folder.Path(u"Settings.ini"_s)));
    EnglishPack(); // the other tests need their pack back
}

TEST(ApplicationRunTest, ARunSavesItsStateAtCloseAndTheNextStartReadsItBack)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    const QString wav = folder.MakeWav(u"kept.wav"_s);
    CloseMainWindowWhenShown([&wav](CDlgMain* window) {
        window->AddPaths({wav});
        window->Controls().coderCombo->setCurrentIndex(1);
        window->Controls().coderCombo->activated(1);
        window->Controls().presetCombo->setCurrentIndex(1);
        window->resize(window->minimumSize() + QSize(123, 45));
    });
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_EQ(recorder.Count(), 0);

    const QString ini = folder.Path(u"Settings.ini"_s);
    EXPECT_EQ(IniValue(ini, u"CoderIndex"_s), u"1"_s);
    EXPECT_EQ(IniValue(ini, u"PresetIndex"_s), u"1"_s);
    // No Settings.ini at start: one thread per processor, executables also found by name.
    EXPECT_EQ(IniValue(ini, u"ThreadsCount"_s), QString::number(os::ProcessorCount()));
    EXPECT_EQ(IniValue(ini, u"FindByFileName"_s), u"1"_s);
    EXPECT_EQ(ReadAll(folder.Path(u"FileList.m3u"_s)), wav.toUtf8() + "\r\n");

    auto window = StartMainWindow();
    EXPECT_EQ(window->Controls().coderCombo->currentIndex(), 1);
    EXPECT_EQ(window->Controls().presetCombo->currentIndex(), 1);
    ASSERT_EQ(window->Controls().fileList->GetRowCount(), 1);
    EXPECT_EQ(window->Controls().fileList->GetCellText(0, 0), u"kept.wav"_s);
    EXPECT_EQ(window->size(), window->minimumSize() + QSize(123, 45));
}

TEST(ApplicationRunTest, WithRememberFileListOffTheListIsNotReadButStillWritten)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    const QString wav = folder.MakeWav(u"old.wav"_s);
    folder.WriteFile(u"FileList.m3u"_s, wav.toUtf8() + "\r\n");
    folder.WriteFile(u"Settings.ini"_s, "[Settings.General]\r\nRememberFileList=0\r\n");

    auto window = StartMainWindow();
    EXPECT_EQ(window->Controls().fileList->GetRowCount(), 0);
    window->close();
    EXPECT_EQ(ReadAll(folder.Path(u"FileList.m3u"_s)), QByteArray());
}

TEST(ApplicationRunTest, ACoderIndexBeyondTheListSelectsDecodeOnly)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    folder.WriteFile(u"Settings.ini"_s, "[Settings]\r\nCoderIndex=42\r\nPresetIndex=7\r\n"
                                        "[Settings.Core]\r\nThreadsCount=3\r\n");
    auto window = StartMainWindow();
    const MainWindowControls& c = window->Controls();
    EXPECT_EQ(c.coderCombo->currentIndex(), c.coderCombo->count() - 1);
    EXPECT_TRUE(window->IsDecodeOnlySelected());
    EXPECT_EQ(c.presetCombo->count(), 0);
    EXPECT_FALSE(c.presetCombo->isEnabled());
    EXPECT_EQ(window->Settings().core.threadsCount, 3);
}

TEST(ApplicationRunTest, APresetIndexBeyondTheCodersPresetsSelectsTheLast)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    folder.WriteFile(u"Settings.ini"_s, "[Settings]\r\nCoderIndex=1\r\nPresetIndex=9\r\n");
    auto window = StartMainWindow();
    EXPECT_EQ(window->Controls().presetCombo->currentIndex(), 1);
}

TEST(ApplicationRunTest, StartUpAppendsTheReadyLineAndItsDuration)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    auto window = StartMainWindow();
    const QStringList lines = ConsoleLog::Instance().Lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], EnglishPack().GetString(112));
    // "Start-up took %d ms." with a real number in place of the %d.
    const QString format = EnglishPack().GetString(113);
    const qsizetype at = format.indexOf(u"%d"_s);
    ASSERT_GE(at, 0);
    const QString last = lines.last();
    ASSERT_TRUE(last.startsWith(format.left(at)) && last.endsWith(format.mid(at + 2)));
    bool number = false;
    const int ms = last.mid(at, last.size() - format.size() + 2).toInt(&number);
    EXPECT_TRUE(number);
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 60000);
}

// The language chosen in the options is the one the next start speaks, whatever the system's.
TEST(ApplicationRunTest, TheLanguageChosenInTheOptionsIsTheNextStartsLanguage)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    ASSERT_TRUE(QFile::copy(SourceTreePath(u"data/Languages/german.json"_s),
                            folder.Path(u"Languages/german.json"_s)));
    QStringList offered;
    CloseMainWindowWhenShown([&offered](CDlgMain* window) {
        WhenModalShown(u"options"_s, [&offered](QWidget* options) {
            auto* choice = options->findChild<QComboBox*>(u"language"_s);
            if (choice == nullptr) {
                ADD_FAILURE() << "no language in the options";
                options->close();
                return;
            }
            for (int i = 0; i < choice->count(); ++i) {
                offered << choice->itemText(i);
            }
            choice->setCurrentIndex(choice->findData(u"german"_s));
            options->findChild<QPushButton*>(u"okButton"_s)->click();
        });
        window->RunCommand(MenuCommand::kOptions);
    });
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_EQ(offered, (QStringList{u"The system's language"_s, u"Deutsch"_s, u"English"_s}));
    EXPECT_EQ(IniValue(folder.Path(u"Settings.ini"_s), u"Language"_s), u"german"_s);

    QString coderLabel;
    CloseMainWindowWhenShown(
        [&coderLabel](CDlgMain* window) { coderLabel = window->Controls().coderLabel->text(); });
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_EQ(coderLabel, u"Kodierer"_s);
    EXPECT_EQ(recorder.Count(), 0);
    EnglishPack(); // the other tests need their pack back
}

TEST(ApplicationRunTest, ADamagedPlacementIsIgnoredAndTheOtherSettingsLoad)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    // A placement whose checksum does not match is left out; the rest loads.
    folder.WriteFile(u"Settings.ini"_s,
                     "[Settings]\r\nCoderIndex=2\r\n[Settings.Window]\r\nPlacement=0102FF\r\n");
    auto window = StartMainWindow();
    EXPECT_EQ(window->Controls().coderCombo->currentIndex(), 2);
    EXPECT_EQ(window->size(), window->minimumSize());
}

TEST(ApplicationRunTest, AnUnreadableSettingsFileIsReportedAndStartUpGoesOn)
{
    TestProgramFolder folder;
    NotifierRecorder recorder;
    QDir(folder.Path()).mkdir(u"Settings.ini"_s); // exists, but cannot be read as a file
    auto window = StartMainWindow();
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages().first().text, EnglishPack().GetString(118));
    EXPECT_EQ(recorder.Messages().first().caption, EnglishPack().GetString(119));
    // The defaults stand; the processor count is only taken when there is no file at all.
    EXPECT_EQ(window->Settings().core.threadsCount, 1);
    EXPECT_EQ(window->Controls().coderCombo->currentIndex(), 0);

    // Saving at close fails as well and says so; the file list is written all the same.
    window->close();
    ASSERT_EQ(recorder.Count(), 2);
    EXPECT_TRUE(recorder.Messages().last().text.startsWith(EnglishPack().GetString(117)));
    EXPECT_TRUE(QFile::exists(folder.Path(u"FileList.m3u"_s)));
}

TEST(ApplicationRunTest, ARunThatEndsAtOnceClosesItsWindowAndTheProgramStillEnds)
{
    TestProgramFolder folder;
    folder.WriteBesideSourcesSettings();
    NotifierRecorder recorder;
    const QString wav = folder.MakeWav(u"a.wav"_s);
    CloseMainWindowWhenShown([&](CDlgMain* window) {
        window->AddPaths({wav});
        window->Controls().coderCombo->setCurrentIndex(1);
        window->Controls().coderCombo->activated(1);
        // The coder's program goes away after start-up: its run ends before the window opens.
        QFile::remove(folder.Path(u"Coders/LAME MP3/lame"_s));
        // Had the window's loop never ended, this ends every loop and the exit code tells.
        QObject guard;
        QTimer::singleShot(60000, &guard, [] { QCoreApplication::exit(99); });
        window->Controls().startButton->click();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    });
    EXPECT_EQ(RunApplication(), 0);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages().first().text.contains(wav));
}

// A logout's SIGHUP or a SIGTERM while a conversion runs: the run is stopped as Stop does, its
// partial result and WAV removed, the state saved, and the program ends with 128 + the signal.
TEST(ApplicationRunTest, AStopSignalDuringARunCleansUpSavesAndEnds)
{
    TestProgramFolder folder;
    folder.WriteBesideSourcesSettings();
    NotifierRecorder recorder;
    folder.WriteFile(u"Coders/Hang/hang"_s, "#!/bin/sh\ncp \"$1\" \"$2\"\nexec sleep 60\n");
    QFile::setPermissions(folder.Path(u"Coders/Hang/hang"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.WriteFile(u"Coders/Hang/Presets.ini"_s, "Hang\n%in% %out%\n");
    folder.WriteFile(u"Coders/Hang/Extensions.ini"_s, "wav\n");
    const QString flac = folder.MakeFlac(u"a.flac"_s);
    // The run's WAV in a folder of its own: tests beside this one come and go in the shared one.
    QTemporaryDir wavs;
    ASSERT_TRUE(wavs.isValid());
    const CEnvironmentScope temporary("TMPDIR", QFile::encodeName(wavs.path()));
    const CEnvironmentScope runtime("XDG_RUNTIME_DIR", QFile::encodeName(wavs.path()));
    os::CatchStopSignals();
    CloseMainWindowWhenShown([&](CDlgMain* window) {
        window->AddPaths({flac});
        const int hang = window->Controls().coderCombo->findText(u"Hang"_s);
        window->Controls().coderCombo->setCurrentIndex(hang);
        window->Controls().coderCombo->activated(hang);
        // Once the coder writes its hidden result, the session ends.
        auto* watch = new QTimer(window);
        QObject::connect(watch, &QTimer::timeout, [&folder, watch] {
            if (!QDir(folder.Path(u"Music"_s))
                     .entryList({u".orv*"_s}, QDir::Files | QDir::Hidden)
                     .isEmpty()) {
                watch->stop();
                ::raise(SIGTERM);
            }
        });
        watch->start(20);
        window->Controls().startButton->click();
    });
    EXPECT_EQ(RunApplication(), 128 + SIGTERM);
    EXPECT_TRUE(QDir(folder.Path(u"Music"_s))
                    .entryList({u".orv*"_s}, QDir::Files | QDir::Hidden)
                    .isEmpty());
    EXPECT_TRUE(QDir(wavs.path()).entryList({u"orv*.wav"_s}, QDir::Files).isEmpty());
    EXPECT_EQ(ReadAll(folder.Path(u"FileList.m3u"_s)), flac.toUtf8() + "\r\n");
}

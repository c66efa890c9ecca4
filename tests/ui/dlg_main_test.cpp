#include "extensions/language_menu.h"
#include "foundation/console_log.h"
#include "main_window_fixture.h"
#include "planning/file_info.h"
#include "program_folder.h"
#include "support/audio_fixtures.h"
#include "support/notifier_recorder.h"
#include "ui/dlg_main.h"
#include "ui/list_view_ex.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

enum
{
    kName,
    kSize,
    kFormat,
    kDecoder,
    kCoder,
    kPreset
};

class MainWindowTest : public MainWindowFixture
{
protected:
    QStringList JobCells(int row) const
    {
        return {c.fileList->GetCellText(row, kDecoder), c.fileList->GetCellText(row, kCoder),
                c.fileList->GetCellText(row, kPreset)};
    }

    CFileInfo& File(int row) { return *window->FileList().At(row); }

    // Presses Start and waits for the job control window to close by itself.
    void StartAndWait()
    {
        const CShowCounter shown(u"jobControl"_s);
        c.startButton->click();
        EXPECT_GT(shown.Count(), 0);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
};

} // namespace

TEST_F(MainWindowTest, ListsCodersWithTheDecodeOnlyEntryLastAndTheFirstPreset)
{
    QStringList names;
    for (int i = 0; i < c.coderCombo->count(); ++i) {
        names << c.coderCombo->itemText(i);
    }
    EXPECT_EQ(names, TestProgramFolder::CoderNames() << EnglishPack().GetString(111));
    EXPECT_EQ(c.coderCombo->currentIndex(), 0);
    EXPECT_EQ(c.presetCombo->currentText(), u"Level 5"_s);
    EXPECT_TRUE(c.presetCombo->isEnabled());
    ASSERT_EQ(c.coderInfoList->GetRowCount(), 3);
    EXPECT_EQ(c.coderInfoList->GetCellText(0, 1), u"FLAC encoder"_s);
    EXPECT_EQ(window->windowTitle(), u"orvel 0.3.1 alpha [build 12]"_s);

    QStringList titles;
    for (int column = 0; column < c.fileList->GetColumnCount(); ++column) {
        titles << c.fileList->headerItem()->text(column);
    }
    CLanguagePack& pack = EnglishPack();
    EXPECT_EQ(titles, (QStringList{pack.GetString(102), pack.GetString(103), pack.GetString(104),
                                   pack.GetString(149), pack.GetString(105), pack.GetString(106),
                                   pack.GetString(527), pack.GetString(528), pack.GetString(510)}));
}

TEST_F(MainWindowTest, ApplyPlansTheSelectedRowsOrAllAndShowsCommandLines)
{
    const QString a = folder.MakeFlac(u"a.flac"_s);
    const QString b = folder.MakeFlac(u"b.flac"_s);
    const QString w = folder.MakeWav(u"c.wav"_s);
    window->AddPaths({a, b, w});
    ASSERT_EQ(c.fileList->GetRowCount(), 3);
    EXPECT_EQ(c.fileList->GetCellText(0, kName), u"a.flac"_s);
    EXPECT_TRUE(c.fileList->GetCellText(2, kSize).endsWith(u" KB"_s));
    EXPECT_EQ(c.fileList->GetCellText(0, kFormat), u"FLAC"_s);

    ChooseCoder(1); // LAME MP3
    c.presetCombo->setCurrentIndex(1);
    SelectOnly({0, 2});
    c.applyButton->click();
    EXPECT_EQ(JobCells(0), (QStringList{u"FLAC"_s, u"LAME MP3"_s, u"CBR 128"_s}));
    EXPECT_EQ(JobCells(1), (QStringList{QString(), QString(), QString()}));
    // A WAV source without a WAV decoder is encoded directly.
    EXPECT_EQ(JobCells(2), (QStringList{QString(), u"LAME MP3"_s, u"CBR 128"_s}));
    EXPECT_EQ(File(0).outputPath, folder.Path(u"Music/a.mp3"_s));

    // With several rows selected the edits show nothing.
    EXPECT_TRUE(c.coderLineEdit->text().isEmpty());
    SelectOnly({0});
    EXPECT_EQ(c.coderLineEdit->text(), File(0).coder->GetParameters());
    EXPECT_TRUE(c.coderLineEdit->text().startsWith(u"--quiet -b 128 "_s));
    EXPECT_EQ(c.decoderLineEdit->text(), File(0).decoder->GetParameters());
    EXPECT_TRUE(c.decoderLineEdit->text().contains(a));

    SelectOnly({});
    c.applyButton->click(); // no selection: every row
    EXPECT_EQ(JobCells(1), (QStringList{u"FLAC"_s, u"LAME MP3"_s, u"CBR 128"_s}));
    EXPECT_EQ(recorder.Count(), 0);
}

TEST_F(MainWindowTest, EditingACommandLineChangesOnlyTheShownFile)
{
    window->AddPaths({folder.MakeFlac(u"a.flac"_s), folder.MakeFlac(u"b.flac"_s)});
    c.applyButton->click();
    const QString before = File(1).coder->GetParameters();

    SelectOnly({0});
    c.coderLineEdit->setFocus();
    c.coderLineEdit->selectAll();
    QTest::keyClicks(c.coderLineEdit, u"-f -8 -o %out% %in%"_s);
    EXPECT_EQ(File(0).coder->GetParameters(), u"-f -8 -o %out% %in%"_s);
    QTest::keyClicks(c.decoderLineEdit, u" -x"_s);
    EXPECT_TRUE(File(0).decoder->GetParameters().endsWith(u" -x"_s));

    // Showing another file's lines changes neither file; with two rows selected typing
    // reaches no file.
    SelectOnly({1});
    EXPECT_EQ(c.coderLineEdit->text(), before);
    EXPECT_EQ(File(0).coder->GetParameters(), u"-f -8 -o %out% %in%"_s);
    SelectOnly({0, 1});
    QTest::keyClicks(c.coderLineEdit, u"zzz"_s);
    EXPECT_EQ(File(0).coder->GetParameters(), u"-f -8 -o %out% %in%"_s);
    EXPECT_EQ(File(1).coder->GetParameters(), before);
}

TEST_F(MainWindowTest, ResetRemovesTheJobsOfTheTargets)
{
    window->AddPaths({folder.MakeFlac(u"a.flac"_s), folder.MakeFlac(u"b.flac"_s)});
    c.applyButton->click();
    SelectOnly({1});
    c.resetButton->click();
    EXPECT_FALSE(File(1).coder);
    EXPECT_FALSE(File(1).decoder);
    EXPECT_EQ(JobCells(1), (QStringList{QString(), QString(), QString()}));
    EXPECT_TRUE(c.coderLineEdit->text().isEmpty());
    EXPECT_TRUE(File(0).coder != nullptr);

    SelectOnly({});
    c.resetButton->click();
    EXPECT_FALSE(File(0).coder);
    EXPECT_EQ(JobCells(0), (QStringList{QString(), QString(), QString()}));
}

TEST_F(MainWindowTest, StartConvertsEveryFileAndTheJobWindowClosesByItself)
{
    window->Core().SetThreadsCount(2);
    window->AddPaths(
        {folder.MakeFlac(u"a b.flac"_s), folder.MakeFlac(u"c.flac"_s), folder.MakeWav(u"d.wav"_s)});
    ChooseCoder(2); // Ogg Vorbis
    // Nothing planned yet: Start plans with the current coder first.
    StartAndWait();
    for (const QString& name : {u"a b.ogg"_s, u"c.ogg"_s, u"d.ogg"_s}) {
        EXPECT_GT(QFileInfo(folder.Path(u"Music/"_s + name)).size(), 0) << name.toStdString();
    }
    EXPECT_EQ(recorder.Count(), 0);
    EXPECT_FALSE(window->Core().IsRunning());

    // The files keep their jobs; a second Start runs them again.
    QFile::remove(folder.Path(u"Music/c.ogg"_s));
    EXPECT_TRUE(File(1).coder != nullptr);
    StartAndWait();
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/c.ogg"_s)));
}

TEST_F(MainWindowTest, AnExistingResultIsReplacedOnlyWhenTheUserSaysSo)
{
    // Results newer than their sources would be skipped without a question.
    window->Settings().general.skipUpToDate = 0;
    folder.WriteFile(u"Music/a.mp3"_s, "keep me");
    const QString kept = folder.MakeFlac(u"a.flac"_s);
    window->AddPaths({kept, folder.MakeFlac(u"b.flac"_s)});
    ChooseCoder(1);
    recorder.SetAnswer(false);
    StartAndWait(); // b still converts
    ASSERT_EQ(recorder.Count(), 1);
    const NotifierRecorder::Message question = recorder.Messages().first();
    EXPECT_TRUE(question.question);
    EXPECT_TRUE(question.text.startsWith(EnglishPack().GetString(184)));
    EXPECT_TRUE(question.text.contains(kept));
    EXPECT_FALSE(question.text.contains(u"b.flac"_s));
    QFile result(folder.Path(u"Music/a.mp3"_s));
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll(), "keep me");
    result.close();
    EXPECT_GT(QFileInfo(folder.Path(u"Music/b.mp3"_s)).size(), 0);

    recorder.SetAnswer(true);
    StartAndWait();
    ASSERT_EQ(recorder.Count(), 2);
    EXPECT_TRUE(recorder.Messages().last().text.contains(u"b.flac"_s));
    EXPECT_GT(QFileInfo(folder.Path(u"Music/a.mp3"_s)).size(), 1000);

    // With warnings off the user chose not to be asked.
    window->Settings().general.showWarnings = 0;
    StartAndWait();
    EXPECT_EQ(recorder.Count(), 2);
}

TEST_F(MainWindowTest, EnterInTheFileListPressesStart)
{
    window->AddPaths({folder.MakeWav(u"e.wav"_s)});
    ChooseCoder(1);
    c.fileList->setFocus();
    const CShowCounter shown(u"jobControl"_s);
    QTest::keyClick(c.fileList, Qt::Key_Return);
    EXPECT_GT(shown.Count(), 0);
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/e.mp3"_s)));
}

TEST_F(MainWindowTest, DecodeOnlyDisablesPresetsAndPlansOnlyDecoding)
{
    window->AddPaths({folder.MakeFlac(u"a.flac"_s)});
    ChooseCoder(0);
    c.applyButton->click(); // a coder from an earlier Apply...
    ASSERT_TRUE(File(0).coder != nullptr);

    ChooseCoder(c.coderCombo->count() - 1);
    EXPECT_TRUE(window->IsDecodeOnlySelected());
    EXPECT_FALSE(c.presetCombo->isEnabled());
    EXPECT_FALSE(c.presetLabel->isEnabled());
    EXPECT_EQ(c.presetCombo->count(), 0);
    EXPECT_EQ(c.coderInfoList->GetRowCount(), 0);

    c.applyButton->click(); // ...does not survive decode-only planning
    EXPECT_TRUE(File(0).decoder != nullptr);
    EXPECT_FALSE(File(0).coder);
    EXPECT_EQ(JobCells(0), (QStringList{u"FLAC"_s, QString(), QString()}));
    StartAndWait();
    EXPECT_GT(QFileInfo(folder.Path(u"Music/a.wav"_s)).size(), 44);

    ChooseCoder(1);
    EXPECT_TRUE(c.presetCombo->isEnabled());
    EXPECT_EQ(c.presetCombo->currentIndex(), 0);
}

// Covers, logs, anything no decoder reads: one box names them all, with the format MediaInfo
// gave or "unknown", and the other rows are planned.
TEST_F(MainWindowTest, FilesNoDecoderKnowsAreNamedInOneBoxAndTheOthersArePlanned)
{
    folder.WriteFile(u"Music/x.xyz"_s, QByteArray(4096, 'x'));
    folder.WriteFile(u"Music/cover.jpg"_s, QByteArray(4096, 'y'));
    window->AddPaths({folder.Path(u"Music/x.xyz"_s), folder.MakeFlac(u"a.flac"_s),
                      folder.Path(u"Music/cover.jpg"_s)});
    ASSERT_EQ(c.fileList->GetRowCount(), 3);
    ChooseCoder(1);
    c.applyButton->click();
    ASSERT_EQ(recorder.Count(), 1);
    const auto message = recorder.Messages().first();
    EXPECT_EQ(message.icon, INotifier::Icon::Error);
    EXPECT_EQ(message.caption, EnglishPack().GetString(119));
    EXPECT_TRUE(message.text.contains(folder.Path(u"Music/x.xyz"_s)));
    EXPECT_TRUE(message.text.contains(folder.Path(u"Music/cover.jpg"_s)));
    EXPECT_FALSE(message.text.contains(u"a.flac"_s));
    const QString format = File(0).format.isEmpty() ? u"unknown"_s : File(0).format;
    EXPECT_TRUE(message.text.contains(EnglishPack().GetString(122) + u' ' + format))
        << message.text.toStdString();
    EXPECT_FALSE(File(0).coder);
    EXPECT_FALSE(File(2).coder);
    EXPECT_EQ(JobCells(1), (QStringList{u"FLAC"_s, u"LAME MP3"_s, u"VBR V5"_s}));
}

TEST_F(MainWindowTest, AJobThatWouldReplaceItsSourceIsWarnedAboutAndLeftOut)
{
    const QString source = folder.MakeFlac(u"a.flac"_s);
    const QByteArray original = [&] {
        QFile file(source);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    window->AddPaths({source, folder.MakeFlac(u"b.flac"_s)});
    ChooseCoder(1);
    c.applyButton->click();
    SelectOnly({0});
    ChooseCoder(0); // FLAC to FLAC beside the source: the output is the source
    c.applyButton->click();
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages().first().text, EnglishPack().GetString(130));

    StartAndWait();
    ASSERT_EQ(recorder.Count(), 2);
    EXPECT_TRUE(recorder.Messages().last().text.contains(source));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), original);
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/b.mp3"_s)));
}

TEST_F(MainWindowTest, DroppedFilesAreAddedAndFoldersAreNot)
{
    const QString wav = folder.MakeWav(u"dropped one.wav"_s);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(wav), QUrl::fromLocalFile(folder.Path(u"Music"_s))});
    // As a drag from a file manager arrives: it enters the window, then is dropped.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    ASSERT_EQ(c.fileList->GetRowCount(), 1);
    EXPECT_EQ(c.fileList->GetCellText(0, kName), u"dropped one.wav"_s);
}

TEST_F(MainWindowTest, StartsAtItsTemplateSizeAndIgnoresEscape)
{
    EXPECT_EQ(window->minimumSize(), window->size());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, StartWithNothingPlannableQueuesNothingAndOpensNothing)
{
    c.startButton->click(); // empty list
    folder.WriteFile(u"Music/y.xyz"_s, QByteArray(2048, 'y'));
    window->AddPaths({folder.Path(u"Music/y.xyz"_s)});
    c.startButton->click(); // Apply reports the file; nothing runs
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(window->Core().GetTotalCount(), 0);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages().first().caption, EnglishPack().GetString(119));
}

TEST_F(MainWindowTest, ResultsGoToTheOutputFolderAndASharedOutputRunsOnce)
{
    QDir(folder.Path()).mkpath(u"out"_s);
    window->Settings().general.outputFolderSameAsOriginal = 0;
    window->Settings().general.outputFolder = folder.Path(u"out"_s); // no trailing separator
    window->Settings().general.showWarnings = 0;
    // Two sources of the same name would both write out/a.mp3.
    const QString second = folder.MakeFlac(u"sub/a.flac"_s);
    window->AddPaths({folder.MakeFlac(u"a.flac"_s), second});
    ChooseCoder(1);
    c.applyButton->click();
    EXPECT_EQ(File(0).outputPath, folder.Path(u"out/a.mp3"_s));
    EXPECT_EQ(recorder.Count(), 0); // warnings are off

    StartAndWait();
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"out/a.mp3"_s)));
    EXPECT_FALSE(QFileInfo::exists(folder.Path(u"Music/a.mp3"_s)));
    // Leaving a job out is said even with warnings off.
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages().first().text.contains(second));
}

// Names from tags: the command line shows each result's name, Start writes it there, and a file
// whose tags give an earlier file's name is left out; a pattern that is not valid plans nothing.
TEST_F(MainWindowTest, ResultsNamedFromTagsLandAtTheShownNames)
{
    window->Settings().general.outputFolderSameAsOriginal = 0;
    window->Settings().general.outputFolder = folder.Path(u"out/"_s);
    window->Settings().general.showWarnings = 0;
    window->Settings().general.namePattern = u"<artist>/[<disc>-]<track> <title>"_s;
    QStringList paths;
    for (const auto& [name, title] :
         {std::pair{u"a.flac"_s, u"Intro?"_s}, std::pair{u"b.flac"_s, u"Outro"_s},
          std::pair{u"c.flac"_s, u"Outro"_s}}) {
        paths << folder.MakeFlac(name);
        ASSERT_TRUE(
            fixtures::Run(u"metaflac"_s, {u"--set-tag=ARTIST=Band"_s, u"--set-tag=TITLE="_s + title,
                                          u"--set-tag=TRACKNUMBER=5"_s, paths.last()}));
    }
    window->AddPaths(paths);
    ChooseCoder(1);
    c.applyButton->click();
    SelectOnly({0});
    EXPECT_TRUE(c.coderLineEdit->text().contains(folder.Path(u"out/Band/05 Intro?.mp3"_s)))
        << c.coderLineEdit->text().toStdString();
    EXPECT_EQ(File(1).outputPath, folder.Path(u"out/Band/05 Outro.mp3"_s));

    StartAndWait();
    EXPECT_TRUE(QFileInfo::exists(File(0).outputPath));
    EXPECT_TRUE(QFileInfo::exists(File(1).outputPath));
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages().first().text.contains(paths[2]));

    window->Settings().general.namePattern = u"[<title>"_s;
    c.applyButton->click();
    ASSERT_EQ(recorder.Count(), 2);
    EXPECT_TRUE(recorder.Messages().last().text.contains(u"\"[\" is not closed"_s));
}

TEST_F(MainWindowTest, AnEditedCommandLineIsTheOneThatRuns)
{
    window->AddPaths({folder.MakeWav(u"tagged.wav"_s)});
    ChooseCoder(2); // Ogg Vorbis
    c.applyButton->click();
    SelectOnly({0});
    const QString planned = c.coderLineEdit->text();
    ASSERT_TRUE(planned.startsWith(u"-Q -q 3 "_s));
    c.coderLineEdit->setFocus();
    c.coderLineEdit->home(false);
    QTest::keyClicks(c.coderLineEdit, u"-c TITLE=EditedByHand "_s);

    StartAndWait();
    QFile output(folder.Path(u"Music/tagged.ogg"_s));
    ASSERT_TRUE(output.open(QIODevice::ReadOnly));
    EXPECT_TRUE(output.readAll().contains("TITLE=EditedByHand"));
    EXPECT_EQ(recorder.Count(), 0);
}

// A converted folder started again: every result is newer than its source, so nothing runs,
// nobody is asked about replacing, and the user is told how many files were skipped.
TEST_F(MainWindowTest, ASecondStartSkipsResultsThatAreUpToDate)
{
    constexpr int kFiles = 64;
    QStringList sources;
    for (int i = 0; i < kFiles; ++i) {
        sources << folder.MakeWav(u"song%1.wav"_s.arg(i));
    }
    window->AddPaths(sources);
    ChooseCoder(1);
    window->Core().SetThreadsCount(2);
    StartAndWait();
    ASSERT_EQ(recorder.Count(), 0);

    bool shown = false;
    WhenModalShown(u"jobControl"_s, [&shown](QWidget*) { shown = true; });
    QElapsedTimer timer;
    timer.start();
    c.startButton->click();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(shown) << "no program was to run";
    EXPECT_EQ(window->Core().GetTotalCount(), 0);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_FALSE(recorder.Messages().first().question);
    EXPECT_TRUE(recorder.Messages().first().text.endsWith(u": 64"_s))
        << recorder.Messages().first().text.toStdString();

    // A source changed since its conversion is no longer up to date.
    QThread::msleep(20);
    folder.MakeWav(u"song7.wav"_s);
    window->Settings().general.showWarnings = 0;
    StartAndWait();
    QList<QString> ran;
    for (const RunResult& run : window->Core().GetRunResults()) {
        ran << run.inputFile;
    }
    EXPECT_EQ(ran, QList<QString>{sources[7]});
}

// A file whose coder fails is named with what its program said last, in the end message and
// the console log; Retry failed then runs only that file.
TEST_F(MainWindowTest, FailuresAreExplainedAndRetryRunsOnlyTheFailedFiles)
{
    const QStringList sources = {folder.MakeWav(u"good1.wav"_s), folder.MakeWav(u"bad.wav"_s),
                                 folder.MakeWav(u"good2.wav"_s)};
    window->AddPaths(sources);
    ChooseCoder(0); // FLAC
    c.applyButton->click();
    folder.WriteFile(u"Music/bad.wav"_s, "no audio here");
    StartAndWait();
    ASSERT_EQ(recorder.Count(), 1);
    const QString message = recorder.Messages().first().text;
    EXPECT_TRUE(message.contains(sources[1])) << message.toStdString();
    // flac's last word on a file that is no WAV.
    const QString said = u"ERROR: for encoding a raw file you must specify"_s;
    EXPECT_TRUE(message.contains(said)) << message.toStdString();
    EXPECT_FALSE(message.contains(u"good"_s));
    EXPECT_TRUE(ConsoleLog::Instance().Lines().join(u'\n').contains(said));
    EXPECT_FALSE(QFileInfo::exists(folder.Path(u"Music/bad.flac"_s)));

    folder.MakeWav(u"bad.wav"_s);
    window->Settings().general.skipUpToDate = 0; // the good results would be skipped anyway
    // A file added since does not make the list forget which file failed.
    window->AddPaths({folder.MakeWav(u"added.wav"_s)});
    window->RunCommand(MenuCommand::kRetryFailed);
    QList<QString> ran;
    for (const RunResult& run : window->Core().GetRunResults()) {
        ran << run.inputFile;
    }
    EXPECT_EQ(ran, QList<QString>{sources[1]});
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/bad.flac"_s)));
    EXPECT_EQ(recorder.Count(), 1);

    window->RunCommand(MenuCommand::kRetryFailed);
    ASSERT_EQ(recorder.Count(), 2);
    EXPECT_EQ(recorder.Messages().last().text, EnglishPack().GetString(254));
}

TEST_F(MainWindowTest, ApplyWithACoderWithoutPresetsSaysSoAndKeepsTheEarlierPlan)
{
    window->AddPaths({folder.MakeFlac(u"a.flac"_s)});
    ChooseCoder(1);
    c.applyButton->click();
    const CDecoder* planned = File(0).decoder.get();
    ASSERT_TRUE(planned && File(0).coder);

    window->CurrentCoder()->GetEntries().clear(); // as a folder without preset files loads
    c.applyButton->click();
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages().first().text, EnglishPack().GetString(185));
    EXPECT_EQ(File(0).decoder.get(), planned);
    EXPECT_EQ(File(0).coder->decoder, planned);
}

// Results that would go nowhere, or into a folder that cannot be made, are said at Apply and
// nothing is planned; writing beside the sources instead was never asked for.
TEST_F(MainWindowTest, AnOutputFolderThatIsMissingOrCannotBeMadeIsSaidAtApply)
{
    const QString flac = folder.MakeFlac(u"a.flac"_s);
    window->AddPaths({flac});
    window->Settings().general.outputFolderSameAsOriginal = 0;
    // A folder below a file cannot be made, whoever asks.
    for (const auto& [setting, said] : {std::pair{u""_s, u"No output folder is set"_s},
                                        std::pair{flac + u"/out"_s, u"cannot be created"_s}}) {
        window->Settings().general.outputFolder = setting;
        const int before = recorder.Count();
        c.applyButton->click();
        ASSERT_EQ(recorder.Count(), before + 1);
        EXPECT_TRUE(recorder.Messages().last().text.contains(said)) << said.toStdString();
        EXPECT_EQ(File(0).coder, nullptr);
    }
}

// A thread count typed into Settings.ini that no machine has is brought into range, and the
// window starts.
TEST_F(MainWindowTest, AThreadCountNoMachineHasStillLetsTheWindowStart)
{
    folder.WriteFile(u"Settings.ini"_s, "[Settings.Core]\r\nThreadsCount=2147483647\r\n");
    CDlgMain second(EnglishPack());
    ASSERT_TRUE(second.Initialise());
    EXPECT_EQ(second.Settings().core.threadsCount, CSettingsCore::kMaxThreadsCount);
}

// With the folder structure kept, an album added alone keeps its place below the library
// folder, as it would with the whole library listed; a file outside it keeps today's rule.
TEST_F(MainWindowTest, AnAlbumAddedAloneKeepsItsPlaceBelowTheLibraryFolder)
{
    CSettingsGeneral& general = window->Settings().general;
    general.outputFolderSameAsOriginal = 0;
    general.outputFolder = folder.Path(u"out/"_s);
    general.keepFolderStructure = 1;
    window->Settings().library.libraryFolder = folder.Path(u"Music/lib"_s);
    window->AddPaths(
        {folder.MakeWav(u"lib/Artist/Album/01.wav"_s), folder.MakeWav(u"loose/x.wav"_s)});
    ChooseCoder(1);
    c.applyButton->click();
    EXPECT_EQ(window->FileList().At(0)->PlannedResult(), folder.Path(u"out/Artist/Album/01.mp3"_s));
    EXPECT_EQ(window->FileList().At(1)->PlannedResult(), folder.Path(u"out/x.mp3"_s));
}

#include "main_window_fixture.h"
#include "planning/file_info.h"
#include "program_folder.h"
#include "support/audio_fixtures.h"
#include "support/desktop_buses.h"
#include "support/notifier_recorder.h"
#include "ui/dlg_main.h"
#include "ui/list_view_ex.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kStatus = 8;

class MainWindowJobsTest : public MainWindowFixture
{
protected:
    // Presses Start and answers the question about unplanned files with the named button;
    // returns the question's text, empty when none came.
    QString StartAnswering(const QString& button)
    {
        QString asked;
        QTimer::singleShot(0, window.get(), [&asked, button] {
            ASSERT_TRUE(QTest::qWaitFor([] {
                QWidget* modal = QApplication::activeModalWidget();
                return modal != nullptr && modal->objectName() == u"unplannedQuestion"_s;
            }));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            asked = box->text();
            box->findChild<QPushButton*>(button)->click();
        });
        c.startButton->click();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        return asked;
    }

    QStringList StatusColumn() const
    {
        QStringList cells;
        for (int row = 0; row < c.fileList->GetRowCount(); ++row) {
            cells << c.fileList->GetCellText(row, kStatus);
        }
        return cells;
    }

    QString Tip(int row, int column) const
    {
        return c.fileList->topLevelItem(row)->toolTip(column);
    }
};

} // namespace

// Six files, one of them planned: Start never converts part of the list unasked. Convert only
// the planned one, cancel, then plan the rest with the current coder and preset.
TEST_F(MainWindowJobsTest, StartAfterAPartialApplyAsksAboutTheFilesNotPlanned)
{
    QStringList sources;
    for (int i = 1; i <= 6; ++i) {
        sources << folder.MakeWav(u"song%1.wav"_s.arg(i));
    }
    window->AddPaths(sources);
    ChooseCoder(1); // LAME MP3
    SelectOnly({2});
    c.applyButton->click();

    const QString asked = StartAnswering(u"onlyPlannedButton"_s);
    EXPECT_TRUE(asked.startsWith(u"5 of the 6 files"_s)) << asked.toStdString();
    EXPECT_TRUE(asked.contains(u"LAME MP3, VBR V5"_s)) << asked.toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/song3.mp3"_s)));
    EXPECT_FALSE(QFileInfo::exists(folder.Path(u"Music/song1.mp3"_s)));
    EXPECT_EQ(StatusColumn(), (QStringList{{}, {}, u"Converted"_s, {}, {}, {}}));

    const int runs = int(window->Core().GetRunResults().size());
    StartAnswering(u"cancelButton"_s);
    EXPECT_EQ(window->Core().GetRunResults().size(), runs);
    EXPECT_EQ(window->FileList().At(0)->coder, nullptr);

    StartAnswering(u"planThemButton"_s);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/song%1.mp3"_s.arg(i)))) << i;
    }
    // The one converted before is up to date now.
    EXPECT_EQ(StatusColumn(), (QStringList{u"Converted"_s, u"Converted"_s, u"Up to date"_s,
                                           u"Converted"_s, u"Converted"_s, u"Converted"_s}));
    EXPECT_TRUE(c.runSummary->text().contains(u"5 converted, 0 failed, 0 left out, 1 up to date"_s))
        << c.runSummary->text().toStdString();
    // Only the up-to-date count was worth a box; the line says the rest.
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages().first().text.endsWith(u": 1"_s));
}

// After a real run each row says what became of it: converted, failed with what its program
// said, left out with why, up to date; the line below says how many of each and how long it
// took. The states belong to the list: adding a file forgets them.
TEST_F(MainWindowJobsTest, TheStatusColumnSaysWhatBecameOfEachFileUntilTheListChanges)
{
    window->Settings().general.showWarnings = 0;
    const QStringList sources = {folder.MakeWav(u"good.wav"_s), folder.MakeWav(u"bad.wav"_s),
                                 folder.MakeFlac(u"same.flac"_s), folder.MakeWav(u"done.wav"_s)};
    window->AddPaths(sources);
    ChooseCoder(0); // FLAC
    c.applyButton->click();
    folder.WriteFile(u"Music/bad.wav"_s, "no audio here");
    // done.wav's result is newer than its source and whole; same.flac would write over itself.
    folder.MakeFlac(u"done.flac"_s);
    QFile source(sources[3]);
    ASSERT_TRUE(source.open(QIODevice::ReadWrite));
    source.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                       QFileDevice::FileModificationTime);
    source.close();
    recorder.SetAnswer(false);
    window->Settings().general.skipUpToDate = 1;
    const CShowCounter shown(u"jobControl"_s);
    c.startButton->click();
    EXPECT_GT(shown.Count(), 0);

    EXPECT_EQ(StatusColumn(),
              (QStringList{u"Converted"_s, u"Failed"_s, u"Left out"_s, u"Up to date"_s}));
    EXPECT_TRUE(Tip(1, kStatus).contains(u"ERROR: for encoding a raw file you must specify"_s))
        << Tip(1, kStatus).toStdString();
    EXPECT_FALSE(Tip(2, kStatus).isEmpty());
    EXPECT_TRUE(Tip(0, kStatus).isEmpty());
    EXPECT_TRUE(c.runSummary->text().contains(u"1 converted, 1 failed, 1 left out, 1 up to date"_s))
        << c.runSummary->text().toStdString();
    // Files of one name from different folders are told apart by their paths, and their
    // lengths and rates are shown.
    EXPECT_EQ(Tip(0, 0), sources[0]);
    EXPECT_EQ(c.fileList->GetCellText(0, 6), u"0:01"_s);
    EXPECT_EQ(c.fileList->GetCellText(0, 7), u"44100 Hz"_s);

    window->AddPaths({folder.MakeWav(u"new.wav"_s)});
    EXPECT_EQ(StatusColumn(), (QStringList{{}, {}, {}, {}, {}}));
}

// While a long file is converted beside short ones the job window lists its program from the
// session's states, its bar follows the audio (the short files done are a small share of it,
// while every program has started) and its text counts programs; Stop leaves the long file
// Stopped in the list, removes its partial result and the line below says so.
TEST_F(MainWindowJobsTest, TheJobWindowFollowsTheSessionAndStopLeavesTheFileStopped)
{
    const QString source = folder.Path(u"Music/long.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(source, 44100, 2, 16, 240));
    QStringList sources{source};
    for (const QString& name : {u"s1.wav"_s, u"s2.wav"_s, u"s3.wav"_s})
        sources << folder.MakeWav(name);
    window->AddPaths(sources);
    window->Settings().core.threadsCount = 2;
    ChooseCoder(1); // LAME MP3, straight from the WAV
    const QStringList shortsDone{u"Encoding"_s, u"Converted"_s, u"Converted"_s, u"Converted"_s};
    QStringList row;
    QString status;
    int bar = -1;
    int barEnd = -1;
    WhenModalShown(u"jobControl"_s, [&](QWidget* modal) {
        auto* list = modal->findChild<CListViewEx*>(u"jobList"_s);
        auto* progress = modal->findChild<QProgressBar*>(u"progressBar"_s);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return StatusColumn() == shortsDone && list->GetRowCount() == 1; }, 60000))
            << StatusColumn().join(u',').toStdString();
        // The job window refreshes on its own clock: it shows the short files done a moment
        // after the list does.
        ASSERT_TRUE(QTest::qWaitFor(
            [progress] { return progress->value() >= progress->maximum() * 3 / 243; }, 60000));
        for (int column = 0; column < list->GetColumnCount(); ++column)
            row << list->GetCellText(0, column);
        status = modal->findChild<QLabel*>(u"statusText"_s)->text();
        bar = progress->value();
        barEnd = progress->maximum();
        modal->findChild<QPushButton*>(u"stopButton"_s)->click();
    });
    c.startButton->click();
    EXPECT_EQ(row, (QStringList{EnglishPack().GetString(105), u"lame"_s, u"long.wav"_s,
                                QFileInfo(window->FileList().At(0)->outputPath).fileName()}));
    EXPECT_TRUE(status.contains(EnglishPack().GetString(172) + u": 4"_s)) << status.toStdString();
    // Three seconds of 243 are done; the long file counts by its time, never as whole.
    EXPECT_GT(barEnd, 0);
    EXPECT_GE(bar, barEnd * 3 / 243);
    EXPECT_LT(bar, barEnd);
    EXPECT_TRUE(QTest::qWaitFor([this] {
        return StatusColumn() ==
               QStringList{u"Stopped"_s, u"Converted"_s, u"Converted"_s, u"Converted"_s};
    })) << StatusColumn().join(u',').toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder.Path(u"Music/long.mp3"_s)));
    // The summary follows the end of the run, which may come after the files' states.
    EXPECT_TRUE(QTest::qWaitFor([this] { return c.runSummary->text().contains(u"1 stopped"_s); }))
        << c.runSummary->text().toStdString();
}

namespace {

// The window on a desktop of its own: private buses stand in for the system's (logind) and the
// session's (the screen saver, the notification service, the launcher).
class MainWindowDesktopBusTest : public MainWindowJobsTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(buses.ready) << buses.Record().join(u'\n').toStdString();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", buses.Address(0).toUtf8());
        qputenv("DBUS_SESSION_BUS_ADDRESS", buses.Address(1).toUtf8());
        MainWindowJobsTest::SetUp();
    }
    void TearDown() override { window.reset(); }

    CDesktopBuses buses;
};

} // namespace

// A run in the window keeps the machine awake until it ends, shows its progress on the
// launcher and clears it, and, as the window is not the active one at its end, the desktop
// tells its counts.
TEST_F(MainWindowDesktopBusTest, TheDesktopFollowsARunOfTheWindow)
{
    window->AddPaths({folder.MakeWav(u"a.wav"_s), folder.MakeWav(u"b.wav"_s)});
    ChooseCoder(0); // FLAC
    // The user has gone to another window.
    QWidget elsewhere;
    elsewhere.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    const CShowCounter shown(u"jobControl"_s);
    c.startButton->click();
    EXPECT_GT(shown.Count(), 0);
    EXPECT_TRUE(buses.Saw(u"inhibit sleep:idle|orvel|Converting audio (2 files)|block"_s));
    EXPECT_TRUE(buses.Saw(u"released"_s));
    // The two buses deliver in no order between them; each keeps its own.
    const auto seen = [this](const QString& start, const QString& part) {
        return fixtures::WaitUntil([&] {
            const QStringList record = buses.Record();
            return std::any_of(record.cbegin(), record.cend(), [&](const QString& line) {
                return line.startsWith(start) && line.contains(part);
            });
        });
    };
    EXPECT_TRUE(seen(u"notify orvel|Conversion finished|2 converted, 0 failed, 0 left out"_s, {}))
        << buses.Record().join(u'\n').toStdString();
    EXPECT_TRUE(buses.Saw(
        u"launcher application://orvel.desktop|progress=0|visible=false|count=0|count-visible=false"_s));
    EXPECT_TRUE(seen(u"launcher application://orvel.desktop|"_s, u"|visible=true|"_s));
}

// An album image with its sheet beside it is listed as its tracks, each with its own length;
// Start decodes the image once and converts each track to its own result, named after the
// image and the track.
TEST_F(MainWindowJobsTest, AnAlbumImageIsListedAndConvertedAsItsTracks)
{
    folder.MakeFlac(u"Album.flac"_s); // one second
    folder.WriteFile(u"Music/Album.cue"_s, "TITLE \"Album\"\nFILE \"Album.flac\" WAVE\n"
                                           "  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                                           "    INDEX 01 00:00:00\n"
                                           "  TRACK 02 AUDIO\n    TITLE \"Two\"\n"
                                           "    INDEX 01 00:00:30\n");
    window->AddPaths({folder.Path(u"Music/Album.flac"_s)});
    ASSERT_EQ(c.fileList->GetRowCount(), 2);
    EXPECT_EQ(c.fileList->GetCellText(0, 0), u"Album.flac - 01 - One"_s);
    EXPECT_EQ(c.fileList->GetCellText(1, 0), u"Album.flac - 02 - Two"_s);
    EXPECT_EQ(window->FileList().At(0)->duration, 400);
    EXPECT_EQ(window->FileList().At(1)->duration, 600);

    ChooseCoder(1); // LAME MP3
    c.applyButton->click();
    c.startButton->click();
    EXPECT_EQ(StatusColumn(), (QStringList{u"Converted"_s, u"Converted"_s}));
    int decodes = 0;
    for (const RunResult& run : window->Core().GetRunResults())
        decodes += run.kind == kDecoderRun ? 1 : 0;
    EXPECT_EQ(decodes, 1);
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/Album - 01 - One.mp3"_s)));
    EXPECT_TRUE(QFileInfo::exists(folder.Path(u"Music/Album - 02 - Two.mp3"_s)));
}

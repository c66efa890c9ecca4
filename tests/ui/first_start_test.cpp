#include "filelist/file_list.h"
#include "program_folder.h"
#include "support/notifier_recorder.h"
#include "ui/dlg_main.h"
#include "ui/file_adder.h"
#include "ui/list_view_ex.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// What a new user meets: no Settings.ini, a home of their own (the program folder's), the real
// main window.
class FirstStartTest : public ::testing::Test
{
protected:
    void Open()
    {
        window = std::make_unique<CDlgMain>(EnglishPack());
        ASSERT_TRUE(window->Initialise());
        window->show();
        c = window->Controls();
    }

    // The shipped scripts' shape, for a program this machine does not have.
    void AddAbsentCoder()
    {
        folder.WriteFile(u"Coders/Absent/Presets.ini"_s, "Default\r\n%in% %out%\r\n");
        folder.WriteFile(u"Coders/Absent/Extensions.ini"_s, "abs\r\n");
        folder.WriteFile(u"Coders/Absent/run.name"_s, "Absent\r\n");
        folder.WriteFile(u"Coders/Absent/run"_s,
                         "#!/bin/sh\nprogram=$(command -v orvel-absent-encoder) || {\n"
                         "    echo \"orvel: orvel-absent-encoder is not installed. Install the "
                         "Debian package orvel-tools: sudo apt install orvel-tools\" >&2\n"
                         "    exit 127\n}\nexec \"$program\" \"$@\"\n");
        QFile::setPermissions(folder.Path(u"Coders/Absent/run"_s),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }

    TestProgramFolder folder;
    NotifierRecorder recorder;
    std::unique_ptr<CDlgMain> window;
    MainWindowControls c;
};

} // namespace

// Start on a FLAC library converts it at once, with no box: a lossy coder at its second preset,
// into ~/Music/orvel (made then), each result at its source's place.
TEST_F(FirstStartTest, StartOnAFlacLibraryConvertsItWithoutABox)
{
    Open();
    EXPECT_EQ(c.coderCombo->currentText(), u"LAME MP3"_s);
    EXPECT_EQ(c.presetCombo->currentText(), u"CBR 128"_s);
    const QString orvel = folder.Path(u"home/Music/orvel"_s);
    EXPECT_FALSE(QFileInfo::exists(orvel));
    window->AddPaths({folder.MakeFlac(u"A/one.flac"_s), folder.MakeFlac(u"B/two.flac"_s)});

    const CShowCounter shown(u"jobControl"_s);
    c.startButton->click();
    EXPECT_GT(shown.Count(), 0);
    for (const QString& result : {u"A/one.mp3"_s, u"B/two.mp3"_s})
        EXPECT_GT(QFileInfo(orvel + u'/' + result).size(), 1000) << result.toStdString();
    for (const NotifierRecorder::Message& message : recorder.Messages())
        ADD_FAILURE() << message.text.toStdString();
}

// A name pattern with folders and the kept structure of a first start: the pattern's folders
// take the place of the library's, never both.
TEST_F(FirstStartTest, APatternsFoldersTakeThePlaceOfTheKeptOnes)
{
    Open();
    const QString wav = folder.MakeWav(u"tone.wav"_s);
    const QString flac = folder.Path(u"Music/Artist/Album/01.flac"_s);
    QDir().mkpath(QFileInfo(flac).path());
    QProcess encoder;
    encoder.start(u"/usr/bin/flac"_s,
                  {u"-s"_s, u"-f"_s, u"-T"_s, u"ARTIST=Artist"_s, u"-T"_s, u"ALBUM=Album"_s,
                   u"-T"_s, u"TITLE=Title"_s, u"-T"_s, u"TRACKNUMBER=1"_s, u"-o"_s, flac, wav});
    ASSERT_TRUE(encoder.waitForFinished(60000) && encoder.exitCode() == 0);
    QFile::remove(wav);
    window->Settings().general.namePattern = u"<artist>/<album>/<track> - <title>"_s;
    window->AddPaths({flac, folder.MakeWav(u"Other/tone.wav"_s)});

    c.startButton->click();
    EXPECT_GT(QFileInfo(folder.Path(u"home/Music/orvel/Artist/Album/01 - Title.mp3"_s)).size(),
              1000);
    EXPECT_FALSE(QFileInfo::exists(folder.Path(u"home/Music/orvel/Artist/Album/Artist"_s)));
    EXPECT_EQ(recorder.Count(), 0);
}

// The coder list and the coder's information say what to install; Start says it once and
// starts nothing.
TEST_F(FirstStartTest, ACoderWhoseProgramIsMissingSaysWhatToInstallAndIsNotStarted)
{
    AddAbsentCoder();
    Open();
    ASSERT_EQ(c.coderCombo->itemText(0), u"Absent (not installed: Debian package orvel-tools)"_s);
    EXPECT_EQ(c.coderCombo->itemText(1), u"FLAC"_s);
    c.coderCombo->setCurrentIndex(0);
    c.coderCombo->activated(0);
    const QString sentence = u"orvel-absent-encoder is not installed. Install the Debian package "
                             u"orvel-tools: sudo apt install orvel-tools"_s;
    const int rows = c.coderInfoList->GetRowCount();
    ASSERT_GT(rows, 0);
    EXPECT_EQ(c.coderInfoList->GetCellText(rows - 1, 0), u"Program"_s);
    EXPECT_EQ(c.coderInfoList->GetCellText(rows - 1, 1), sentence);
    // A program linked in as it is has no script to ask: its coder has no such row.
    c.coderCombo->setCurrentIndex(1);
    EXPECT_NE(c.coderInfoList->GetCellText(c.coderInfoList->GetRowCount() - 1, 0), u"Program"_s);

    c.coderCombo->setCurrentIndex(0);
    c.coderCombo->activated(0);
    window->AddPaths({folder.MakeWav(u"a.wav"_s)});
    const CShowCounter shown(u"jobControl"_s);
    window->Start();
    EXPECT_EQ(shown.Count(), 0);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_TRUE(recorder.Messages()[0].text.endsWith(u"\nAbsent: "_s + sentence))
        << recorder.Messages()[0].text.toStdString();
    EXPECT_FALSE(window->FileList().At(0)->coder) << "nothing planned either";
}

// Add folder takes the music and leaves out, counted once, what no decoder reads; a file the
// user names is added whatever it is.
TEST_F(FirstStartTest, AddFolderLeavesOutCoversLogsAndCueSheetsAndSaysHowMany)
{
    Open();
    const QString song = folder.MakeFlac(u"Album/01.flac"_s);
    const QString wav = folder.MakeWav(u"Album/02.wav"_s);
    for (const QString& name : {u"folder.jpg"_s, u"rip.log"_s, u"album.cue"_s})
        folder.WriteFile(u"Music/Album/"_s + name, "not audio");

    CFileAdder adder(window.get(), EnglishPack());
    const QStringList listed = adder.ListFolder(folder.Path(u"Music/Album"_s), window->Decoders());
    EXPECT_EQ(listed, (QStringList{song, wav}));
    window->ReadPaths(adder, listed);
    EXPECT_EQ(window->FileList().Count(), 2);
    ASSERT_EQ(recorder.Count(), 1);
    EXPECT_EQ(recorder.Messages()[0].text,
              u"Left out, as no decoder reads them (covers, logs, cue sheets): 3 files"_s);

    window->AddPaths({folder.Path(u"Music/Album/folder.jpg"_s)});
    EXPECT_EQ(window->FileList().Count(), 3);
    EXPECT_EQ(recorder.Count(), 1);
}

#include "foundation/os.h"
#include "settings/settings_set.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

std::string ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

void WriteText(const QString& path, const std::string& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), qint64(text.size()));
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// Runs `action` in a child process whose files may not grow past `limit` bytes, as on a full
// disk; true when the action reported success.
bool RunWithFileSizeLimit(rlim_t limit, const std::function<bool()>& action)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &small) != 0)
            _exit(2);
        _exit(action() ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not set the file size limit";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SettingsSetTest : public ::testing::Test
{
protected:
    QString Path() const { return CSettingsSet::FilePath(dir.path()); }

    QTemporaryDir dir;
};

// Every value a fresh set starts with, which a missing file and a reset must give back.
void ExpectDefaults(const CSettingsSet& set)
{
    const CSettingsSet fresh;
    EXPECT_EQ(set.coderIndex, fresh.coderIndex);
    EXPECT_EQ(set.presetIndex, fresh.presetIndex);
    EXPECT_EQ(set.optionsInitialPage, fresh.optionsInitialPage);
    EXPECT_EQ(set.filterIndex, fresh.filterIndex);
    EXPECT_EQ(set.showCoders, fresh.showCoders);
    EXPECT_EQ(set.showDecoders, fresh.showDecoders);
    EXPECT_EQ(set.core.priority, fresh.core.priority);
    EXPECT_EQ(set.core.threadsCount, fresh.core.threadsCount);
    EXPECT_EQ(set.general.outputFolder, fresh.general.outputFolder);
    EXPECT_EQ(set.general.rememberFileList, fresh.general.rememberFileList);
    EXPECT_EQ(set.general.outputFolderSameAsOriginal, fresh.general.outputFolderSameAsOriginal);
    EXPECT_EQ(set.general.showWarnings, fresh.general.showWarnings);
    EXPECT_EQ(set.general.addOnlyExists, fresh.general.addOnlyExists);
    EXPECT_EQ(set.general.copyTags, fresh.general.copyTags);
    EXPECT_EQ(set.general.atomicOutputs, fresh.general.atomicOutputs);
    EXPECT_EQ(set.general.skipUpToDate, fresh.general.skipUpToDate);
    EXPECT_EQ(set.database.findByFileName, fresh.database.findByFileName);
}

TEST_F(SettingsSetTest, NewSetHoldsTheDefaults)
{
    // The output folder starts as the user's home folder, ending in a separator.
    const QString home = QDir::homePath();
    EXPECT_EQ(CSettingsSet().general.outputFolder, home.endsWith(u'/') ? home : home + u'/');
    EXPECT_TRUE(CSettingsSet().window.placement.isEmpty());

    CSettingsSet loaded;
    EXPECT_TRUE(loaded.LoadFromFile(Path())) << "a missing file loads every default";
    ExpectDefaults(loaded);
}

TEST_F(SettingsSetTest, SaveWritesEverySectionInItsOrder)
{
    CSettingsSet set;
    set.coderIndex = 2;
    set.core.threadsCount = 4;
    set.general.outputFolder = u"/home/u/Music/"_s;
    set.window.placement = QByteArray("\x01\x02\xFF", 3);
    set.general.namePattern = u"<artist>/<title>"_s;
    for (const QString& used : {u"<artist>/<title>"_s, u"<title>"_s, u"<artist>/<title>"_s})
        set.general.RememberNamePattern(used);
    set.library.syncRoots = {u"/m/flac"_s, u"/m/more"_s};
    ASSERT_TRUE(set.SaveToFile(Path()));
    EXPECT_EQ(ReadText(Path()), "[Settings]\r\n"
                                "CoderIndex=2\r\nPresetIndex=0\r\nOptionsInitialPage=0\r\n"
                                "FilterIndex=0\r\nShowCoders=1\r\nShowDecoders=1\r\n"
                                "[Settings.Window]\r\nPlacement=0102FF02\r\n"
                                "[Settings.Core]\r\nPriority=1\r\nThreadsCount=4\r\n"
                                "[Settings.General]\r\nOutputFolder=/home/u/Music/\r\n"
                                "RememberFileList=1\r\nOutputFolderSameAsOriginal=1\r\n"
                                "ShowWarnings=1\r\nAddOnlyExists=1\r\n"
                                "CopyTags=1\r\nAtomicOutputs=1\r\nSkipUpToDate=1\r\n"
                                "StartLongFilesFirst=1\r\nKeepFolderStructure=0\r\n"
                                "ReplayGain=0\r\nReplayGainAlbum=1\r\nDirectInput=1\r\n"
                                "NamePattern=<artist>/<title>\r\nFatSafeNames=0\r\n"
                                "NumberSharedNames=0\r\nLanguage=\r\nKeepAwake=1\r\n"
                                "NotifyWhenDone=1\r\nCueGaps=0\r\nCueEncoding=\r\n"
                                "CopyCovers=1\r\nShrinkPictures=0\r\nPictureMaxSize=600\r\n"
                                "CopyAlongPatterns=\r\nCopySameFormat=0\r\nLossyToLossy=0\r\n"
                                "RecentNamePattern1=<artist>/<title>\r\n"
                                "RecentNamePattern2=<title>\r\nRecentNamePattern3=\r\n"
                                "RecentNamePattern4=\r\nRecentNamePattern5=\r\n"
                                "[Settings.Database]\r\nFindByFileName=0\r\n"
                                "[Settings.Device]\r\nMaxSampleRate=0\r\nMaxBitDepth=0\r\n"
                                "Channels=0\r\nVerifyLossless=1\r\n"
                                "[Settings.Library]\r\nLibraryFolder=\r\nSyncCopyFolder=\r\n"
                                "SyncRoot1=/m/flac\r\nSyncRoot2=/m/more\r\nSyncRoot3=\r\n"
                                "SyncRoot4=\r\nSyncRoot5=\r\nSyncRoot6=\r\nSyncRoot7=\r\n"
                                "SyncRoot8=\r\n");
    CSettingsSet loaded;
    ASSERT_TRUE(loaded.LoadFromFile(Path()));
    EXPECT_EQ(loaded.general.recentNamePatterns,
              (QStringList{u"<artist>/<title>"_s, u"<title>"_s}));
    EXPECT_EQ(loaded.library.syncRoots, set.library.syncRoots);
}

// The file is written by orvel, then edited by hand; the known values load by the rules of
// the storage and a second save changes only the lines whose values changed.
TEST_F(SettingsSetTest, HandEditedFileSurvivesLoadAndSave)
{
    CSettingsSet original;
    original.window.placement = QByteArray(66, '\x42');
    original.general.outputFolder = u"/srv/out/"_s;
    ASSERT_TRUE(original.SaveToFile(Path()));

    std::string edited = ReadText(Path());
    edited = "; orvel settings, tuned by hand\r\n\r\n" + edited;
    edited = Replaced(edited, "CoderIndex=0\r\n", "coderindex = 3abc\r\nUnknownKey=keep me\r\n");
    edited = Replaced(edited, "FilterIndex=0\r\n", "  FILTERINDEX\t=\t2  \r\n");
    edited = Replaced(edited, "ShowDecoders=1\r\n", "ShowDecoders=\"0\"\r\n");
    std::string placement = "Placement=";
    for (int i = 0; i < 66; ++i)
        placement += "42";
    edited = Replaced(edited, "[Settings.Window]\r\n" + placement + "04\r\n",
                      "[Unknown.Section]\r\nX=1\r\n# comment\r\n[settings.window]\r\n" + placement +
                          "05\r\n");
    edited = Replaced(edited, "Priority=1\r\n", "Priority=high\r\n");
    edited = Replaced(edited, "ShowWarnings=1\r\n", "");
    edited = Replaced(edited, "FindByFileName=0\r\n", "FindByFileName = 1\r\n");
    WriteText(Path(), edited);

    CSettingsSet set;
    set.window.placement = "before";
    set.showCoders = 0;
    set.general.showWarnings = 0;
    ASSERT_TRUE(set.LoadFromFile(Path()));
    EXPECT_EQ(set.coderIndex, 3) << "digits followed by letters";
    EXPECT_EQ(set.filterIndex, 2);
    EXPECT_EQ(set.showCoders, 1);
    EXPECT_EQ(set.showDecoders, 0) << "quotes unwrapped";
    EXPECT_EQ(set.window.placement, QByteArray("before")) << "a damaged block is not applied";
    EXPECT_EQ(set.core.priority, 1) << "letters only give the default";
    EXPECT_EQ(set.general.showWarnings, 1) << "a missing key gives the default";
    EXPECT_EQ(set.general.outputFolder, u"/srv/out/"_s);
    EXPECT_EQ(set.database.findByFileName, 1);

    ASSERT_TRUE(set.SaveToFile(Path()));
    std::string expected = edited;
    expected = Replaced(expected, "coderindex = 3abc\r\n", "coderindex=3\r\n");
    expected = Replaced(expected, placement + "05\r\n", "Placement=6265666F726573\r\n");
    expected = Replaced(expected, "Priority=high\r\n", "Priority=1\r\n");
    expected =
        Replaced(expected, "RecentNamePattern5=\r\n", "RecentNamePattern5=\r\nShowWarnings=1\r\n");
    EXPECT_EQ(ReadText(Path()), expected);
}

TEST_F(SettingsSetTest, OutputFolderFollowsTheStringBufferRules)
{
    const struct
    {
        const char* what;
        QByteArray value;
        QString loaded;
    } cases[] = {
        {"1022 characters", '/' + QByteArray(1021, 'a'), u'/' + QString(1021, u'a')},
        {"1023 characters", '/' + QByteArray(1022, 'a'), CSettingsGeneral::DefaultOutputFolder()},
        {"the missing-key marker", CSettingsStorageIniFile::kMissingMarker.toUtf8(),
         CSettingsGeneral::DefaultOutputFolder()},
        {"non-ASCII", "/home/ü/Müsik €/", u"/home/ü/Müsik €/"_s},
    };
    for (const auto& c : cases) {
        WriteText(Path(), "[Settings.General]\r\nOutputFolder=" + c.value.toStdString() + "\r\n");
        CSettingsSet set;
        set.general.outputFolder = u"/before/"_s;
        ASSERT_TRUE(set.LoadFromFile(Path())) << c.what;
        EXPECT_EQ(set.general.outputFolder, c.loaded) << c.what;
    }
}

// The window and orvel-batch read one folder and one thread count from the same file, however
// it was edited by hand.
TEST_F(SettingsSetTest, EveryFrontEndReadsTheSameFolderAndNumbersInRange)
{
    qputenv("ORVEL_TEST_ROOT", "/srv/music");
    const struct
    {
        std::string general;
        std::string core;
        QString resultFolder;
        bool missing;
        int threads;
        int priority;
    } cases[] = {
        {"OutputFolder=%ORVEL_TEST_ROOT%/gout\r\nOutputFolderSameAsOriginal=0", "",
         u"/srv/music/gout/"_s, false, 1, 1},
        {"OutputFolder=\"relative\"\r\nOutputFolderSameAsOriginal=0", "ThreadsCount=2147483647",
         dir.path() + u"/relative/"_s, false, CSettingsCore::kMaxThreadsCount, 1},
        {"OutputFolder=\r\nOutputFolderSameAsOriginal=0", "ThreadsCount=-3\r\nPriority=9",
         QString(), true, 1, 1},
        {"OutputFolder=/x/\r\nOutputFolderSameAsOriginal=1", "Priority=0", QString(), false, 1, 0},
    };
    for (const auto& c : cases) {
        WriteText(Path(), "[Settings.General]\r\n" + c.general + "\r\n[Settings.Core]\r\n" +
                              c.core + "\r\n");
        CSettingsSet set;
        ASSERT_EQ(set.LoadFromProgramFolder(dir.path()), CSettingsSet::LoadResult::Read)
            << c.general;
        EXPECT_EQ(set.general.ResultFolder(dir.path()), c.resultFolder) << c.general;
        EXPECT_EQ(set.general.IsOutputFolderMissing(), c.missing) << c.general;
        EXPECT_EQ(set.core.threadsCount, c.threads) << c.core;
        EXPECT_EQ(set.core.priority, c.priority) << c.core;
    }
    QFile::remove(Path());
    CSettingsSet fresh;
    EXPECT_EQ(fresh.LoadFromProgramFolder(dir.path()), CSettingsSet::LoadResult::Missing);
    EXPECT_EQ(fresh.database.findByFileName, 1);
    // A new user converts at the first Start: a lossy coder, into a folder of its own.
    EXPECT_EQ(fresh.coderIndex, CSettingsSet::kNewUserCoderIndex);
    EXPECT_EQ(fresh.presetIndex, CSettingsSet::kNewUserPresetIndex);
    EXPECT_TRUE(fresh.general.ResultFolder(dir.path()).endsWith(u"/Music/orvel/"_s))
        << fresh.general.ResultFolder(dir.path()).toStdString();
    EXPECT_EQ(fresh.general.keepFolderStructure, 1);
}

TEST_F(SettingsSetTest, ResetRestoresDefaultsButNotThePlacement)
{
    CSettingsSet set;
    set.coderIndex = 4;
    set.core.priority = 3;
    set.general.outputFolder = u"/x/"_s;
    set.general.addOnlyExists = 0;
    set.database.findByFileName = 1;
    set.window.placement = "geometry";
    EXPECT_TRUE(set.Exchange(true, nullptr, false, true));
    ExpectDefaults(set);
    EXPECT_EQ(set.window.placement, QByteArray("geometry"));
}

// A full disk (a file size limit) or a folder that is gone: the save reports failure and the
// previous file stays as it was, with no temporary file left beside it.
TEST_F(SettingsSetTest, FailedSaveKeepsThePreviousFile)
{
    CSettingsSet set;
    ASSERT_TRUE(set.SaveToFile(Path()));
    const std::string before = ReadText(Path());

    set.general.outputFolder = u'/' + QString(800, u'x') + u'/';
    EXPECT_FALSE(RunWithFileSizeLimit(before.size(), [&] {
        QString error;
        return set.SaveToFile(Path(), &error) || error.isEmpty();
    }));
    EXPECT_EQ(ReadText(Path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"Settings.ini"_s});

    QString error;
    EXPECT_FALSE(set.SaveToFile(dir.filePath(u"gone/Settings.ini"_s), &error));
    EXPECT_FALSE(error.isEmpty());

    // The superuser writes into read-only folders, so this part only means something for
    // other users.
    if (geteuid() != 0) {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(set.SaveToFile(Path()));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(ReadText(Path()), before);
    }
}

} // namespace

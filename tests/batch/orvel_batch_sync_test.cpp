#include "foundation/os.h"
#include "support/audio_fixtures.h"
#include "support/test_paths.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// What a result is on disk: a file converted again gets a new inode or time.
struct Stamp
{
    qint64 size = 0;
    qint64 timeNs = 0;
    qint64 inode = 0;
    bool operator==(const Stamp&) const = default;
};

// orvel-batch --sync on a small real library, with real flac and lame: each step changes the
// library or the copy as a user would, syncs, and says what must have become of each result.
class OrvelBatchSyncTest : public ::testing::Test
{
protected:
    struct Step
    {
        const char* what;
        std::function<void()> change;
        QString arguments;
        int status = 0;
        QStringList said;      // in what orvel-batch printed
        QStringList present;   // results below the copy
        QStringList absent;    // results and folders below the copy
        QStringList unchanged; // results not written since the step before
        std::function<void()> check = {};
        bool plain = false; // a plain run into the copy's folder, not a sync
    };

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(u"tmp"_s);
    }

    QString Path(const QString& relative) const { return dir.filePath(relative); }

    // Each source its own length, so that no two hold the same audio.
    void MakeFlac(const QString& relative, double seconds)
    {
        const QString path = Path(relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        const QString wav = Path(u"tmp/source.wav"_s);
        ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, seconds));
        ASSERT_TRUE(fixtures::MakeFlac(wav, path));
        QFile::remove(wav);
    }

    QString Sync(const QString& arguments, bool plain = false)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, Path(u"tmp"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, Path(u"cache"_s));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        process.start(
            u"/bin/sh"_s,
            {u"-c"_s,
             u"'%1' --program-folder '%2' --coder 'LAME MP3' %3 --output copy %4 lib"_s.arg(
                 QString::fromUtf8(ORVEL_BATCH_PROGRAM), SourceTreePath(u"data"_s),
                 plain ? u"--keep-folders"_s : u"--sync"_s, arguments)});
        EXPECT_TRUE(process.waitForFinished(120000));
        status = process.exitCode();
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    }

    QMap<QString, Stamp> Stamps() const
    {
        QMap<QString, Stamp> stamps;
        QDirIterator it(Path(u"copy"_s), {u"*.mp3"_s}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            struct stat info
            {
            };
            if (::stat(QFile::encodeName(path).constData(), &info) == 0)
                stamps.insert(QDir(Path(u"copy"_s)).relativeFilePath(path),
                              {info.st_size,
                               qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                               qint64(info.st_ino)});
        }
        return stamps;
    }

    void MakeCover(const QString& relative)
    {
        Run(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                          u"testsrc=size=64x64"_s, u"-frames:v"_s, u"1"_s, Path(relative)});
    }

    void Run(const QString& program, const QStringList& arguments)
    {
        ASSERT_TRUE(fixtures::Run(program, arguments)) << program.toStdString();
    }

    QTemporaryDir dir;
    int status = -1;
};

TEST_F(OrvelBatchSyncTest, KeepsTheCopyInStepWithTheLibrary)
{
    MakeFlac(u"lib/A/one.flac"_s, 1.0);
    MakeFlac(u"lib/A/two.flac"_s, 1.1);
    MakeFlac(u"lib/B/three.flac"_s, 1.2);
    MakeFlac(u"lib/C/four.flac"_s, 1.3);
    MakeFlac(u"lib/G/keep.flac"_s, 1.4);

    const Step steps[] = {
        {"a dry run prints what it would add and writes nothing",
         {},
         u"--dry-run"_s,
         0,
         {u"add: "_s + Path(u"lib/A/one.flac"_s) + u" -> "_s + Path(u"copy/A/one.mp3"_s),
          u"would: 5 added, 0 converted again, 0 moved, 0 removed, 0 up to date"_s},
         {},
         {u"A"_s, u".orvel-copy.sqlite"_s}},
        {"the first sync converts every source below the library's root",
         {},
         {},
         0,
         {u"5 converted, 0 failed"_s},
         {u"A/one.mp3"_s, u"A/two.mp3"_s, u"B/three.mp3"_s, u"C/four.mp3"_s, u"G/keep.mp3"_s}},
        {"a second sync runs no program",
         {},
         {},
         0,
         {u"0 converted, 0 failed, 0 left out, 5 up to date"_s},
         {},
         {},
         {u"A/one.mp3"_s, u"A/two.mp3"_s, u"B/three.mp3"_s, u"C/four.mp3"_s, u"G/keep.mp3"_s}},
        {"results whose times a FAT card kept to 2 s are still up to date",
         [this] {
             for (const QString& result : Stamps().keys()) {
                 QFile file(Path(u"copy/"_s + result));
                 ASSERT_TRUE(file.open(QIODevice::ReadWrite));
                 const QDateTime time = file.fileTime(QFileDevice::FileModificationTime);
                 const qint64 seconds = time.toSecsSinceEpoch();
                 ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(seconds + seconds % 2),
                                              QFileDevice::FileModificationTime));
             }
         },
         {},
         0,
         {u"0 converted, 0 failed, 0 left out, 5 up to date"_s}},
        {"a tag change and a touch convert those sources again",
         [this] {
             Run(u"metaflac"_s, {u"--set-tag=TITLE=Changed"_s, Path(u"lib/A/one.flac"_s)});
             QFile two(Path(u"lib/A/two.flac"_s));
             ASSERT_TRUE(two.open(QIODevice::ReadWrite));
             ASSERT_TRUE(two.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                         QFileDevice::FileModificationTime));
         },
         {},
         0,
         {u"2 converted, 0 failed, 0 left out, 3 up to date"_s},
         {u"A/one.mp3"_s, u"A/two.mp3"_s},
         {},
         {u"B/three.mp3"_s, u"C/four.mp3"_s}},
        {"a renamed source's move is only printed in a dry run",
         [this] {
             ASSERT_TRUE(QDir().mkpath(Path(u"lib/D"_s)));
             ASSERT_TRUE(QFile::rename(Path(u"lib/B/three.flac"_s), Path(u"lib/D/3.flac"_s)));
         },
         u"--dry-run"_s,
         0,
         {u"move: "_s + Path(u"copy/B/three.mp3"_s) + u" -> "_s + Path(u"copy/D/3.mp3"_s),
          u"would: 0 added, 0 converted again, 1 moved, 0 removed"_s},
         {u"B/three.mp3"_s},
         {u"D"_s}},
        {"a renamed source's result moves, and the folder it leaves empty goes",
         {},
         {},
         0,
         {u"0 converted, 0 failed, 0 left out, 4 up to date"_s, u"1 moved"_s},
         {u"D/3.mp3"_s},
         {u"B"_s}},
        {"without --delete the result of a gone source is kept",
         [this] { ASSERT_TRUE(QFile::remove(Path(u"lib/C/four.flac"_s))); },
         {},
         0,
         {u"kept: "_s + Path(u"copy/C/four.mp3"_s), u"1 kept"_s},
         {u"C/four.mp3"_s},
         {},
         {u"A/one.mp3"_s, u"D/3.mp3"_s}},
        {"with --delete it is removed with the folder that empties, and nothing of the user's",
         [this] {
             QFile mine(Path(u"copy/A/mine.txt"_s));
             ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
             mine.write("the user's own file in the copy");
             mine.close();
             ASSERT_TRUE(QDir().mkpath(Path(u"copy/E"_s)));
         },
         u"--delete"_s,
         0,
         {u"1 removed"_s},
         {u"A/mine.txt"_s, u"E"_s},
         {u"C/four.mp3"_s, u"C"_s}},
        {"a dry run names a new source whose result's place holds a file of the user's",
         [this] {
             MakeFlac(u"lib/H/new.flac"_s, 1.6);
             ASSERT_TRUE(QDir().mkpath(Path(u"copy/H"_s)));
             QFile mine(Path(u"copy/H/new.mp3"_s));
             ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
             mine.write("the user's own");
         },
         u"--dry-run"_s,
         0,
         {u"left out: "_s + Path(u"lib/H/new.flac"_s),
          u"would: 0 added, 0 converted again, 0 moved, 0 removed, 4 up to date, 0 kept, 0 left "
          u"alone, 1 left out"_s}},
        {"a file of the user's at a new source's result is never replaced",
         {},
         {},
         1,
         {u"left out: "_s + Path(u"lib/H/new.flac"_s) +
          u": a file the copy's record does not list is at "_s + Path(u"copy/H/new.mp3"_s)},
         {},
         {},
         {},
         [this] {
             QFile mine(Path(u"copy/H/new.mp3"_s));
             ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
             EXPECT_EQ(mine.readAll(), QByteArray("the user's own"));
             ASSERT_TRUE(QDir(Path(u"lib/H"_s)).removeRecursively());
         }},
        {"a result changed outside orvel is left alone and named, even with --delete",
         [this] {
             QFile result(Path(u"copy/A/one.mp3"_s));
             ASSERT_TRUE(result.open(QIODevice::Append));
             result.write("edited by hand");
             result.close();
             ASSERT_TRUE(QFile::remove(Path(u"lib/A/one.flac"_s)));
         },
         u"--delete"_s,
         0,
         {u"left alone: "_s + Path(u"copy/A/one.mp3"_s), u"1 left alone"_s},
         {u"A/one.mp3"_s}},
        {"removing more than half of the copy is refused without --delete-many",
         [this] {
             ASSERT_TRUE(QFile::remove(Path(u"lib/A/two.flac"_s)));
             ASSERT_TRUE(QFile::remove(Path(u"lib/D/3.flac"_s)));
             ASSERT_TRUE(QFile::rename(Path(u"lib/G/keep.flac"_s), Path(u"keep.flac"_s)));
             MakeFlac(u"lib/D/5.flac"_s, 1.5);
         },
         u"--delete"_s,
         3,
         {u"sync refused: 3 of the copy's 4 results would be removed"_s},
         {u"A/two.mp3"_s, u"D/3.mp3"_s, u"G/keep.mp3"_s},
         {u"D/5.mp3"_s}},
        {"an empty library folder (a drive not mounted) is refused, whatever may be removed",
         [this] {
             ASSERT_TRUE(QFile::rename(Path(u"lib"_s), Path(u"away"_s)));
             ASSERT_TRUE(QDir().mkpath(Path(u"lib"_s)));
         },
         u"--delete --delete-many"_s,
         3,
         {u"sync refused: the library folder "_s + Path(u"lib"_s) + u" is missing or empty"_s},
         {u"A/one.mp3"_s, u"A/two.mp3"_s, u"D/3.mp3"_s}},
        {"a changed preset converts the copy again",
         [this] {
             ASSERT_TRUE(QDir(Path(u"lib"_s)).removeRecursively());
             ASSERT_TRUE(QFile::rename(Path(u"away"_s), Path(u"lib"_s)));
             ASSERT_TRUE(QFile::rename(Path(u"keep.flac"_s), Path(u"lib/G/keep.flac"_s)));
         },
         u"--delete-many --delete --preset 'CBR 128 kbps'"_s,
         0,
         {u"converted: "_s + Path(u"lib/G/keep.flac"_s),
          u"2 converted, 0 failed, 0 left out, 0 up to date"_s, u"2 removed"_s, u"1 left alone"_s},
         {u"D/5.mp3"_s, u"A/one.mp3"_s, u"G/keep.mp3"_s},
         {u"A/two.mp3"_s, u"D/3.mp3"_s},
         {},
         [this] {
             // The new preset's result: a whole MP3 at a constant rate, as long as its source.
             QProcess mediainfo;
             mediainfo.start(u"mediainfo"_s,
                             {u"--Inform=Audio;%Format%|%BitRate_Mode%|%Duration%"_s,
                              Path(u"copy/G/keep.mp3"_s)});
             ASSERT_TRUE(mediainfo.waitForFinished(60000));
             const QStringList info =
                 QString::fromUtf8(mediainfo.readAllStandardOutput()).trimmed().split(u'|');
             ASSERT_EQ(info.size(), 3) << info.join(u'|').toStdString();
             EXPECT_EQ(info.at(0), u"MPEG Audio"_s);
             EXPECT_EQ(info.at(1), u"CBR"_s);
             EXPECT_NEAR(info.at(2).toDouble(), 1400.0, 100.0);
         }},
        {"a new coder's results take the place of the old ones, which go",
         {},
         u"--coder 'Ogg Vorbis'"_s,
         0,
         {u"2 converted, 0 failed, 0 left out, 0 up to date"_s, u"1 left alone"_s},
         {u"G/keep.ogg"_s, u"D/5.ogg"_s, u"A/one.mp3"_s},
         {u"G/keep.mp3"_s, u"D/5.mp3"_s}},
        {"a plain run into the copy trusts what the record says was made the same way",
         {},
         u"--coder 'Ogg Vorbis'"_s,
         0,
         {u"0 converted, 0 failed, 0 left out, 2 up to date"_s},
         {},
         {},
         {},
         {},
         true},
        {"a plain run with another preset converts again what the record says was made otherwise",
         {},
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)'"_s,
         0,
         {u"2 converted, 0 failed, 0 left out, 0 up to date"_s},
         {u"G/keep.ogg"_s, u"D/5.ogg"_s},
         {},
         {},
         {},
         true},
        {"the sync after it finds those results up to date: the plain run recorded them",
         {},
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)'"_s,
         0,
         {u"0 converted, 0 failed, 0 left out, 2 up to date"_s}},
        {"a dry run names the covers new albums would get, and counts them",
         [this] {
             for (const char* album : {"J", "K"}) {
                 const QString folder = u"lib/"_s + QString::fromLatin1(album);
                 MakeFlac(folder + u"/track.flac"_s, album[0] == 'J' ? 1.7 : 1.8);
                 MakeCover(folder + u"/folder.jpg"_s);
             }
         },
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)' --dry-run"_s,
         0,
         {u"copy along: "_s + Path(u"lib/J/folder.jpg"_s) + u" -> "_s +
              Path(u"copy/J/folder.jpg"_s),
          u", 2 copied along"_s},
         {},
         {u"J"_s, u"K"_s}},
        {"the sync converts them and their covers go along",
         {},
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)'"_s,
         0,
         {u"2 converted"_s, u"2 copied along"_s},
         {u"J/track.ogg"_s, u"J/folder.jpg"_s, u"K/folder.jpg"_s}},
        {"albums removed with --delete take their covers and folders, a file of the user's stays",
         [this] {
             ASSERT_TRUE(QDir(Path(u"lib/J"_s)).removeRecursively());
             ASSERT_TRUE(QDir(Path(u"lib/K"_s)).removeRecursively());
             QFile mine(Path(u"copy/K/playlist.m3u"_s));
             ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
             mine.write("the user's own list");
         },
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)' --delete"_s,
         0,
         {u"2 removed"_s},
         {u"K/playlist.m3u"_s},
         {u"J"_s, u"K/folder.jpg"_s, u"K/track.ogg"_s}},
        {"an MP3 of the library is converted while lossy sources are",
         [this] {
             ASSERT_TRUE(QDir().mkpath(Path(u"lib/M"_s)));
             ASSERT_TRUE(fixtures::MakeWav(Path(u"tmp/lossy.wav"_s), 44100, 2, 16, 1.9));
             Run(u"lame"_s, {u"--quiet"_s, Path(u"tmp/lossy.wav"_s), Path(u"lib/M/song.mp3"_s)});
             QFile::remove(Path(u"tmp/lossy.wav"_s));
         },
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)' --lossy convert"_s,
         0,
         {u"1 converted, 0 failed"_s},
         {u"M/song.ogg"_s}},
        {"once lossy sources are copied it is copied, and the Vorbis made of it goes",
         {},
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)' --lossy copy"_s,
         0,
         {u"0 converted, 1 copied, 0 failed"_s},
         {u"M/song.mp3"_s},
         {u"M/song.ogg"_s},
         {},
         [this] {
             QFile source(Path(u"lib/M/song.mp3"_s));
             QFile copy(Path(u"copy/M/song.mp3"_s));
             ASSERT_TRUE(source.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
             EXPECT_EQ(source.readAll(), copy.readAll());
         }},
        {"a copy is up to date whatever the coder's preset",
         {},
         u"--coder 'Ogg Vorbis' --preset 'Quality 3 (~112 kbps)' --lossy copy --dry-run"_s,
         0,
         {u"would: 0 added, 2 converted again"_s},
         {},
         {},
         {u"M/song.mp3"_s}},
        {"an album with its cover is added",
         [this] {
             MakeFlac(u"lib/N/track.flac"_s, 2.1);
             MakeCover(u"lib/N/folder.jpg"_s);
         },
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)' --lossy copy"_s,
         0,
         {u"1 converted"_s, u"1 copied along"_s},
         {u"N/track.ogg"_s, u"N/folder.jpg"_s}},
        {"a sync that only moves an album gives its new folder the cover, and prunes the old",
         [this] { ASSERT_TRUE(QDir().rename(Path(u"lib/N"_s), Path(u"lib/P"_s))); },
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)' --lossy copy"_s,
         0,
         {u"0 converted"_s, u"1 moved"_s, u"1 copied along"_s},
         {u"P/track.ogg"_s, u"P/folder.jpg"_s},
         {u"N"_s}},
        {"a cover added to an album that is up to date goes along, with nothing converted",
         [this] { MakeCover(u"lib/G/folder.jpg"_s); },
         u"--coder 'Ogg Vorbis' --preset 'Quality 7 (~224 kbps)' --lossy copy"_s,
         0,
         {u"0 converted"_s, u"1 copied along"_s},
         {u"G/folder.jpg"_s}},
    };

    QMap<QString, Stamp> before;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.change)
            step.change();
        const QString said = Sync(step.arguments, step.plain);
        EXPECT_EQ(status, step.status) << said.toStdString();
        for (const QString& part : step.said)
            EXPECT_TRUE(said.contains(part)) << part.toStdString() << "\n" << said.toStdString();
        for (const QString& result : step.present)
            EXPECT_TRUE(QFileInfo::exists(Path(u"copy/"_s + result))) << result.toStdString();
        for (const QString& result : step.absent)
            EXPECT_FALSE(QFileInfo::exists(Path(u"copy/"_s + result))) << result.toStdString();
        const QMap<QString, Stamp> after = Stamps();
        for (const QString& result : step.unchanged)
            EXPECT_TRUE(before.contains(result) && before.value(result) == after.value(result))
                << result.toStdString();
        if (step.check)
            step.check();
        before = after;
    }
}

} // namespace

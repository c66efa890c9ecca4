#include "filelist/file_list.h"
#include "filelist/property_probe.h"
#include "settings/settings_set.h"
#include "support/audio_fixtures.h"
#include "support/wav_bytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A short but valid WAV file: 16-bit mono at 8000 Hz, a few samples of silence.
QByteArray TinyWav()
{
    return WavBytes(8000, 8, true);
}

void WriteFile(const QString& path, const QByteArray& bytes = TinyWav())
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Paths(const CFileList& list)
{
    QStringList paths;
    for (qsizetype i = 0; i < list.Count(); ++i)
        paths.append(list.At(i)->path);
    return paths;
}

class FileListTest : public ::testing::Test
{
protected:
    QString In(const QString& relative) const { return dir.filePath(relative); }

    QString MakeFile(const QString& relative)
    {
        const QString path = In(relative);
        QDir().mkpath(QFileInfo(path).path());
        WriteFile(path);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(FileListTest, AddKeepsOnlyFilesThatOpen)
{
    const QString song = MakeFile(u"song.wav"_s);
    CFileList list;
    EXPECT_TRUE(list.Add(song));
    EXPECT_TRUE(list.Add(song)) << "the same path may be listed twice";
    EXPECT_FALSE(list.Add(In(u"missing.wav"_s)));
    EXPECT_FALSE(list.Add(dir.path()));
    EXPECT_FALSE(list.AddPath(In(u"missing.wav"_s), false));
    EXPECT_EQ(Paths(list), (QStringList{song, song}));
    EXPECT_EQ(list.At(0)->fileName, u"song.wav"_s);
    EXPECT_EQ(list.At(2), nullptr);
}

TEST_F(FileListTest, RemovingEntries)
{
    CFileList list;
    for (const QString& name : {u"a.wav"_s, u"b.wav"_s, u"c.wav"_s})
        ASSERT_TRUE(list.Add(MakeFile(name)));
    EXPECT_FALSE(list.RemoveAt(3));
    EXPECT_FALSE(list.RemoveAt(-1));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_TRUE(list.RemoveAt(1));
    EXPECT_EQ(Paths(list), (QStringList{In(u"a.wav"_s), In(u"c.wav"_s)}));
    list.RemoveAll();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(FileListTest, RemoveDeadEntriesReportsRowsFromTheBottom)
{
    CFileList list;
    for (const QString& name : {u"a.wav"_s, u"b.wav"_s, u"c.wav"_s, u"d.wav"_s})
        ASSERT_TRUE(list.Add(MakeFile(name)));
    QFile::remove(In(u"a.wav"_s));
    QFile::remove(In(u"c.wav"_s));
    QFile::remove(In(u"d.wav"_s));
    ASSERT_TRUE(QDir().mkdir(In(u"d.wav"_s))) << "a folder of that name counts as existing";
    EXPECT_EQ(list.RemoveDeadEntries(), (QList<qsizetype>{2, 0}));
    EXPECT_EQ(Paths(list), (QStringList{In(u"b.wav"_s), In(u"d.wav"_s)}));
}

TEST_F(FileListTest, DoubledSeparatorsFold)
{
    const struct
    {
        QString in;
        QString out;
    } cases[] = {
        // "\\" is an ordinary file-name character here: only the platform's separator folds.
        {u"C:\\\\Music\\\\a.wav"_s, u"C:\\\\Music\\\\a.wav"_s},
        {u"a\\\\\\b"_s, u"a\\\\\\b"_s},
        {u"//home//u///a.wav"_s, u"/home/u//a.wav"_s},
        {u"a\\/b/\\c"_s, u"a\\/b/\\c"_s},
        {u"plain/path.wav"_s, u"plain/path.wav"_s},
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FoldDoubledSeparators(c.in), c.out) << c.in.toStdString();

    const QString song = MakeFile(u"sub/song.wav"_s);
    CFileList list;
    ASSERT_TRUE(list.AddPath(dir.path() + u"//sub//song.wav"_s, true));
    EXPECT_EQ(list.At(0)->path, song);
    const QString backslashes = MakeFile(u"a\\\\b.wav"_s);
    ASSERT_TRUE(list.AddPath(backslashes, true));
    EXPECT_EQ(list.At(1)->path, backslashes);
}

// The tree of the classic example plus everything a real folder holds that must not be
// added or followed: hidden folders, links to folders (one making a loop), a dangling link,
// a named pipe (opening it for reading would block) and a file nobody may read.
TEST_F(FileListTest, AddFolderWalksBreadthFirstInNameOrder)
{
    const QString root = In(u"root"_s);
    for (const QString& name :
         {u"y.wav"_s, u"x.wav"_s, u"A/a2.wav"_s, u"A/a1.wav"_s, u"B/b1.wav"_s, u"B/C/c1.wav"_s,
          u"B/C/.hidden/h.wav"_s, u".hidden/h.wav"_s, u"Zed.wav"_s, u"b/lower.wav"_s})
        MakeFile(u"root/"_s + name);
    ASSERT_TRUE(QFile::link(root, root + u"/B/C/loop"_s));
    ASSERT_TRUE(QFile::link(root + u"/A"_s, root + u"/linkToA"_s));
    ASSERT_TRUE(QFile::link(root + u"/gone.wav"_s, root + u"/dangling.wav"_s));
    ASSERT_EQ(mkfifo(QFile::encodeName(root + u"/pipe.wav"_s).constData(), 0600), 0);
    const QString locked = MakeFile(u"root/locked.wav"_s);
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0), 0);
    // The superuser reads whatever the mode bits say.
    const bool lockedReadable = access(QFile::encodeName(locked).constData(), R_OK) == 0;

    CFileList list;
    QStringList expected{root + u"/x.wav"_s, root + u"/y.wav"_s, root + u"/Zed.wav"_s};
    if (lockedReadable)
        expected.insert(0, locked);
    expected += {root + u"/A/a1.wav"_s, root + u"/A/a2.wav"_s, root + u"/B/b1.wav"_s,
                 root + u"/b/lower.wav"_s, root + u"/B/C/c1.wav"_s};
    EXPECT_EQ(list.AddFolder(root, true), expected.size());
    EXPECT_EQ(Paths(list), expected);

    CFileList withoutCheck;
    withoutCheck.AddFolder(root + u'/', false);
    EXPECT_EQ(withoutCheck.Count(), expected.size()) << "Add checks again whatever the setting";
}

// A tree of 10,000 files in 3 levels, with a hidden folder and a link loop at every level.
TEST_F(FileListTest, AddFolderFindsTenThousandFilesInOrder)
{
    const QString root = In(u"music"_s);
    QStringList expected;
    QStringList level1;
    QStringList level2;
    for (int i = 0; i < 10; ++i)
        level1 += root + u"/Artist %1"_s.arg(i, 2, 10, QChar(u'0'));
    for (const QString& artist : level1) {
        for (int j = 0; j < 10; ++j)
            level2 += artist + u"/Album %1"_s.arg(j, 2, 10, QChar(u'0'));
    }
    for (const QString& album : level2) {
        QDir().mkpath(album + u"/.cache"_s);
        WriteFile(album + u"/.cache/cover.wav"_s);
        ASSERT_TRUE(QFile::link(root, album + u"/back to top"_s));
        for (int k = 0; k < 100; ++k) {
            const QString track =
                album +
                u"/%1 Track.%2"_s.arg(k, 3, 10, QChar(u'0')).arg(k % 2 ? u"flac"_s : u"wav"_s);
            WriteFile(track);
            expected += track;
        }
    }

    // The last one is a real FLAC with tags, which travel from the helper too.
    const QString wav = root + u"/tone.wav"_s;
    ASSERT_TRUE(fixtures::MakeWav(wav, 8000, 1, 16, 0.1));
    ASSERT_TRUE(fixtures::MakeFlac(wav, expected.last()));
    ASSERT_TRUE(
        fixtures::Run(u"metaflac"_s, {u"--set-tag=TITLE=Tëst/1"_s, u"--set-tag=TRACKNUMBER=9"_s,
                                      u"--set-tag=DISCNUMBER=2/3"_s, expected.last()}));
    QFile::remove(wav);

    // Read by three helper processes, listed in the walk's order, with the properties a
    // reading here gives; progress ends with all of them.
    SetPropertyProbeProgram(QString::fromUtf8(ORVEL_PROBE_PROGRAM));
    CFileList list;
    list.SetReadThreads(3);
    qsizetype lastDone = -1;
    qsizetype found = 0; // the links to folders are found too, and then not added
    bool ordered = true;
    const auto watch = [&](qsizetype done, qsizetype total) {
        ordered = ordered && done >= lastDone && done <= total;
        lastDone = done;
        found = total;
        return true;
    };
    EXPECT_EQ(list.AddFolder(root, true, watch), 10000);
    EXPECT_EQ(Paths(list), expected);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(lastDone, found);
    CFileInfo here;
    ASSERT_TRUE(here.Load(expected.last()));
    const CFileInfo* helped = list.At(list.Count() - 1);
    EXPECT_EQ(std::tuple(helped->format, helped->sampleRate, helped->channels, helped->duration),
              std::tuple(here.format, here.sampleRate, here.channels, here.duration));
    EXPECT_EQ(helped->tags, here.tags);
    EXPECT_EQ(std::tuple(here.tags.title, here.tags.track, here.tags.disc),
              std::tuple(u"Tëst/1"_s, 9, 2));
    SetPropertyProbeProgram({});

    // A cancel keeps the files of the beginning of the walk, without a gap.
    CFileList cancelled;
    cancelled.SetReadThreads(3);
    const qsizetype kept =
        cancelled.AddFolder(root, true, [](qsizetype, qsizetype) { return false; });
    EXPECT_LT(kept, 10000);
    EXPECT_EQ(Paths(cancelled), expected.mid(0, kept));
}

// Whatever becomes of the helpers, every file is listed, in order.
TEST_F(FileListTest, HelpersThatFailLoseNoFile)
{
    QStringList paths;
    for (int i = 0; i < 200; ++i) // enough for helpers
        paths += MakeFile(
            u"%1 %2.wav"_s.arg(i, 3, 10, QChar(u'0')).arg(i % 40 == 7 ? u"crash"_s : QString()));
    const QString fake = QStringLiteral(ORVEL_TEST_HELPER_DIR "/orvel_fake_probe");
    const struct
    {
        const char* what;
        QString program;
        const char* formatOfFirst;
        const char* formatOfCrash; // a file the helper died on is listed without properties
    } cases[] = {
        {"helper that dies on some files", fake, "Probed", ""},
        {"helper that cannot start", In(u"no such helper"_s), "PCM", "PCM"},
        {"helper that never answers", u"/bin/false"_s, "PCM", "PCM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetPropertyProbeProgram(c.program);
        CFileList list;
        list.SetReadThreads(2);
        EXPECT_EQ(list.AddPaths(paths), paths.size());
        EXPECT_EQ(Paths(list), paths);
        EXPECT_EQ(list.At(0)->format, QLatin1StringView(c.formatOfFirst));
        EXPECT_EQ(list.At(7)->format, QLatin1StringView(c.formatOfCrash));
        EXPECT_EQ(list.At(8)->sampleRate, c.program == fake ? 0 : 8000);
    }
    SetPropertyProbeProgram({});
}

TEST_F(FileListTest, PlaylistLinesAreTrimmedAndUnopenableOnesDropped)
{
    const QString song = MakeFile(u"Music/a.flac"_s);
    const QString playlist = In(u"list.m3u"_s);
    WriteFile(playlist, "#EXTM3U\r\n\r\n   " + song.toUtf8() + " \t\r\n" +
                            In(u"Music/missing.flac"_s).toUtf8() + "\n#EXTINF:1,x\r\n");
    CFileList list;
    ASSERT_TRUE(list.Add(song));
    ASSERT_TRUE(list.Add(song));
    EXPECT_TRUE(list.LoadFromM3U(playlist));
    EXPECT_EQ(Paths(list), QStringList{song});

    EXPECT_TRUE(list.LoadFromM3U(In(u"no such list.m3u"_s)));
    EXPECT_EQ(list.Count(), 0) << "a load replaces the list even when nothing is read";
}

TEST_F(FileListTest, PlaylistsWithByteOrderMarks)
{
    const QString song = MakeFile(u"Müsik/ä 音.wav"_s);
    const struct
    {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8", "\xEF\xBB\xBF" + song.toUtf8() + "\r\n"},
        {"UTF-16 little-endian",
         "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>((song + u"\r\n"_s).utf16()),
                                 (song.size() + 2) * 2)},
    };
    for (const auto& c : cases) {
        WriteFile(In(u"list.m3u"_s), c.bytes);
        CFileList list;
        EXPECT_TRUE(list.LoadFromM3U(In(u"list.m3u"_s))) << c.what;
        EXPECT_EQ(Paths(list), QStringList{song}) << c.what;
    }
}

TEST_F(FileListTest, SavedPlaylistIsOnePathPerCrLfLine)
{
    const QString a = MakeFile(u"a.wav"_s);
    const QString b = MakeFile(u"b c.wav"_s);
    CFileList list;
    const QString playlist = In(u"out.m3u"_s);
    ASSERT_TRUE(list.SaveToM3U(playlist));
    EXPECT_TRUE(QFileInfo::exists(playlist));
    EXPECT_EQ(QFileInfo(playlist).size(), 0);

    ASSERT_TRUE(list.Add(a));
    ASSERT_TRUE(list.Add(b));
    ASSERT_TRUE(list.SaveToM3U(playlist));
    EXPECT_EQ(ReadBytes(playlist), a.toUtf8() + "\r\n" + b.toUtf8() + "\r\n");

    QString error;
    EXPECT_FALSE(list.SaveToM3U(In(u"gone/out.m3u"_s), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadBytes(playlist), a.toUtf8() + "\r\n" + b.toUtf8() + "\r\n");
}

// Names a plain line cannot hold (a line break, white space at either end) come back from the
// remembered list as they went in.
TEST_F(FileListTest, NamesWithLineBreaksAndOuterSpacesSurviveThePlaylist)
{
    CFileList list;
    const QStringList names{u"two\nlines.wav"_s, u"trailing .wav "_s, u" leading.wav"_s,
                            u"100% tab\there.wav"_s, u"file:odd.wav"_s};
    for (const QString& name : names)
        ASSERT_TRUE(list.Add(MakeFile(name)));
    const QString playlist = In(u"FileList.m3u"_s);
    ASSERT_TRUE(list.SaveToM3U(playlist));
    CFileList loaded;
    ASSERT_TRUE(loaded.LoadFromM3U(playlist));
    EXPECT_EQ(Paths(loaded), Paths(list));
    EXPECT_EQ(ReadBytes(playlist).count("\r\n"), names.size());
}

// A playlist of 10,000 paths in several scripts, with quotes and characters beyond the
// 16-bit range, loads in order and is written back byte for byte.
TEST_F(FileListTest, TenThousandNonAsciiPathsSurviveARoundTrip)
{
    const QString folder = In(u"Grüße – 音楽 Ωμέγα 🎵"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    QStringList paths;
    QByteArray playlistBytes;
    for (int i = 0; i < 10000; ++i) {
        const QString path = folder + u"/%1 Ça × ñ 曲 🎶 'q' \"d\".wav"_s.arg(i, 5, 10, QChar(u'0'));
        WriteFile(path);
        paths += path;
        playlistBytes += path.toUtf8() + "\r\n";
    }
    const QString playlist = In(u"round trip.m3u"_s);
    WriteFile(playlist, playlistBytes);

    // Read by the helpers, which must open such names even in the "C" locale of cron jobs.
    SetPropertyProbeProgram(QString::fromUtf8(ORVEL_PROBE_PROGRAM));
    qputenv("LC_ALL", "C");
    CFileList list;
    ASSERT_TRUE(list.LoadFromM3U(playlist));
    qunsetenv("LC_ALL");
    SetPropertyProbeProgram({});
    EXPECT_EQ(Paths(list), paths);
    EXPECT_EQ(list.At(9999)->format, u"PCM"_s);
    const QString saved = In(u"saved.m3u"_s);
    ASSERT_TRUE(list.SaveToM3U(saved));
    EXPECT_EQ(ReadBytes(saved), playlistBytes);
}

TEST_F(FileListTest, RememberedListFollowsTheSetting)
{
    const QString program = dir.path();
    CFileList list;
    ASSERT_TRUE(list.Add(MakeFile(u"a.wav"_s)));
    CSettingsSet settings;
    settings.general.rememberFileList = 0;
    ASSERT_TRUE(SaveRememberedFileList(list, program)) << "written whatever the setting";
    EXPECT_EQ(ReadBytes(program + u"/FileList.m3u"_s), In(u"a.wav"_s).toUtf8() + "\r\n");

    CFileList next;
    EXPECT_FALSE(LoadRememberedFileList(next, program, settings));
    EXPECT_EQ(next.Count(), 0);
    settings.general.rememberFileList = 1;
    EXPECT_TRUE(LoadRememberedFileList(next, program, settings));
    EXPECT_EQ(Paths(next), Paths(list));

    QFile::remove(program + u"/FileList.m3u"_s);
    EXPECT_FALSE(LoadRememberedFileList(next, program, settings));
    EXPECT_EQ(next.Count(), 1) << "no remembered list leaves the list alone";
}

} // namespace

// An album image with its sheet gives its tracks once, whether the image, the sheet, both or
// their folder is added; a rip to one file per track keeps its files, each the sheet's track; a
// damaged sheet named after its image leaves the image whole and says why.
TEST_F(FileListTest, AlbumImagesAreAddedAsTheirTracksOnce)
{
    ASSERT_TRUE(QDir().mkpath(In(u"album"_s)) && QDir().mkpath(In(u"rip"_s)));
    ASSERT_TRUE(fixtures::MakeWav(In(u"album/Album.wav"_s), 44100, 2, 16, 1.0));
    WriteFile(In(u"album/Album.cue"_s), "FILE \"Album.wav\" WAVE\n  TRACK 01 AUDIO\n"
                                        "    TITLE \"A\"\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    TITLE \"B\"\n"
                                        "    INDEX 00 00:00:15\n    INDEX 01 00:00:30\n");
    ASSERT_TRUE(fixtures::MakeWav(In(u"rip/01.wav"_s), 44100, 2, 16, 0.5));
    ASSERT_TRUE(fixtures::MakeWav(In(u"rip/02.wav"_s), 44100, 2, 16, 0.5));
    WriteFile(In(u"rip/rip.cue"_s), "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n"
                                    "    INDEX 01 00:00:00\nFILE \"02.wav\" WAVE\n"
                                    "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
    const QStringList tracks{u"Album.wav - 01 - A"_s, u"Album.wav - 02 - B"_s};
    const auto names = [](const CFileList& list) {
        QStringList listed;
        for (qsizetype i = 0; i < list.Count(); ++i)
            listed << list.At(i)->fileName;
        return listed;
    };
    const QList<QStringList> additions = {
        {In(u"album/Album.wav"_s)},
        {In(u"album/Album.cue"_s)},
        {In(u"album/Album.cue"_s), In(u"album/Album.wav"_s)},
        {In(u"album/Album.wav"_s), In(u"album/Album.cue"_s)},
    };
    for (const QStringList& paths : additions) {
        CFileList list;
        list.AddPaths(paths);
        EXPECT_EQ(names(list), tracks) << paths.join(u' ').toStdString();
        EXPECT_TRUE(list.TakeSheetProblems().isEmpty());
    }
    CFileList folder;
    folder.AddFolder(In(u"album"_s), true);
    ASSERT_EQ(names(folder), tracks);
    // The gap ends track 1 by default; with it at its own track, track 2 begins at INDEX 00.
    EXPECT_EQ(folder.At(0)->duration, 400);
    EXPECT_EQ(folder.At(1)->track->start, 30 * 588);
    CFileList ownGaps;
    ownGaps.SetSheetOptions({CueGapMode::ToOwnTrack, {}});
    ownGaps.AddPaths({In(u"album/Album.wav"_s)});
    ASSERT_EQ(ownGaps.Count(), 2);
    EXPECT_EQ(ownGaps.At(1)->track->start, 15 * 588);

    CFileList rip;
    rip.AddPaths({In(u"rip/rip.cue"_s), In(u"rip/01.wav"_s), In(u"rip/02.wav"_s)});
    EXPECT_EQ(names(rip), (QStringList{u"01.wav"_s, u"02.wav"_s}));
    ASSERT_TRUE(rip.At(1)->track);
    EXPECT_EQ(rip.At(1)->track->number, 2);

    WriteFile(In(u"album/Album.cue"_s), "FILE \"Album.wav\" WAVE\n  TRACK 01 AUDIO\n");
    CFileList damaged;
    damaged.AddPaths({In(u"album/Album.wav"_s)});
    EXPECT_EQ(names(damaged), QStringList{u"Album.wav"_s});
    const QList<SheetProblem> problems = damaged.TakeSheetProblems();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].reason.contains(u"Album.cue"_s)) << problems[0].reason.toStdString();
}

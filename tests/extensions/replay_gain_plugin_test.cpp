#include "extensions/language_pack.h"
#include "extensions/plugin.h"
#include "flac_tags.h"
#include "foundation/command_line.h"
#include "replay_gain_job.h"
#include "run/core.h"
#include "support/notifier_recorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray LittleEndian32(quint32 value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
    return bytes;
}

QByteArray BlockHeader(bool last, int type, quint32 length)
{
    QByteArray header;
    header.append(char((last ? 0x80 : 0) | type));
    header.append(char((length >> 16) & 0xFF));
    header.append(char((length >> 8) & 0xFF));
    header.append(char(length & 0xFF));
    return header;
}

QByteArray CommentBlock(const QList<QByteArray>& comments, quint32 claimedCount)
{
    QByteArray block = LittleEndian32(6) + "vendor" + LittleEndian32(claimedCount);
    for (const QByteArray& comment : comments)
        block += LittleEndian32(quint32(comment.size())) + comment;
    return block;
}

QByteArray FlacWithComments(const QList<QByteArray>& comments)
{
    const QByteArray padding(10, '\0');
    const QByteArray block = CommentBlock(comments, quint32(comments.size()));
    return "fLaC" + BlockHeader(false, 1, quint32(padding.size())) + padding +
           BlockHeader(true, 4, quint32(block.size())) + block;
}

// A short real FLAC tone made by sox.
void MakeFlac(const QString& path)
{
    const QStringList arguments = {u"-n"_s, u"-r"_s, u"44100"_s, u"-c"_s,  u"2"_s,    u"-b"_s,
                                   u"16"_s, path,    u"synth"_s, u"0.2"_s, u"sine"_s, u"440"_s};
    ASSERT_EQ(QProcess::execute(QStandardPaths::findExecutable(u"sox"_s), arguments), 0);
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

} // namespace

TEST(FlacTagsTest, ReadsCommentsAndRefusesWhatIsNoFlacFile)
{
    QTemporaryDir dir;
    const QByteArray tagged = FlacWithComments({"ARTIST=A", "replaygain_track_gain=-3.1 dB"});
    const QByteArray id3 = QByteArray("ID3\x04\x00\x00\x00\x00\x00\x05", 10) + "12345";
    const QByteArray longBlock = "fLaC" + BlockHeader(true, 4, 5000) + "short";
    const QByteArray lyingCount = "fLaC" + [] {
        const QByteArray block = CommentBlock({"TITLE=x"}, 1000000);
        return BlockHeader(true, 4, quint32(block.size())) + block;
    }();
    const struct
    {
        const char* name;
        QByteArray content;
        std::optional<QStringList> comments;
        bool replayGain;
    } cases[] = {
        {"tagged", tagged, QStringList{u"ARTIST=A"_s, u"replaygain_track_gain=-3.1 dB"_s}, true},
        {"untagged", FlacWithComments({"ARTIST=A"}), QStringList{u"ARTIST=A"_s}, false},
        {"id3 before the stream", id3 + tagged,
         QStringList{u"ARTIST=A"_s, u"replaygain_track_gain=-3.1 dB"_s}, true},
        {"count beyond the block", lyingCount, QStringList{u"TITLE=x"_s}, false},
        {"block beyond the file", longBlock, std::nullopt, false},
        {"no blocks", "fLaC", std::nullopt, false},
        {"empty", "", std::nullopt, false},
        {"wave file", "RIFF\x24\x00\x00\x00WAVEfmt ", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Write(dir, QString::fromLatin1(c.name), c.content);
        EXPECT_EQ(ReadFlacComments(path), c.comments);
        EXPECT_EQ(HasReplayGainTags(path), c.replayGain);
    }
    EXPECT_EQ(ReadFlacComments(dir.filePath(u"missing.flac"_s)), std::nullopt);
}

TEST(FlacTagsTest, SeesTheTagsMetaflacWrites)
{
    const QString metaflac = QStandardPaths::findExecutable(u"metaflac"_s);
    const QString sox = QStandardPaths::findExecutable(u"sox"_s);
    ASSERT_FALSE(metaflac.isEmpty());
    ASSERT_FALSE(sox.isEmpty());
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tone.flac"_s);
    MakeFlac(path);
    EXPECT_FALSE(HasReplayGainTags(path));
    ASSERT_EQ(QProcess::execute(metaflac, {u"--add-replay-gain"_s, path}), 0);
    EXPECT_TRUE(HasReplayGainTags(path));
}

TEST(ReplayGainJobTest, FilesOfOneFolderWithoutAlbumTitlesFormOneAlbum)
{
    const QStringList files = {u"/m/a/1.flac"_s, u"/m/b/1.flac"_s, u"/m/a/2.flac"_s,
                               u"/m/a/1.flac"_s, u"/m/b/sub/1.flac"_s};
    const QList<QStringList> albums = GroupIntoAlbums(files);
    const QList<QStringList> expected = {
        {u"/m/a/1.flac"_s, u"/m/a/2.flac"_s},
        {u"/m/b/1.flac"_s},
        {u"/m/b/sub/1.flac"_s},
    };
    EXPECT_EQ(albums, expected);
    EXPECT_TRUE(GroupIntoAlbums({}).isEmpty());
}

TEST(ReplayGainJobTest, AFileIsOneDecoderRunWithItsPathsQuoted)
{
    CDecodeRun run(u"/usr/bin/ffmpeg"_s, u"/m/it's \"live\"/-1.flac"_s, u"/t/orv1.wav"_s);
    EXPECT_EQ(run.GetKind(), 1);
    EXPECT_EQ(run.GetExecutable(), u"/usr/bin/ffmpeg"_s);
    const QStringList arguments = SplitCommandLine(run.GetParameters());
    EXPECT_EQ(arguments.mid(4, 2), (QStringList{u"-i"_s, u"/m/it's \"live\"/-1.flac"_s}));
    EXPECT_EQ(arguments.last(), u"/t/orv1.wav"_s);
}

// Files of three formats in three albums, one of them with a damaged file: each measured file
// gets its values (its album's only where the whole album was measured), the damaged one is
// named, and the files keep their audio.
TEST(ReplayGainJobTest, TagsEveryAlbumOnItsOwnCoreAndNamesTheFilesLeftUntagged)
{
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_s);
    ASSERT_FALSE(ffmpeg.isEmpty());
    QTemporaryDir dir;
    for (const char16_t* folder : {u"a b", u"c", u"damaged"})
        ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromUtf16(folder)));
    const QStringList good = {dir.filePath(u"a b/1.flac"_s), dir.filePath(u"c/\"it\".flac"_s),
                              dir.filePath(u"a b/2.flac"_s)};
    for (const QString& file : good)
        MakeFlac(file);
    const QString wav = dir.filePath(u"c/tone.wav"_s);
    ASSERT_EQ(QProcess::execute(u"sox"_s, {u"-n"_s, u"-r"_s, u"48000"_s, wav, u"synth"_s, u"0.5"_s,
                                           u"sine"_s, u"300"_s}),
              0);
    const QString mp3 = dir.filePath(u"damaged/tone.mp3"_s);
    ASSERT_EQ(QProcess::execute(u"lame"_s, {u"--quiet"_s, wav, mp3}), 0);
    const QStringList spoiled = {dir.filePath(u"damaged/1.flac"_s)};
    Write(dir, u"damaged/1.flac"_s, "not a flac file");
    const qint64 flacBytes = QFileInfo(good[0]).size();

    CCore core;
    CReplayGainJob job(core, ffmpeg);
    ASSERT_TRUE(job.Start(good + spoiled + QStringList{wav, mp3}));
    EXPECT_EQ(job.TotalAlbums(), 3);
    EXPECT_FALSE(job.Start(good)) << "a second run while the first one goes";
    QElapsedTimer timer;
    timer.start();
    while (job.IsRunning() && !timer.hasExpired(60000))
        QThread::msleep(20);
    ASSERT_FALSE(job.IsRunning());

    EXPECT_EQ(job.Files(), (QStringList{good[0], good[2], good[1], wav, spoiled[0], mp3}));
    EXPECT_EQ(job.UntaggedFiles(), spoiled);
    const std::optional<QStringList> comments = ReadFlacComments(good[0]);
    ASSERT_TRUE(comments);
    EXPECT_TRUE(comments->filter(u"REPLAYGAIN_ALBUM_GAIN="_s).size() == 1);
    EXPECT_GT(QFileInfo(good[0]).size(), flacBytes - 1);
    EXPECT_TRUE(
        QDir(dir.filePath(u"a b"_s)).entryList({u".orv*"_s}, QDir::Hidden | QDir::Files).isEmpty());
    EXPECT_FALSE(CReplayGainJob(core, QString()).Start(good)) << "without ffmpeg";
}

#ifdef ORVEL_EXAMPLE_PLUGIN
TEST(ExamplePluginTest, LoadsThroughThePluginContractWithACoreOfItsOwn)
{
    QTemporaryDir program;
    ASSERT_TRUE(QDir(program.path()).mkdir(u"Plugins"_s));
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(ORVEL_EXAMPLE_PLUGIN),
                            program.filePath(u"Plugins/ReplayGain.so"_s)));
    NotifierRecorder recorder;
    CLanguagePack language;
    CPluginList plugins;
    plugins.LoadAll(program.path(), language);

    EXPECT_EQ(recorder.Count(), 0);
    ASSERT_EQ(plugins.Count(), 1);
    EXPECT_EQ(plugins.At(0).name, u"ReplayGain tagger"_s);
    EXPECT_EQ(plugins.At(0).version, u"2.0"_s);
    auto* core = dynamic_cast<CCore*>(plugins.At(0).core.get());
    ASSERT_NE(core, nullptr);
    EXPECT_FALSE(core->IsRunning());
}
#endif

#include "engine/audio_fixtures.h"
#include "support/test_paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// orvel-batch run as a user runs it, on the shipped program folder (which it must never
// write) and real encoders, with its temporary WAVs in a folder of the test.
class OrvelBatchTest : public ::testing::Test
{
protected:
    struct Result
    {
        int status = -1;
        QString out;
        QString err;
    };

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(u"tmp"_s);
    }

    QString Path(const QString& relative) const { return dir.filePath(relative); }

    QString MakeFlac(const QString& relative, double seconds = 1.0)
    {
        const QString path = Path(relative);
        QDir().mkpath(QFileInfo(path).path());
        const QString wav = Path(u"tmp/source.wav"_s);
        EXPECT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, seconds));
        EXPECT_TRUE(fixtures::MakeFlac(wav, path));
        QFile::remove(wav);
        return path;
    }

    // Runs a shell command line; orvel-batch is "$BATCH" in it.
    Result Shell(const QString& command)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, Path(u"tmp"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, Path(u"cache"_s));
        environment.insert(u"BATCH"_s, QString::fromUtf8(ORVEL_BATCH_PROGRAM));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        process.start(u"/bin/sh"_s, {u"-c"_s, command});
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    Result Batch(const QString& arguments)
    {
        return Shell(
            u"\"$BATCH\" --program-folder '%1' %2"_s.arg(SourceTreePath(u"data"_s), arguments));
    }

    QStringList TemporaryWavs() const
    {
        return QDir(Path(u"tmp"_s)).entryList({u"orv*.wav"_s}, QDir::Files);
    }

    QTemporaryDir dir;
};

// Mirrored folders, a WAV source, a damaged file that fails with its reason, the summary and
// exit status 1; a second call with the results there leaves them alone.
TEST_F(OrvelBatchTest, ConvertsATreeAndReportsTheFileThatFailed)
{
    MakeFlac(u"lib/top.flac"_s);
    MakeFlac(u"lib/A/one.flac"_s);
    ASSERT_TRUE(QDir().mkpath(Path(u"lib/B"_s)));
    ASSERT_TRUE(fixtures::MakeWav(Path(u"lib/B/two.wav"_s), 44100, 1, 16, 0.5));
    QFile cover(Path(u"lib/A/cover.jpg"_s)); // no source: skipped without a word
    ASSERT_TRUE(cover.open(QIODevice::WriteOnly));
    cover.write("\xFF\xD8\xFF\xE0 not much of a picture");
    cover.close();
    QFile damaged(Path(u"lib/B/damaged.flac"_s));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("fLaC but nothing else of a FLAC file");
    damaged.close();

    const QString arguments = u"--coder 'LAME MP3' --preset 'VBR V2 (~190 kbps)' --output out "
                              "--keep-folders --threads 2 lib"_s;
    const Result first = Batch(arguments);
    EXPECT_EQ(first.status, 1) << first.err.toStdString();
    for (const QString& output : {u"out/top.mp3"_s, u"out/A/one.mp3"_s, u"out/B/two.mp3"_s})
        EXPECT_GT(QFileInfo(Path(output)).size(), 1000) << output.toStdString();
    EXPECT_TRUE(first.err.contains(u"FAILED: "_s + Path(u"lib/B/damaged.flac"_s) +
                                   u": Decoder flac: exit code"_s))
        << first.err.toStdString();
    EXPECT_TRUE(first.out.contains(u"3 converted, 1 failed, 0 left out"_s) &&
                first.out.contains(u"(1 files in the folders"_s))
        << first.out.toStdString();
    EXPECT_TRUE(TemporaryWavs().isEmpty());

    // A result newer than its source is skipped; an outdated one is not replaced unasked.
    const Result upToDate = Batch(u"--coder 'LAME MP3' --output out lib/top.flac"_s);
    EXPECT_EQ(upToDate.status, 0) << upToDate.err.toStdString();
    EXPECT_TRUE(upToDate.out.contains(u"1 skipped: their results are up to date"_s))
        << upToDate.out.toStdString();
    QFile source(Path(u"lib/top.flac"_s));
    ASSERT_TRUE(source.open(QIODevice::ReadWrite));
    ASSERT_TRUE(source.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                   QFileDevice::FileModificationTime));
    source.close();
    const Result again = Batch(u"--coder 'LAME MP3' --output out lib/top.flac"_s);
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains(u"exists already"_s));

    const Result fresh = Batch(u"--coder 'LAME MP3' --output fresh lib/A"_s);
    EXPECT_EQ(fresh.status, 0) << fresh.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(Path(u"fresh/one.mp3"_s)));
    EXPECT_TRUE(QFileInfo::exists(Path(u"cache/orvel/properties.sqlite"_s)));

    // Files named one by one are read together; one that cannot be read is named, in place.
    ASSERT_EQ(mkfifo(QFile::encodeName(Path(u"pipe"_s)).constData(), 0600), 0);
    const Result named = Batch(u"--coder 'LAME MP3' --output named lib/A/one.flac pipe "
                               "lib/top.flac"_s);
    EXPECT_EQ(named.status, 1);
    EXPECT_TRUE(named.err.contains(u"cannot be read, left out: pipe"_s)) << named.err.toStdString();
    for (const QString& output : {u"named/one.mp3"_s, u"named/top.mp3"_s})
        EXPECT_TRUE(QFileInfo::exists(Path(output))) << output.toStdString();
}

TEST_F(OrvelBatchTest, BadArgumentsEndWithStatusTwoAndAnOwnOutputIsRefused)
{
    const QString song = MakeFlac(u"song.flac"_s, 0.5);
    for (const QString& arguments :
         {u"--bogus song.flac"_s, u"--coder 'No Such Coder' song.flac"_s,
          u"--coder 'LAME MP3' --preset 'No Such Preset' song.flac"_s,
          u"--coder 'LAME MP3' missing.flac"_s, u"--coder 'LAME MP3' --threads 0 song.flac"_s,
          u"--coder 'LAME MP3'"_s}) {
        const Result result = Batch(arguments);
        EXPECT_EQ(result.status, 2) << arguments.toStdString();
        EXPECT_FALSE(result.err.isEmpty()) << arguments.toStdString();
    }

    QFile source(song);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray before = source.readAll();
    source.close();
    const Result own = Batch(u"--coder FLAC --beside-source song.flac"_s);
    EXPECT_EQ(own.status, 1);
    EXPECT_TRUE(own.err.contains(u"its own source"_s)) << own.err.toStdString();
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(source.readAll(), before);
    EXPECT_FALSE(QFileInfo::exists(SourceTreePath(u"data/Settings.ini"_s)));
}

// The --jobs lines are whole conversions: GNU parallel runs them and nothing is left behind.
TEST_F(OrvelBatchTest, JobLinesRunThroughGnuParallel)
{
    if (QStandardPaths::findExecutable(u"parallel"_s).isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed";
    MakeFlac(u"in/it's one.flac"_s, 0.5);
    MakeFlac(u"in/$(two) \"2\".flac"_s, 0.5);
    const Result result =
        Shell(u"\"$BATCH\" --program-folder '%1' --coder 'Ogg Vorbis' --output out --jobs in | "
              "parallel --will-cite --jobs 2"_s.arg(SourceTreePath(u"data"_s)));
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_GT(QFileInfo(Path(u"out/it's one.ogg"_s)).size(), 1000);
    EXPECT_GT(QFileInfo(Path(u"out/$(two) \"2\".ogg"_s)).size(), 1000);
    EXPECT_TRUE(TemporaryWavs().isEmpty());
}

} // namespace

#include "foundation/os.h"
#include "loudness/loudness.h"
#include "support/audio_fixtures.h"
#include "support/desktop_buses.h"
#include "support/test_paths.h"
#include "tags/picture_shrinker.h"
#include "tags/replay_gain.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <unistd.h>

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

    // A copy of the shipped program folder with a coder whose presets misbehave as encoders
    // do on a full disk or under a signal: a third of the audio, an empty file, a hang; or
    // that put a folder where the result of a.wav goes.
    QString FaultyProgramFolder(const QByteArray& settings = {})
    {
        const QString folder = Path(u"prog"_s);
        Shell(u"cp -r '%1' prog && mkdir -p prog/Coders/Faulty"_s.arg(SourceTreePath(u"data"_s)));
        WriteFile(u"prog/Coders/Faulty/faulty"_s, "#!/bin/sh\n"
                                                  "case \"$1\" in\n"
                                                  "short) exec sox \"$2\" \"$3\" trim 0 1 ;;\n"
                                                  "empty) : > \"$3\" ;;\n"
                                                  "slow) cp \"$2\" \"$3\"; exec sleep 60 ;;\n"
                                                  "shrink) truncate -s 1000000 \"$2\"\n"
                                                  "  exec cp \"$2\" \"$3\" ;;\n"
                                                  "block) cp \"$2\" \"$3\"\n"
                                                  "  case \"$2\" in */b.wav) sleep 1\n"
                                                  "  mkdir -p \"${3%/*}/a.wav/in the way\" ;;\n"
                                                  "  esac ;;\n"
                                                  "esac\n");
        QFile::setPermissions(Path(u"prog/Coders/Faulty/faulty"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WriteFile(u"prog/Coders/Faulty/Extensions.ini"_s, "wav\nwav\nwav\nwav\nwav\n");
        WriteFile(u"prog/Coders/Faulty/Presets.ini"_s,
                  "Short\nshort %in% %out%\nEmpty\nempty %in% %out%\nSlow\nslow %in% %out%\n"
                  "Block\nblock %in% %out%\nShrink\nshrink %in% %out%\n");
        if (!settings.isEmpty())
            WriteFile(u"prog/Settings.ini"_s, settings);
        return folder;
    }

    void WriteFile(const QString& relative, const QByteArray& bytes)
    {
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
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
    QFile cover(Path(u"lib/A/cover.jpg"_s)); // no source: counted as not audio
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
    EXPECT_TRUE(
        first.out.contains(u"3 converted, 1 failed, 0 left out, 0 up to date, 1 not audio"_s))
        << first.out.toStdString();
    EXPECT_TRUE(TemporaryWavs().isEmpty());

    // A result newer than its source is skipped; an outdated one is not replaced unasked.
    const Result upToDate = Batch(u"--coder 'LAME MP3' --output out lib/top.flac"_s);
    EXPECT_EQ(upToDate.status, 0) << upToDate.err.toStdString();
    EXPECT_TRUE(upToDate.out.contains(u"0 left out, 1 up to date"_s)) << upToDate.out.toStdString();
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
    EXPECT_TRUE(named.err.contains(u"/pipe: cannot be read"_s)) << named.err.toStdString();
    // Without a Settings.ini, a new user's: the folders below the files' common one are kept.
    for (const QString& output : {u"named/A/one.mp3"_s, u"named/top.mp3"_s})
        EXPECT_TRUE(QFileInfo::exists(Path(output))) << output.toStdString();
}

// The cover goes along shrunk to a baseline JPEG, a pattern's file goes along, the rest stays;
// a second run finds orvel's copies as they are, and a cover of the user's is never replaced.
TEST_F(OrvelBatchTest, TheCoverAndTheNamedFilesGoAlongAndAUsersCoverStays)
{
    MakeFlac(u"lib/Album/01.flac"_s);
    ASSERT_EQ(Shell(u"ffmpeg -loglevel error -f lavfi -i testsrc=size=1200x900 -frames:v 1 "
                    u"lib/Album/Folder.PNG"_s)
                  .status,
              0);
    ASSERT_EQ(
        Shell(u"metaflac --import-picture-from=lib/Album/Folder.PNG lib/Album/01.flac"_s).status,
        0);
    WriteFile(u"lib/Album/rip.log"_s, "ripped\n");
    WriteFile(u"lib/Album/notes.txt"_s, "mine\n");
    const QString line = u"--coder 'LAME MP3' --output out --keep-folders --picture-size 300 "
                         u"--copy-along '*.log' lib"_s;
    const Result first = Batch(line);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains(u"2 copied along"_s)) << first.out.toStdString();
    QFile cover(Path(u"out/Folder.jpg"_s));
    ASSERT_TRUE(cover.open(QIODevice::ReadOnly));
    const QByteArray bytes = cover.readAll();
    EXPECT_TRUE(IsBaselineJpeg(bytes));
    QImageReader reader(Path(u"out/Folder.jpg"_s));
    EXPECT_EQ(reader.size(), QSize(300, 225));
    EXPECT_TRUE(QFile::exists(Path(u"out/rip.log"_s)));
    EXPECT_FALSE(QFile::exists(Path(u"out/notes.txt"_s)));
    EXPECT_FALSE(QFile::exists(Path(u"out/Folder.PNG"_s)));
    // The picture embedded in the result is shrunk the same way.
    {
        TagLib::MPEG::File result(QFile::encodeName(Path(u"out/01.mp3"_s)).constData());
        ASSERT_TRUE(result.ID3v2Tag());
        const auto frames = result.ID3v2Tag()->frameListMap()["APIC"];
        ASSERT_EQ(frames.size(), 1u);
        const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frames.front());
        ASSERT_TRUE(picture);
        const QByteArray embedded(picture->picture().data(), int(picture->picture().size()));
        EXPECT_TRUE(IsBaselineJpeg(embedded));
        EXPECT_EQ(picture->mimeType(), TagLib::String("image/jpeg"));
        QByteArray data = embedded;
        QBuffer buffer(&data);
        EXPECT_EQ(QImageReader(&buffer).size(), QSize(300, 225));
    }

    // Converted again: orvel's copies are up to date and stay; the user's cover is named.
    const Result again = Batch(u"--overwrite "_s + line);
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_FALSE(again.out.contains(u"copied along"_s)) << again.out.toStdString();
    WriteFile(u"out/Folder.jpg"_s, "the user's own\n");
    {
        QFile own(Path(u"out/Folder.jpg"_s));
        ASSERT_TRUE(own.open(QIODevice::ReadWrite));
        own.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000),
                        QFileDevice::FileModificationTime);
    }
    const Result third = Batch(u"--overwrite "_s + line);
    EXPECT_TRUE(third.err.contains(u"out/Folder.jpg\" was not written by orvel"_s))
        << third.err.toStdString();
    QFile users(Path(u"out/Folder.jpg"_s));
    ASSERT_TRUE(users.open(QIODevice::ReadOnly));
    EXPECT_EQ(users.readAll(), QByteArray("the user's own\n"));
    // Results beside their sources take nothing along.
    const Result beside = Batch(u"--coder 'LAME MP3' --beside-source lib"_s);
    ASSERT_EQ(beside.status, 0) << beside.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path(u"lib/Album/Folder.jpg"_s)));
}

// The copy rules end to end: an MP3 for the MP3 coder and an Ogg file among MP3 results land
// byte for byte, planned, run, counted and handed to job lines alike; a lossy source for
// another lossy coder is left out with the reason.
TEST_F(OrvelBatchTest, CopyRulesCopySourcesByteForByteOrLeaveThemOutWithTheReason)
{
    MakeFlac(u"lib/A/one.flac"_s);
    ASSERT_TRUE(fixtures::MakeWav(Path(u"tmp/lossy.wav"_s), 44100, 2, 16, 1.0));
    ASSERT_EQ(Shell(u"lame --quiet tmp/lossy.wav lib/A/two.mp3 && "
                    u"oggenc -Q tmp/lossy.wav -o lib/A/three.ogg && rm tmp/lossy.wav"_s)
                  .status,
              0);
    const auto bytes = [this](const QString& relative) {
        QFile file(Path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QString rules = u"--coder 'LAME MP3' --copy-same-format --lossy copy "_s;

    const Result plan = Batch(rules + u"--output out --dry-run lib"_s);
    ASSERT_EQ(plan.status, 0) << plan.err.toStdString();
    EXPECT_TRUE(plan.out.contains(
        u"copy \"%1\" \"%2\""_s.arg(Path(u"lib/A/two.mp3"_s), Path(u"out/two.mp3"_s))))
        << plan.out.toStdString();
    EXPECT_TRUE(plan.out.contains(u"\"%1\"\n"_s.arg(Path(u"out/three.ogg"_s))));
    EXPECT_EQ(plan.out.count(u"/lame\""_s), 1) << plan.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(u"out"_s)));

    const Result run = Batch(rules + u"--output out lib"_s);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"copied: "_s + Path(u"lib/A/two.mp3"_s)));
    EXPECT_TRUE(run.out.contains(u"1 converted, 2 copied, 0 failed"_s)) << run.out.toStdString();
    EXPECT_EQ(bytes(u"out/two.mp3"_s), bytes(u"lib/A/two.mp3"_s));
    EXPECT_EQ(bytes(u"out/three.ogg"_s), bytes(u"lib/A/three.ogg"_s));
    EXPECT_FALSE(bytes(u"out/one.mp3"_s).isEmpty());
    EXPECT_TRUE(QDir(Path(u"out"_s)).entryList({u".orv*"_s}, QDir::Hidden | QDir::Files).isEmpty());
    // Copies are results: the next run finds them up to date.
    const Result again = Batch(rules + u"--output out lib"_s);
    EXPECT_TRUE(again.out.contains(u"0 converted, 0 failed, 0 left out, 3 up to date"_s))
        << again.out.toStdString();

    // A job line copies as this call would.
    const Result lines = Batch(rules + u"--output jobs --jobs lib/A/two.mp3"_s);
    ASSERT_EQ(lines.status, 0) << lines.err.toStdString();
    EXPECT_TRUE(lines.out.contains(u"--copy-same-format --lossy copy"_s))
        << lines.out.toStdString();
    ASSERT_EQ(Shell(lines.out).status, 0);
    EXPECT_EQ(bytes(u"jobs/two.mp3"_s), bytes(u"lib/A/two.mp3"_s));

    const Result leftOut = Batch(u"--coder Opus --lossy leave-out --output opus lib"_s);
    EXPECT_EQ(leftOut.status, 1);
    for (const char16_t* name : {u"lib/A/two.mp3", u"lib/A/three.ogg"})
        EXPECT_TRUE(leftOut.err.contains(
            u"left out: %1: a lossy source is not encoded into another lossy format"_s.arg(
                Path(QString::fromUtf16(name)))))
            << leftOut.err.toStdString();
    EXPECT_TRUE(leftOut.out.contains(u"1 converted, 0 failed, 2 left out"_s))
        << leftOut.out.toStdString();
    EXPECT_EQ(QDir(Path(u"opus"_s)).entryList(QDir::Files), QStringList{u"one.opus"_s});
}

TEST_F(OrvelBatchTest, BadArgumentsEndWithStatusTwoAndAnOwnOutputIsRefused)
{
    const QString song = MakeFlac(u"song.flac"_s, 0.5);
    for (const QString& arguments :
         {u"--bogus song.flac"_s, u"--coder 'No Such Coder' song.flac"_s,
          u"--coder 'LAME MP3' --preset 'No Such Preset' song.flac"_s,
          u"--coder 'LAME MP3' missing.flac"_s, u"--coder 'LAME MP3' --threads 0 song.flac"_s,
          u"--coder 'LAME MP3'"_s, u"--coder 'LAME MP3' --output \"$UNSET\" song.flac"_s,
          u"--coder=FLAC --output= song.flac"_s, u"song.flac --coder"_s,
          u"--coder FLAC --flat=1 song.flac"_s, u"--coder FLAC --sync ."_s,
          u"--coder FLAC --delete --output out song.flac"_s,
          u"--coder FLAC --sync --output out song.flac"_s,
          u"--coder FLAC --sync --output copy/inside ."_s,
          u"--coder FLAC --sync --overwrite --output out ."_s}) {
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

// Values follow their options after "=" as well; "--" ends the options, so a file may start
// with "-"; --version names the version and the licence.
TEST_F(OrvelBatchTest, OptionsTakeTheirValuesEitherWayAndTheVersionNamesTheLicence)
{
    MakeFlac(u"-dash.flac"_s, 0.5);
    const Result run = Batch(u"--coder=FLAC --preset='Level 8 (smallest)' --output=out --threads=2 "
                             u"-- -dash.flac"_s);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo(Path(u"out/-dash.flac"_s)).size() > 0);

    const Result version = Batch(u"--version"_s);
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(u"orvel-batch " ORVEL_VERSION "\n"_s))
        << version.out.toStdString();
    EXPECT_TRUE(version.out.contains(u"GPLv3+: GNU GPL version 3 or later"_s));
    // The completion and the manual page take the options from --help.
    const Result help = Batch(u"--help"_s);
    EXPECT_EQ(help.status, 0);
    for (const QString& option :
         {u"--version"_s, u"--flat"_s, u"--list-order"_s, u"--coder NAME"_s, u"--no-covers"_s,
          u"--picture-size N"_s, u"--copy-along PATTERNS"_s})
        EXPECT_TRUE(help.out.contains(option)) << option.toStdString();
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

// Any name the system allows, through --jobs lines run by GNU parallel and by one bash: each
// file is converted or named as left out, and no name ever runs as a command.
TEST_F(OrvelBatchTest, JobLinesForAnyNameConvertOrNameItAndRunNothingElse)
{
    if (QStandardPaths::findExecutable(u"parallel"_s).isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed";
    QFile seed(MakeFlac(u"tmp/seed.flac"_s, 0.3));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    const QByteArray audio = seed.readAll();
    seed.remove();

    QList<QByteArray> names{
        "x\ntouch PWNED #",           "-rf --help",  "$(touch PWNED)", "`touch PWNED`",
        "it's \"q\" \\ {} {.} %41 %", " both ends ", "\r\n\t\x1b[31m"};
    std::mt19937 random(20261207);
    const QByteArray tricky = "'\"$`\\ \n-{}%;&|<>()*?[]!#~=\xc3\xa9\xe6\x97\xa5";
    for (int i = 0; i < 10; ++i) {
        QByteArray name;
        for (int length = 1 + int(random() % 16); name.size() < length;) {
            const char byte =
                i % 2 ? tricky[int(random() % tricky.size())] : char(1 + random() % 255);
            if (byte != '/')
                name += byte;
        }
        names << name;
    }
    ASSERT_TRUE(QDir().mkpath(Path(u"lib"_s)));
    QStringList converted;
    int notUtf8 = 0;
    for (const QByteArray& name : std::as_const(names)) {
        std::ofstream(QFile::encodeName(Path(u"lib/"_s)).toStdString() + name.toStdString() +
                      ".flac")
            << audio.toStdString();
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(name);
        if (decoder.hasError())
            ++notUtf8;
        else
            converted << text;
    }
    const QString before = Shell(u"ls -AR lib | md5sum"_s).out;

    const QString jobs = u"\"$BATCH\" --program-folder '%1' --coder FLAC --output %2 --jobs lib"_s;
    const QString data = SourceTreePath(u"data"_s);
    const Result viaParallel =
        Shell(jobs.arg(data, u"out"_s) + u" | parallel --will-cite --jobs 2"_s);
    const Result viaBash = Shell(jobs.arg(data, u"out2"_s) + u" | bash"_s);
    const Result listed = Shell(jobs.arg(data, u"out3"_s));
    EXPECT_EQ(listed.status, notUtf8 > 0 ? 1 : 0);
    EXPECT_EQ(listed.err.count(u"its name is not valid UTF-8"_s), notUtf8)
        << listed.err.toStdString();
    for (const QString& output : {u"out/"_s, u"out2/"_s}) {
        for (const QString& name : std::as_const(converted))
            EXPECT_GT(QFileInfo(Path(output + name + u".flac"_s)).size(), 100)
                << (output + name).toStdString() << viaParallel.err.toStdString()
                << viaBash.err.toStdString();
        EXPECT_EQ(QDir(Path(output)).entryList(QDir::Files | QDir::Hidden).size(),
                  converted.size());
    }
    // Nothing made outside the output folders, and the sources as they were.
    EXPECT_EQ(Shell(u"ls -AR lib | md5sum"_s).out.toStdString(), before.toStdString());
    EXPECT_EQ(Shell(u"ls -A"_s).out.toStdString(), "cache\nlib\nout\nout2\ntmp\n");
    EXPECT_TRUE(TemporaryWavs().isEmpty());
    Shell(u"rm -rf lib"_s); // names that are not UTF-8 are beyond QDir
}

// A folder's every entry is accounted for: the summary counts them and names those left out.
TEST_F(OrvelBatchTest, EveryFileBelowAFolderIsCountedAndNamed)
{
    MakeFlac(u"lib/good.flac"_s, 0.3);
    WriteFile(u"lib/cover.jpg"_s, "\xFF\xD8\xFF\xE0 not much of a picture");
    Shell(u"cd lib && mkfifo fifo.flac && ln -s nowhere.flac dangling.flac && "
          "ln -s .. up && mkdir .hidden && cp good.flac .hidden/ && "
          "d=$(printf 'd%.0s' $(seq 250)) && for i in $(seq 17); do mkdir $d && cd $d; done && "
          "cp $(printf '../%.0s' $(seq 17))good.flac deep.flac"_s);
    QStringList expected{u"fifo.flac: a FIFO, socket or device"_s,
                         u"dangling.flac: a link that leads to no file"_s,
                         u"up: a link to a folder"_s, u": its path is longer than the system"_s};
    if (geteuid() != 0) { // root reads everything
        MakeFlac(u"lib/locked/song.flac"_s, 0.3);
        MakeFlac(u"lib/unreadable.flac"_s, 0.3);
        QFile::setPermissions(Path(u"lib/unreadable.flac"_s), QFile::WriteOwner);
        QFile::setPermissions(Path(u"lib/locked"_s), QFile::WriteOwner);
        expected << u"unreadable.flac: cannot be read"_s << u"locked: folder cannot be listed"_s;
    }
    const Result result = Batch(u"--coder FLAC --output out lib"_s);
    Shell(u"chmod -R u+rwx lib; rm -rf lib"_s);
    EXPECT_EQ(result.status, 1);
    for (const QString& reason : std::as_const(expected))
        EXPECT_TRUE(result.err.contains(reason))
            << reason.toStdString() << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u".hidden: a hidden folder"_s));
    EXPECT_TRUE(result.out.contains(
        u"1 converted, 0 failed, %1 left out, 0 up to date, 1 not audio"_s.arg(expected.size())))
        << result.out.toStdString();
}

// Exit code 0 is no proof: a short or empty result fails with the reason and leaves nothing;
// a short result already there is not up to date. The copied folder's Settings.ini is read as
// the window reads it, and a link at a result's place is replaced, never written through.
TEST_F(OrvelBatchTest, ResultsCountOnlyWhenCheckedAndLinksAreNeverWrittenThrough)
{
    FaultyProgramFolder(
        "[Settings.General]\nOutputFolder=%TMPDIR%/gout/\nOutputFolderSameAsOriginal=0\n");
    ASSERT_TRUE(fixtures::MakeWav(Path(u"three.wav"_s), 44100, 2, 16, 3.0));
    const QString faulty = u"\"$BATCH\" --program-folder prog --coder Faulty --output out "_s;
    const Result shortened = Shell(faulty + u"--preset Short three.wav"_s);
    const Result emptied = Shell(faulty + u"--preset Empty three.wav"_s);
    EXPECT_EQ(shortened.status, 1);
    EXPECT_TRUE(shortened.err.contains(u"Coder faulty: result is 1.0 s of 3.0 s"_s))
        << shortened.err.toStdString();
    EXPECT_TRUE(emptied.err.contains(u"Coder faulty: result is empty"_s))
        << emptied.err.toStdString();
    EXPECT_TRUE(QDir(Path(u"out"_s)).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // A source cut short while the meter and the coder read it (a share going away) fails with
    // its reason, whenever the cut lands; read through a mapping, it ended the program (SIGBUS).
    ASSERT_TRUE(fixtures::MakeWav(Path(u"long.wav"_s), 44100, 2, 16, 60.0));
    const Result cut = Shell(faulty + u"--preset Shrink --replaygain track long.wav"_s);
    EXPECT_EQ(cut.status, 1) << cut.err.toStdString();
    EXPECT_TRUE(cut.err.contains(u"long.wav: Coder faulty: result is 5.7 s of 60.0 s"_s))
        << cut.err.toStdString();
    EXPECT_TRUE(cut.out.contains(u"0 converted, 1 failed"_s)) << cut.out.toStdString();
    EXPECT_TRUE(QDir(Path(u"out"_s)).entryList(QDir::Files | QDir::Hidden).isEmpty());

    Shell(u"sox three.wav out/three.wav trim 0 1 && touch -d '+1 minute' out/three.wav"_s);
    const Result stale =
        Shell(u"\"$BATCH\" --program-folder prog --coder WAV --output out three.wav"_s);
    EXPECT_TRUE(stale.err.contains(u"its result exists already"_s)) << stale.out.toStdString();

    const Result fromSettings = Shell(u"\"$BATCH\" --program-folder prog --coder WAV three.wav"_s);
    EXPECT_EQ(fromSettings.status, 0) << fromSettings.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(Path(u"tmp/gout/three.wav"_s)));

    ASSERT_TRUE(QDir().mkpath(Path(u"links"_s)));
    ASSERT_TRUE(QFile::link(u"../elsewhere.wav"_s, Path(u"links/three.wav"_s)));
    const QString toLinks = u"\"$BATCH\" --program-folder prog --coder WAV --output links "_s;
    EXPECT_EQ(Shell(toLinks + u"three.wav"_s).status, 1);
    EXPECT_TRUE(QFileInfo(Path(u"links/three.wav"_s)).isSymLink());
    EXPECT_EQ(Shell(toLinks + u"--overwrite three.wav"_s).status, 0);
    EXPECT_FALSE(QFileInfo(Path(u"links/three.wav"_s)).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(Path(u"elsewhere.wav"_s)));
}

// SIGINT, SIGTERM and SIGHUP stop the run as Stop does: nothing half-written is left, the
// summary is printed, and the status says which signal.
TEST_F(OrvelBatchTest, StopSignalsLeaveNothingBehindAndSaySo)
{
    FaultyProgramFolder();
    ASSERT_TRUE(fixtures::MakeWav(Path(u"three.wav"_s), 44100, 2, 16, 3.0));
    const QString flac = MakeFlac(u"one.flac"_s, 1.0);
    for (const auto& [signal, name] : {std::pair{SIGINT, "SIGINT"}, std::pair{SIGTERM, "SIGTERM"},
                                       std::pair{SIGHUP, "SIGHUP"}}) {
        QProcess batch;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, Path(u"tmp"_s));
        batch.setProcessEnvironment(environment);
        batch.setWorkingDirectory(dir.path());
        batch.start(QString::fromUtf8(ORVEL_BATCH_PROGRAM),
                    {u"--program-folder"_s, u"prog"_s, u"--coder"_s, u"Faulty"_s, u"--preset"_s,
                     u"Slow"_s, u"--output"_s, u"out"_s, u"three.wav"_s, flac});
        ASSERT_TRUE(batch.waitForStarted());
        // Both hidden results are being written once both slots hang.
        for (int i = 0;
             i < 100 && QDir(Path(u"out"_s)).entryList(QDir::Files | QDir::Hidden).size() < 2; ++i)
            QThread::msleep(50);
        ::kill(pid_t(batch.processId()), signal);
        ASSERT_TRUE(batch.waitForFinished(20000));
        EXPECT_EQ(batch.exitCode(), 128 + signal) << name;
        const QString said = QString::fromUtf8(batch.readAllStandardOutput());
        EXPECT_TRUE(said.startsWith(u"stopped by %1: 0 converted"_s.arg(QLatin1StringView(name))))
            << said.toStdString() << batch.readAllStandardError().toStdString();
        EXPECT_TRUE(QDir(Path(u"out"_s)).entryList(QDir::Files | QDir::Hidden).isEmpty()) << name;
        EXPECT_TRUE(TemporaryWavs().isEmpty()) << name;
    }
}

} // namespace

namespace {

// A 16-bit stereo source of sox's making, as FLAC with an album title when one is given; the
// WAV stays for the expected values.
QString MakeSource(const QString& folder, const QString& name, const QString& synth,
                   const QString& album)
{
    QDir().mkpath(folder);
    const QString wav = folder + u"/../"_s + name + u".wav"_s;
    const QString flac = folder + u'/' + name + u".flac"_s;
    EXPECT_TRUE(fixtures::Run(
        u"sh"_s, {u"-c"_s, u"sox -n -r 44100 -c 2 -b 16 \"$1\" synth 2 "_s + synth, u"sh"_s, wav}));
    EXPECT_TRUE(fixtures::MakeFlac(wav, flac));
    if (!album.isEmpty()) {
        EXPECT_TRUE(fixtures::Run(u"metaflac"_s, {u"--set-tag=ALBUM="_s + album, flac}));
    }
    return wav;
}

// The loudness fields of a result as the tag library reads them, names in upper case.
QMap<QString, QString> LoudnessTags(const QString& path)
{
    QMap<QString, QString> tags;
    const QByteArray name = QFile::encodeName(path);
    TagLib::FileRef file(name.constData(), false);
    if (file.isNull())
        return tags;
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file.file())) {
        for (const auto& [key, item] : mp4->tag()->itemMap()) {
            const QString text = QString::fromStdString(key.to8Bit(true));
            if (text.startsWith(u"----:com.apple.iTunes:replaygain_"_s))
                tags.insert(text.mid(22).toUpper(),
                            QString::fromStdString(item.toStringList().front().to8Bit(true)));
        }
        return tags;
    }
    for (const auto& [key, values] : file.file()->properties()) {
        const QString text = QString::fromStdString(key.to8Bit(true));
        if (text.startsWith(u"REPLAYGAIN_"_s) || text.startsWith(u"R128_"_s))
            tags.insert(text, QString::fromStdString(values.front().to8Bit(true)));
    }
    return tags;
}

bool ProcessEnded(qint64 pid)
{
    siginfo_t info{};
    return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

QString Output(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(program), arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

} // namespace

// Three albums (a folder whose files share an album title, with one file of another title; a
// folder without titles, where the folder is the album) through each of the seven coders: every
// result holds its track values and its album's, which a player's reader (ffprobe, opusinfo) sees
// too.
TEST_F(OrvelBatchTest, EveryCoderWritesTheTrackAndAlbumValuesOfThreeAlbums)
{
    const QString a = Path(u"lib/A"_s);
    const QString b = Path(u"lib/B"_s);
    const struct
    {
        QString folder;
        QString name;
        QString wav;
    } sources[] = {
        {u"A"_s, u"a1"_s, MakeSource(a, u"a1"_s, u"sine 440 vol 0.5"_s, u"Alpha"_s)},
        {u"A"_s, u"a2"_s, MakeSource(a, u"a2"_s, u"pinknoise vol 0.1"_s, u"Alpha"_s)},
        {u"B"_s, u"b1"_s, MakeSource(b, u"b1"_s, u"sine 1000 vol 0.2"_s, QString())},
        {u"B"_s, u"b2"_s, MakeSource(b, u"b2"_s, u"whitenoise vol 0.05"_s, QString())},
        // Another album title in the same folder: an album of its own.
        {u"A"_s, u"other"_s, MakeSource(a, u"other"_s, u"sine 200 vol 0.7"_s, u"Beta"_s)},
    };
    QMap<QString, CTrackLoudness> tracks;
    for (const auto& source : sources) {
        QString error;
        ASSERT_TRUE(MeasureWavLoudness(source.wav, tracks[source.name], &error));
        QFile::remove(source.wav); // the batch reads only what is in lib/A and lib/B
    }
    const auto album = [&](const QString& folder, const QString& name) {
        if (name == u"other"_s)
            return std::pair{tracks[name].Loudness(), tracks[name].truePeak};
        const QString first = folder == u"A"_s ? u"a1"_s : u"b1"_s;
        const QString second = folder == u"A"_s ? u"a2"_s : u"b2"_s;
        return std::pair{GatedLoudness({&tracks[first], &tracks[second]}),
                         std::max(tracks[first].truePeak, tracks[second].truePeak)};
    };

    const struct
    {
        QString coder;
        QString extension;
    } coders[] = {{u"FLAC"_s, u"flac"_s},        {u"LAME MP3"_s, u"mp3"_s},
                  {u"AAC (ffmpeg)"_s, u"m4a"_s}, {u"Ogg Vorbis"_s, u"ogg"_s},
                  {u"Opus"_s, u"opus"_s},        {u"WAV"_s, u"wav"_s},
                  {u"WavPack"_s, u"wv"_s}};
    for (const auto& coder : coders) {
        SCOPED_TRACE(coder.coder.toStdString());
        const Result run = Batch(u"--coder '%1' --output out/%2 --keep-folders --replaygain album "
                                 u"--threads 2 lib"_s.arg(coder.coder, coder.extension));
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        for (const auto& source : sources) {
            const QString result =
                Path(u"out/%1/%2/%3.%1"_s.arg(coder.extension, source.folder, source.name));
            const QMap<QString, QString> tags = LoudnessTags(result);
            const CTrackLoudness& track = tracks[source.name];
            const auto [albumLoudness, albumPeak] = album(source.folder, source.name);
            // ffprobe reads no ID3 chunk in a WAV file; MediaInfo does.
            const QString probe =
                (coder.extension == u"wav"_s
                     ? Output(u"mediainfo"_s, {result}).replace(u':', u'=')
                     : Output(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_entries"_s,
                                             u"format_tags:stream_tags"_s, result}))
                    .remove(u' ');
            if (coder.extension == u"opus"_s) {
                EXPECT_EQ(tags.value(u"R128_TRACK_GAIN"_s), R128GainText(track.Loudness()));
                EXPECT_EQ(tags.value(u"R128_ALBUM_GAIN"_s), R128GainText(albumLoudness));
                EXPECT_FALSE(tags.contains(u"REPLAYGAIN_TRACK_GAIN"_s));
                EXPECT_TRUE(Output(u"opusinfo"_s, {result})
                                .contains(u"R128_ALBUM_GAIN="_s + R128GainText(albumLoudness)));
                EXPECT_TRUE(probe.contains(u"R128_TRACK_GAIN="_s, Qt::CaseInsensitive));
                continue;
            }
            EXPECT_EQ(tags.value(u"REPLAYGAIN_TRACK_GAIN"_s), ReplayGainText(track.Loudness()));
            EXPECT_EQ(tags.value(u"REPLAYGAIN_TRACK_PEAK"_s), PeakText(track.truePeak));
            EXPECT_EQ(tags.value(u"REPLAYGAIN_ALBUM_GAIN"_s), ReplayGainText(albumLoudness));
            EXPECT_EQ(tags.value(u"REPLAYGAIN_ALBUM_PEAK"_s), PeakText(albumPeak));
            EXPECT_TRUE(probe.contains(u"replaygain_album_gain="_s +
                                           ReplayGainText(albumLoudness).remove(u' '),
                                       Qt::CaseInsensitive))
                << probe.toStdString();
        }
    }
}

// orvel-batch killed while an album's values are being written: every result under its own
// name is whole (decodes to its source's length); the rest are hidden files for the next start.
TEST_F(OrvelBatchTest, AKillDuringAlbumWritingLeavesEveryResultWhole)
{
    constexpr int kFiles = 24;
    for (int i = 0; i < kFiles; ++i) {
        const QString wav = MakeSource(Path(u"lib"_s), u"t%1"_s.arg(i, 2, 10, QChar(u'0')),
                                       u"sine %1 vol 0.3"_s.arg(200 + 50 * i), u"Kill"_s);
        QFile::remove(wav);
    }
    const QString expected = Path(u"tmp/expected.wav"_s);
    ASSERT_TRUE(fixtures::Run(
        u"flac"_s, {u"-d"_s, u"-s"_s, u"-f"_s, u"-o"_s, expected, Path(u"lib/t00.flac"_s)}));
    const qint64 sourceBytes = QFileInfo(expected).size();
    // The results are tagged and moved to their names one after another within a few
    // milliseconds: a kill lands in that stretch only now and then, so there are tries enough
    // for a loaded machine.
    bool killedMidway = false;
    for (int attempt = 0; attempt < 16 && !killedMidway; ++attempt) {
        const QString out = Path(u"out%1"_s.arg(attempt));
        QDir().mkpath(out);
        const qint64 pid =
            os::SpawnProcess(QString::fromUtf8(ORVEL_BATCH_PROGRAM),
                             {u"--program-folder"_s, SourceTreePath(u"data"_s), u"--coder"_s,
                              u"FLAC"_s, u"--output"_s, out, u"--replaygain"_s, u"album"_s,
                              u"--threads"_s, u"2"_s, Path(u"lib"_s)},
                             false);
        ASSERT_GT(pid, 0);
        QDir folder(out);
        // The album is written once all of its results wait; the first one placed shows it began.
        while (folder.entryList({u"*.flac"_s}, QDir::Files).isEmpty() && !ProcessEnded(pid))
            QThread::usleep(50);
        ::kill(pid_t(pid), SIGKILL);
        os::ReapProcess(pid);
        const QStringList placed = folder.entryList({u"t*.flac"_s}, QDir::Files);
        const QStringList hidden = folder.entryList({u".orv*"_s}, QDir::Files | QDir::Hidden);
        killedMidway = !placed.isEmpty() && !hidden.isEmpty();
        for (const QString& name : placed) {
            const QString decoded = Path(u"tmp/decoded.wav"_s);
            EXPECT_TRUE(fixtures::Run(
                u"flac"_s, {u"-d"_s, u"-s"_s, u"-f"_s, u"-o"_s, decoded, folder.filePath(name)}))
                << name.toStdString();
            EXPECT_EQ(QFileInfo(decoded).size(), sourceBytes) << name.toStdString();
        }
    }
    EXPECT_TRUE(killedMidway) << "no kill landed while the album was being written";
}

// An album of which a file fails gets no album values (they would be the loudness of part of
// it); its other results still get their track values and go to their names. A result that
// cannot go to its name fails, though its program succeeded.
TEST_F(OrvelBatchTest, AnAlbumMissingAFailedFileGetsTrackValuesOnly)
{
    QFile::remove(MakeSource(Path(u"lib/C"_s), u"good"_s, u"sine 500 vol 0.4"_s, u"Gamma"_s));
    // A file of the album whose tags still read, cut short: its decoder fails.
    QFile::remove(MakeSource(Path(u"lib/C"_s), u"damaged"_s, u"sine 300"_s, u"Gamma"_s));
    QFile damaged(Path(u"lib/C/damaged.flac"_s));
    ASSERT_TRUE(damaged.resize(damaged.size() / 2));

    const Result run = Batch(u"--coder FLAC --output out --replaygain album lib"_s);
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    const QMap<QString, QString> tags = LoudnessTags(Path(u"out/good.flac"_s));
    EXPECT_TRUE(tags.contains(u"REPLAYGAIN_TRACK_GAIN"_s));
    EXPECT_FALSE(tags.contains(u"REPLAYGAIN_ALBUM_GAIN"_s));
    EXPECT_TRUE(QDir(Path(u"out"_s)).entryList({u".orv*"_s}, QDir::Hidden | QDir::Files).isEmpty());

    // Nor does an album of which only a part is converted again (a track retagged, the other
    // up to date and left out): the run says why, and the other result keeps the values of the
    // whole album.
    for (const QString& name : {u"d1"_s, u"d2"_s})
        QFile::remove(MakeSource(Path(u"part/D"_s), name, u"sine 300 vol 0.5"_s, u"Delta"_s));
    QFile::remove(MakeSource(Path(u"part/D"_s), u"e1"_s, u"sine 900 vol 0.1"_s, u"Epsilon"_s));
    const QString partly = u"--coder FLAC --output partout --replaygain album part"_s;
    ASSERT_EQ(Batch(partly).status, 0);
    const QString whole =
        LoudnessTags(Path(u"partout/d2.flac"_s)).value(u"REPLAYGAIN_ALBUM_GAIN"_s);
    ASSERT_FALSE(whole.isEmpty());
    // Retagged, and their old results removed: orvel-batch leaves results alone otherwise.
    for (const QString& name : {u"d1"_s, u"e1"_s}) {
        ASSERT_TRUE(fixtures::Run(
            u"metaflac"_s, {u"--set-tag=TITLE=Retagged"_s, Path(u"part/D/%1.flac"_s.arg(name))}));
        ASSERT_TRUE(QFile::remove(Path(u"partout/%1.flac"_s.arg(name))));
    }
    const Result again = Batch(partly);
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains(u"2 converted, 0 failed, 0 left out, 1 up to date"_s))
        << again.out.toStdString();
    EXPECT_TRUE(again.err.contains(u"warning: %1: no album values: \"%2\", of the album \"Delta\", "
                                   u"was not converted in this run"_s.arg(
                                       Path(u"part/D/d1.flac"_s), Path(u"part/D/d2.flac"_s))))
        << again.err.toStdString();
    const QMap<QString, QString> retagged = LoudnessTags(Path(u"partout/d1.flac"_s));
    EXPECT_TRUE(retagged.contains(u"REPLAYGAIN_TRACK_GAIN"_s));
    EXPECT_FALSE(retagged.contains(u"REPLAYGAIN_ALBUM_GAIN"_s));
    EXPECT_EQ(LoudnessTags(Path(u"partout/d2.flac"_s)).value(u"REPLAYGAIN_ALBUM_GAIN"_s), whole);
    // An album all of whose files ran (here one) still gets its values.
    EXPECT_TRUE(LoudnessTags(Path(u"partout/e1.flac"_s)).contains(u"REPLAYGAIN_ALBUM_GAIN"_s));

    // A result held for its album is reported only once it is at its name: one that cannot
    // get there is a failure, never first "converted".
    FaultyProgramFolder();
    QDir().mkpath(Path(u"album"_s));
    for (const QString& name : {u"album/a.wav"_s, u"album/b.wav"_s})
        ASSERT_TRUE(fixtures::MakeWav(Path(name), 44100, 2, 16, 1.0));
    const Result blocked = Shell(u"\"$BATCH\" --program-folder prog --coder Faulty --preset Block "
                                 "--output blocked --replaygain album album"_s);
    EXPECT_EQ(blocked.status, 1) << blocked.err.toStdString();
    EXPECT_FALSE(blocked.out.contains(u"/a.wav ->"_s)) << blocked.out.toStdString();
    EXPECT_TRUE(blocked.out.contains(u"1 converted, 1 failed"_s)) << blocked.out.toStdString();

    const Result bad = Batch(u"--coder FLAC --output out2 --replaygain loud lib"_s);
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains(u"--replaygain takes off, track or album"_s))
        << bad.err.toStdString();
}

// Real tagged files of four formats, named from their tags: the results land where the
// dry run's command lines said and where the --jobs lines put them, and a file whose tags
// give the name of an earlier one is left out, with its reason, before anything runs.
TEST_F(OrvelBatchTest, NamesFromTagsAreThePreviewedOnesAndNeverShared)
{
    const QString wav = Path(u"tmp/tone.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 0.5));
    QDir().mkpath(Path(u"in"_s));
    ASSERT_TRUE(fixtures::MakeFlac(wav, Path(u"in/a.flac"_s)));
    ASSERT_TRUE(fixtures::Run(u"metaflac"_s,
                              {u"--set-tag=ARTIST=AC/DC"_s, u"--set-tag=ALBUM=Live"_s,
                               u"--set-tag=TITLE=AC/DC: Live?"_s, u"--set-tag=TRACKNUMBER=1"_s,
                               u"--set-tag=DISCNUMBER=2"_s, Path(u"in/a.flac"_s)}));
    ASSERT_TRUE(fixtures::Run(u"lame"_s,
                              {u"--quiet"_s, u"--tt"_s, u"Two"_s, u"--ta"_s, u"Artist"_s, u"--tl"_s,
                               u"Album"_s, u"--tn"_s, u"2"_s, wav, Path(u"in/b.mp3"_s)}));
    ASSERT_TRUE(fixtures::Run(
        u"ffmpeg"_s,
        {u"-v"_s, u"error"_s, u"-i"_s, wav, u"-c:a"_s, u"aac"_s, u"-metadata"_s, u"title=Three"_s,
         u"-metadata"_s, u"artist=Guest"_s, u"-metadata"_s, u"album_artist=Artist"_s,
         u"-metadata"_s, u"album=Album"_s, u"-metadata"_s, u"track=3"_s, Path(u"in/c.m4a"_s)}));
    ASSERT_TRUE(fixtures::Run(u"oggenc"_s,
                              {u"-Q"_s, u"-t"_s, u"Four"_s, u"-a"_s, u"Artist"_s, u"-l"_s,
                               u"Album"_s, u"-N"_s, u"4"_s, u"-o"_s, Path(u"in/d.ogg"_s), wav}));
    ASSERT_TRUE(QFile::copy(Path(u"in/d.ogg"_s), Path(u"in/e twin.ogg"_s)));
    QFile::remove(wav);

    const QStringList expected = {u"AC_DC/Live/02-01 - AC_DC: Live?.ogg"_s,
                                  u"Artist/Album/02 - Two.ogg"_s, u"Artist/Album/03 - Three.ogg"_s,
                                  u"Artist/Album/04 - Four.ogg"_s};
    const QString arguments = u"--coder 'Ogg Vorbis' --name-pattern "
                              "'<albumartist>/<album>/[<disc>-]<track> - <title>' --output %1 "
                              "%2 in"_s;
    const Result preview = Batch(arguments.arg(u"out"_s, u"--dry-run"_s));
    for (const QString& name : expected)
        EXPECT_TRUE(preview.out.contains(Path(u"out/"_s + name))) << preview.out.toStdString();
    const QString twinReason =
        Path(u"in/e twin.ogg"_s) + u": an earlier file writes the same result"_s;
    EXPECT_TRUE(preview.err.contains(twinReason)) << preview.err.toStdString();

    const Result run = Batch(arguments.arg(u"out"_s, QString()));
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(twinReason));
    const Result lines = Batch(arguments.arg(u"jobs"_s, u"--jobs"_s));
    EXPECT_TRUE(lines.out.contains(u"--result-name"_s));
    EXPECT_EQ(Shell(lines.out).status, 0);
    for (const QString& name : expected) {
        EXPECT_GT(QFileInfo(Path(u"out/"_s + name)).size(), 1000) << name.toStdString();
        EXPECT_GT(QFileInfo(Path(u"jobs/"_s + name)).size(), 1000) << name.toStdString();
    }
    EXPECT_EQ(Batch(u"--coder 'Ogg Vorbis' --name-pattern '<titel>' in"_s).status, 2);

    // Numbered instead of left out: the twin's result is the next free name.
    const Result numbered = Batch(arguments.arg(u"numbered"_s, u"--number-shared"_s));
    EXPECT_EQ(numbered.status, 0) << numbered.err.toStdString();
    EXPECT_GT(QFileInfo(Path(u"numbered/Artist/Album/04 - Four (2).ogg"_s)).size(), 1000);
}

namespace {

// The machine stays awake while orvel-batch converts, and no longer: the inhibitor goes at the
// end of the run and when the program is killed; --allow-sleep takes none.
TEST_F(OrvelBatchTest, TheMachineStaysAwakeForTheRunAndNoLonger)
{
    CDesktopBuses buses;
    ASSERT_TRUE(buses.ready) << qPrintable(buses.Record().join(u'\n'));
    const QString onBuses = u"DBUS_SYSTEM_BUS_ADDRESS='%1' DBUS_SESSION_BUS_ADDRESS='%2' "_s.arg(
        buses.Address(0), buses.Address(1));
    const QString flac = MakeFlac(u"one.flac"_s);
    const QString inhibit = u"inhibit sleep:idle|orvel|Converting audio (1 files)|block"_s;
    const Result converted =
        Shell(onBuses + u"\"$BATCH\" --program-folder '%1' --coder FLAC "
                        u"--output out '%2'"_s.arg(SourceTreePath(u"data"_s), flac));
    EXPECT_EQ(converted.status, 0) << qPrintable(converted.err);
    EXPECT_TRUE(buses.Saw(inhibit));
    EXPECT_TRUE(buses.Saw(u"released"_s));
    const Result allowed =
        Shell(onBuses + u"\"$BATCH\" --program-folder '%1' --coder FLAC --allow-sleep "
                        u"--overwrite --output out '%2'"_s.arg(SourceTreePath(u"data"_s), flac));
    EXPECT_EQ(allowed.status, 0) << qPrintable(allowed.err);
    EXPECT_EQ(buses.Record().count(inhibit), 1);

    FaultyProgramFolder();
    QProcess batch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TMPDIR"_s, Path(u"tmp"_s));
    environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, buses.Address(0));
    batch.setProcessEnvironment(environment);
    batch.setWorkingDirectory(dir.path());
    batch.start(QString::fromUtf8(ORVEL_BATCH_PROGRAM),
                {u"--program-folder"_s, u"prog"_s, u"--coder"_s, u"Faulty"_s, u"--preset"_s,
                 u"Slow"_s, u"--output"_s, u"slow"_s, flac});
    ASSERT_TRUE(batch.waitForStarted());
    ASSERT_TRUE(fixtures::WaitUntil([&] { return buses.Record().count(inhibit) == 2; }, 30000))
        << qPrintable(buses.Record().join(u'\n'));
    batch.kill();
    ASSERT_TRUE(batch.waitForFinished(20000));
    EXPECT_TRUE(fixtures::WaitUntil([&] { return buses.Record().count(u"released"_s) == 2; }))
        << qPrintable(buses.Record().join(u'\n'));
}

} // namespace

// An album image and its sheet (Windows-1252, a gap before track 2, named as the WAV it was
// ripped from) become three results: decoded once, cut to the sample, named and tagged from
// the sheet. Joined again, their audio is the image's, byte for byte; a dry run decodes the
// image once, --jobs gives a line per track, and nothing temporary is left.
TEST_F(OrvelBatchTest, AnAlbumImageWithItsSheetBecomesItsTracksSampleExact)
{
    ASSERT_TRUE(QDir().mkpath(Path(u"album"_s)));
    // A sweep never repeats, so a misplaced cut cannot compare equal.
    ASSERT_EQ(Shell(u"sox -n -r 44100 -c 2 -b 16 tmp/image.wav synth 7.3 sine 300-900 && "
                    u"flac -s -f tmp/image.wav -o album/Album.flac && rm tmp/image.wav"_s)
                  .status,
              0);
    WriteFile(u"album/Album.cue"_s, "PERFORMER \"Band\"\r\nTITLE \"Album\"\r\n"
                                    "FILE \"Album.wav\" WAVE\r\n"
                                    "  TRACK 01 AUDIO\r\n    TITLE \"Intro\"\r\n"
                                    "    INDEX 01 00:00:00\r\n"
                                    "  TRACK 02 AUDIO\r\n    TITLE \"Caf\xE9 \xC0 Deux\"\r\n"
                                    "    INDEX 00 00:02:10\r\n    INDEX 01 00:03:00\r\n"
                                    "  TRACK 03 AUDIO\r\n    TITLE \"Ende\"\r\n"
                                    "    INDEX 01 00:05:37\r\n");
    const QString arguments =
        u"--coder FLAC --output out --name-pattern '<album>/<track> - <title>' album"_s;

    const Result dryRun = Batch(u"--dry-run "_s + arguments);
    EXPECT_EQ(dryRun.status, 0) << dryRun.err.toStdString();
    const QStringList lines = dryRun.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 4) << dryRun.out.toStdString();
    EXPECT_EQ(lines.filter(u"Album.flac"_s).size(), 1) << dryRun.out.toStdString();
    const Result jobs = Batch(u"--jobs "_s + arguments);
    EXPECT_EQ(jobs.out.count(u"--job "_s), 3);
    for (const QString& number : {u"1"_s, u"2"_s, u"3"_s})
        EXPECT_TRUE(jobs.out.contains(u"--track "_s + number + u' ')) << jobs.out.toStdString();

    const Result run = Batch(arguments);
    ASSERT_EQ(run.status, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"3 converted, 0 failed"_s)) << run.out.toStdString();
    const QStringList results =
        QDir(Path(u"out/Album"_s)).entryList({u"*.flac"_s}, QDir::Files, QDir::Name);
    ASSERT_EQ(results,
              (QStringList{u"01 - Intro.flac"_s, u"02 - Café À Deux.flac"_s, u"03 - Ende.flac"_s}));
    QStringList titles;
    for (const QString& name : results) {
        const QByteArray path = QFile::encodeName(Path(u"out/Album/"_s + name));
        TagLib::FileRef file(path.constData(), false);
        ASSERT_FALSE(file.isNull());
        const TagLib::PropertyMap tags = file.file()->properties();
        const auto field = [&tags](const char* key) {
            return tags.contains(key) ? QString::fromUtf8(tags[key].front().toCString(true))
                                      : QString();
        };
        titles << field("TITLE") + u'/' + field("TRACKNUMBER") + u'/' + field("ALBUM");
    }
    EXPECT_EQ(titles,
              (QStringList{u"Intro/1/Album"_s, u"Café À Deux/2/Album"_s, u"Ende/3/Album"_s}));

    // The gap (INDEX 00 of track 2) ends track 1: the three are the whole image, in order.
    const Result joined =
        Shell(u"cd out/Album && for f in 0*.flac; do flac -s -d --force-raw-format --endian=little "
              u"--sign=signed -c \"$f\"; done > ../../tmp/tracks.raw && cd ../.. && "
              u"flac -s -d --force-raw-format --endian=little --sign=signed -c album/Album.flac "
              u"> tmp/image.raw && cmp tmp/image.raw tmp/tracks.raw && "
              u"stat -c %s tmp/image.raw"_s);
    EXPECT_EQ(joined.status, 0) << joined.err.toStdString();
    EXPECT_EQ(joined.out.trimmed(), QString::number(qint64(44100) * 73 / 10 * 4));
    // Track 1 holds the gap: it ends where track 2's INDEX 01 begins, 3 s in.
    const Result first = Shell(u"soxi -s 'out/Album/01 - Intro.flac'"_s);
    EXPECT_EQ(first.out.trimmed(), QString::number(3 * 44100));

    // Decoded only, each track is cut to its result, in a folder of its own.
    const Result decoded = Batch(u"--coder 'Decode to WAV only' --output wavs album"_s);
    EXPECT_EQ(decoded.status, 0) << decoded.err.toStdString();
    const Result lengths = Shell(u"soxi -s wavs/*.wav"_s);
    EXPECT_EQ(lengths.out.split(u'\n', Qt::SkipEmptyParts),
              (QStringList{u"132300"_s, u"109956"_s, u"79674"_s}));
    EXPECT_TRUE(TemporaryWavs().isEmpty()) << TemporaryWavs().join(u' ').toStdString();

    // A library copy holds each track as a source of its own: all three land, then stay.
    const QString sync = u"--sync --coder FLAC --output copy album"_s;
    const Result synced = Batch(sync);
    EXPECT_TRUE(synced.out.contains(u"3 converted, 0 failed"_s)) << synced.out.toStdString();
    const Result again = Batch(sync);
    EXPECT_TRUE(again.out.contains(u"0 converted, 0 failed, 0 left out, 3 up to date"_s))
        << again.out.toStdString() << again.err.toStdString();
}

// Sources above the device's limits get a sox run and come out within them at their own length;
// one within them gets none. Every shipped lossless coder's results are proven; a coder that
// changes one sample fails, and its result goes.
TEST_F(OrvelBatchTest, DeviceLimitsBringSourcesWithinThemAndLosslessResultsAreProven)
{
    ASSERT_EQ(Shell(u"mkdir -p in && "
                    u"sox -n -r 96000 -b 24 -c 2 tmp/a.wav synth 2 sine 440 vol 0.5 && "
                    u"sox -n -r 192000 -b 24 -c 2 tmp/b.wav synth 1.5 sine 440 vol 0.5 && "
                    u"flac -s tmp/a.wav -o in/hi96.flac && flac -s tmp/b.wav -o in/hi192.flac && "
                    u"sox -n -r 48000 -b 16 -c 6 in/surround.wav synth 1 sine 300 vol 0.3 && "
                    u"sox -n -r 44100 -b 16 -c 2 tmp/c.wav synth 1 sine 500 vol 0.5 && "
                    u"flac -s tmp/c.wav -o in/cd.flac && rm tmp/?.wav"_s)
                  .status,
              0);
    const QString limits = u"--max-rate 48 --max-bits 16 --channels stereo "_s;

    const Result planned = Batch(u"--dry-run --coder FLAC --output out "_s + limits + u"in"_s);
    const QStringList soxLines = planned.out.split(u'\n').filter(u"/Tools/sox\""_s);
    ASSERT_EQ(soxLines.size(), 3) << planned.out.toStdString();
    EXPECT_TRUE(soxLines.filter(u"remix 1,3v0.7071,5v0.7071 2,3v0.7071,6v0.7071"_s).size() == 1);
    EXPECT_EQ(soxLines.filter(u"rate -v 48000 dither"_s).size(), 2);

    const Result run = Batch(u"--coder FLAC --output out "_s + limits + u"in"_s);
    ASSERT_EQ(run.status, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(run.out.count(u"converted, verified: "_s), 4) << run.out.toStdString();
    const Result formats = Shell(u"for f in cd hi192 hi96 surround; do "
                                 u"for o in r b c s; do soxi -$o out/$f.flac; done | tr '\\n' ' '; "
                                 u"echo; done"_s);
    EXPECT_EQ(formats.out.split(u'\n', Qt::SkipEmptyParts),
              (QStringList{u"44100 16 2 44100 "_s, u"48000 16 2 72000 "_s, u"48000 16 2 96000 "_s,
                           u"48000 16 2 48000 "_s}));
    Batch(u"--coder 'LAME MP3' --output mp3 "_s + limits + u"in/hi192.flac"_s);
    EXPECT_EQ(Output(u"mediainfo"_s,
                     {u"--Inform=Audio;%SamplingRate% %Channels%"_s, Path(u"mp3/hi192.mp3"_s)})
                  .trimmed(),
              u"48000 2"_s);

    // An album image is brought within them whole; its tracks are cut at the same instants.
    ASSERT_EQ(Shell(u"mkdir -p image && sox -n -r 96000 -b 24 -c 2 tmp/i.wav synth 7.3 sine 300 "
                    u"&& flac -s tmp/i.wav -o image/Album.flac && rm tmp/i.wav"_s)
                  .status,
              0);
    WriteFile(u"image/Album.cue"_s, "FILE \"Album.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n"
                                    "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
                                    "    INDEX 01 00:05:37\r\n");
    Batch(u"--coder FLAC --output tracks "_s + limits + u"image"_s);
    EXPECT_EQ(Shell(u"soxi -s tracks/*.flac"_s).out.split(u'\n', Qt::SkipEmptyParts),
              (QStringList{u"263680"_s, u"86720"_s}));

    for (const QString& coder : {u"WavPack"_s, u"WAV"_s}) {
        const Result proven = Batch(u"--coder "_s + coder + u" --output "_s + coder + u" in"_s);
        EXPECT_EQ(proven.out.count(u"converted, verified: "_s), 4) << proven.out.toStdString();
    }

    // Writes the WAV it reads with one sample changed: a sine at half scale never holds 0x7F7F.
    FaultyProgramFolder();
    ASSERT_TRUE(QDir().mkpath(Path(u"prog/Coders/Flip"_s)));
    WriteFile(u"prog/Coders/Flip/Info.txt"_s, "Flips a sample\nWAV\n2026-01-01\nlossless\n");
    WriteFile(u"prog/Coders/Flip/Extensions.ini"_s, "wav\n");
    WriteFile(u"prog/Coders/Flip/Presets.ini"_s, "One\n%in% %out%\n");
    WriteFile(u"prog/Coders/Flip/flip"_s, "#!/bin/sh\ncp \"$1\" \"$2\" && printf '\\177\\177' | "
                                          "dd of=\"$2\" bs=1 seek=4000 conv=notrunc 2>/dev/null\n");
    QFile::setPermissions(Path(u"prog/Coders/Flip/flip"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const Result flipped = Shell(u"\"$BATCH\" --program-folder prog --coder Flip --output flip "
                                 u"in/cd.flac"_s);
    EXPECT_EQ(flipped.status, 1) << flipped.out.toStdString();
    EXPECT_TRUE(flipped.err.contains(u"result's audio differs from its source"_s))
        << flipped.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(u"flip/cd.wav"_s)));
    EXPECT_TRUE(QDir(Path(u"flip"_s)).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // One that reads the FLAC source itself is held to the MD5 its STREAMINFO gives.
    ASSERT_TRUE(QDir().mkpath(Path(u"prog/Coders/Quieter"_s)));
    WriteFile(u"prog/Coders/Quieter/Info.txt"_s, "Quieter\nFLAC\n2026-01-01\nlossless\n");
    WriteFile(u"prog/Coders/Quieter/Extensions.ini"_s, "flac\n");
    WriteFile(u"prog/Coders/Quieter/Inputs.ini"_s, "flac\n");
    WriteFile(u"prog/Coders/Quieter/Presets.ini"_s, "One\n%in% %out%\n");
    WriteFile(u"prog/Coders/Quieter/quieter"_s, "#!/bin/sh\nexec sox \"$1\" \"$2\" vol 0.9\n");
    QFile::setPermissions(Path(u"prog/Coders/Quieter/quieter"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const Result quieter = Shell(u"\"$BATCH\" --program-folder prog --coder Quieter --output q "
                                 u"in/cd.flac"_s);
    EXPECT_TRUE(quieter.err.contains(u"result's audio differs from its source"_s))
        << quieter.out.toStdString() << quieter.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(u"q/cd.flac"_s)));
}

namespace {

// "name|duration in ms|title|track|cover" of each file, as MediaInfo reads them.
QStringList MediaInfoOf(const QString& folder, const QString& pattern)
{
    QStringList lines;
    for (const QString& name : QDir(folder).entryList({pattern}, QDir::Files, QDir::Name)) {
        const QString general =
            Output(u"mediainfo"_s, {u"--Inform=General;%Title%|%Track/Position%|%Cover%"_s,
                                    QDir(folder).filePath(name)})
                .trimmed();
        const QString audio =
            Output(u"mediainfo"_s, {u"--Inform=Audio;%Duration%"_s, QDir(folder).filePath(name)})
                .trimmed();
        lines << name + u'|' + audio + u'|' + general;
    }
    return lines;
}

// Lossy coders pad their frames: a length is right within a few of them, where a gap put in
// the wrong track would move it by a second.
bool LengthsNear(const QStringList& lines, const QList<int>& expectedMs)
{
    if (lines.size() != expectedMs.size())
        return false;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (std::abs(lines.at(i).section(u'|', 1, 1).toDouble() - expectedMs.at(i)) > 60)
            return false;
    return true;
}

} // namespace

// Images as rippers leave them: a WavPack image with a UTF-16 sheet whose first track starts
// 5 s in, gaps left out, to Opus; a FLAC image with a cover and a Shift-JIS sheet, gaps to
// their own tracks, to MP3; FLAC images carrying their sheet as a CUESHEET block or tag, and a
// sheet of two files. Each track has its length, its title from the sheet and the image's cover.
TEST_F(OrvelBatchTest, AlbumImagesAsRippersLeaveThemGiveTaggedTracksOfTheirLengths)
{
    for (const QString& folder : {u"wv"_s, u"jp"_s, u"block"_s, u"tag"_s, u"multi"_s})
        ASSERT_TRUE(QDir().mkpath(Path(folder)));
    ASSERT_EQ(Shell(u"sox -n -r 44100 -c 2 -b 16 tmp/image.wav synth 13 sine 300-900 && "
                    u"wavpack -q tmp/image.wav -o wv/Album.wv && "
                    u"ffmpeg -loglevel error -f lavfi -i color=red:s=8x8 -frames:v 1 tmp/c.png && "
                    u"flac -s -f --picture=tmp/c.png tmp/image.wav -o jp/Disc.flac"_s)
                  .status,
              0);
    const QString sheet = u"TITLE \"%1\"\nFILE \"Album.wav\" WAVE\n"
                          u"  TRACK 01 AUDIO\n    TITLE \"%2\"\n    INDEX 01 00:05:00\n"
                          u"  TRACK 02 AUDIO\n    TITLE \"%3\"\n"
                          u"    INDEX 00 00:07:00\n    INDEX 01 00:08:00\n"
                          u"  TRACK 03 AUDIO\n    TITLE \"%4\"\n    INDEX 01 00:10:00\n"_s;
    const QString russian =
        sheet.arg(u"Кино Группа крови"_s, u"Группа крови"_s, u"Война"_s, u"Спокойная ночь"_s);
    QByteArray utf16 = "\xFF\xFE";
    utf16 += QByteArray(reinterpret_cast<const char*>(russian.utf16()), russian.size() * 2);
    WriteFile(u"wv/Album.cue"_s, utf16);
    WriteFile(
        u"tmp/jp.cue"_s,
        sheet.arg(u"日本の歌のアルバム"_s, u"さくらさくら"_s, u"ふるさとの歌"_s, u"夜明けの街で"_s)
            .replace(u"Album.wav"_s, u"Disc.flac"_s)
            .toUtf8());
    ASSERT_EQ(Shell(u"iconv -f UTF-8 -t SHIFT_JIS tmp/jp.cue > jp/Disc.cue"_s).status, 0);

    const Result opus = Batch(u"--coder Opus --cue-gaps none --output out wv"_s);
    ASSERT_EQ(opus.status, 0) << opus.out.toStdString() << opus.err.toStdString();
    const QStringList opusTracks = MediaInfoOf(Path(u"out"_s), u"*.opus"_s);
    EXPECT_TRUE(LengthsNear(opusTracks, {5000, 2000, 2000, 3000}))
        << opusTracks.join(u'\n').toStdString();
    QStringList titles;
    for (const QString& line : opusTracks)
        titles << line.section(u'|', 2, 3);
    EXPECT_EQ(titles,
              (QStringList{u"|0"_s, u"Группа крови|1"_s, u"Война|2"_s, u"Спокойная ночь|3"_s}));

    const Result mp3 = Batch(u"--coder 'LAME MP3' --cue-gaps own --output out jp"_s);
    ASSERT_EQ(mp3.status, 0) << mp3.out.toStdString() << mp3.err.toStdString();
    const QStringList mp3Tracks = MediaInfoOf(Path(u"out"_s), u"*.mp3"_s);
    EXPECT_TRUE(LengthsNear(mp3Tracks, {5000, 2000, 3000, 3000}))
        << mp3Tracks.join(u'\n').toStdString();
    titles.clear();
    for (const QString& line : mp3Tracks)
        titles << line.section(u'|', 2, 4);
    EXPECT_EQ(titles, (QStringList{u"|0|Yes"_s, u"さくらさくら|1|Yes"_s, u"ふるさとの歌|2|Yes"_s,
                                   u"夜明けの街で|3|Yes"_s}));

    // Carried inside: flac's own block (samples, no titles) and a Vorbis CUESHEET tag.
    const QString inside = u"FILE \"x.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                           u"  TRACK 02 AUDIO\n    TITLE \"Zwei\"\n    INDEX 00 00:03:00\n"
                           u"    INDEX 01 00:04:00\n"_s;
    WriteFile(u"tmp/inside.cue"_s, inside.toUtf8());
    ASSERT_EQ(Shell(u"sox -n -r 44100 -c 2 -b 16 tmp/x.wav synth 9 sine 300-900 && "
                    u"flac -s -f --cuesheet=tmp/inside.cue tmp/x.wav -o block/Block.flac && "
                    u"flac -s -f tmp/x.wav -o tag/Tag.flac && "
                    u"metaflac --set-tag-from-file=CUESHEET=tmp/inside.cue tag/Tag.flac"_s)
                  .status,
              0);
    // One file a track as the sheet says, track 2's gap kept at the end of the first file
    // and track 3 in the second file: the first file is track 1, the second is cut in two.
    WriteFile(u"multi/Rip.cue"_s, "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Eins\"\n"
                                  "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Zwei\"\n"
                                  "    INDEX 00 00:06:00\nFILE \"02.wav\" WAVE\n"
                                  "    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    TITLE \"Drei\"\n"
                                  "    INDEX 00 00:03:00\n    INDEX 01 00:04:00\n");
    ASSERT_EQ(Shell(u"sox tmp/x.wav multi/01.flac trim 0 8 && sox tmp/x.wav multi/02.flac trim 2"_s)
                  .status,
              0);
    const Result flac = Batch(u"--coder FLAC --cue-gaps own --output inside block tag multi"_s);
    ASSERT_EQ(flac.status, 0) << flac.out.toStdString() << flac.err.toStdString();
    EXPECT_TRUE(flac.out.contains(u"7 converted, 0 failed"_s)) << flac.out.toStdString();
    const Result lengths = Shell(u"cd inside && soxi -s */*.flac && "
                                 u"metaflac --show-tag=TITLE --show-tag=CUESHEET */*.flac"_s);
    EXPECT_EQ(lengths.out.split(u'\n', Qt::SkipEmptyParts),
              (QStringList{u"132300"_s, u"264600"_s, u"352800"_s, u"132300"_s, u"176400"_s,
                           u"132300"_s, u"264600"_s, u"multi/01.flac:TITLE=Eins"_s,
                           u"multi/02 - 02 - Zwei.flac:TITLE=Zwei"_s,
                           u"multi/02 - 03 - Drei.flac:TITLE=Drei"_s,
                           u"tag/Tag - 02 - Zwei.flac:TITLE=Zwei"_s}))
        << lengths.out.toStdString();
    // Cut from each file's own decode, the tracks are the two files, sample for sample.
    const Result joined = Shell(
        u"cd inside/multi && for f in *.flac; do sox \"$f\" -t raw -; done > ../../tmp/t.raw && "
        u"cd ../.. && sox multi/01.flac multi/02.flac -t raw tmp/f.raw && cmp tmp/f.raw tmp/t.raw"_s);
    EXPECT_EQ(joined.status, 0) << joined.out.toStdString() << joined.err.toStdString();
    EXPECT_TRUE(TemporaryWavs().isEmpty()) << TemporaryWavs().join(u' ').toStdString();
}

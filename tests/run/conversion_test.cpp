#include "planning/file_info.h"
#include "planning/job_planning.h"
#include "planning/planned_jobs.h"
#include "run/core.h"
#include "support/audio_fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Whole conversions with Debian's encoders, planned and run the way the main window does it.
class ConversionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        previousTmp = qgetenv("TMPDIR");
        tmp = root.filePath(u"tmp"_s);
        ASSERT_TRUE(QDir().mkpath(tmp));
        qputenv("TMPDIR", tmp.toUtf8()); // the intermediate WAVs go where the test can see
        log = root.filePath(u"programs.log"_s);
        sources = root.filePath(u"sources"_s);
        ASSERT_TRUE(QDir().mkpath(sources));

        flacDecoder = InstallDecoder(u"flac"_s, u"flac"_s, u"-d -s -f -o %out% %in%"_s);
        lame = InstallCoder(u"lame"_s, u"mp3"_s, u"-V 2 --quiet %in% %out%"_s);
        oggenc = InstallCoder(u"oggenc"_s, u"ogg"_s, u"-Q -q 4 -o %out% %in%"_s);
        flacCoder = InstallCoder(u"flac"_s, u"flac"_s, u"-s -f -5 -o %out% %in%"_s);
    }

    void TearDown() override
    {
        if (previousTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", previousTmp);
    }

    // A wrapper around the real program that notes when it starts and ends, with its
    // arguments, and passes its exit code on.
    QString InstallProgram(const QString& folder, const QString& name, const QString& real)
    {
        QDir().mkpath(folder);
        const QString path = folder + u'/' + name;
        const QByteArray body =
            "echo \"start $(date +%s%N) $*\" >> '" + log.toUtf8() + "'\n\"" + real.toUtf8() +
            "\" \"$@\"\nrc=$?\necho \"end $(date +%s%N) $*\" >> '" + log.toUtf8() + "'\nexit $rc\n";
        EXPECT_TRUE(fixtures::WriteScript(path, body));
        return path;
    }

    static void WriteLines(const QString& path, const QStringList& lines)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());
    }

    std::unique_ptr<CDecoder> InstallDecoder(const QString& name, const QString& extension,
                                             const QString& commandLine)
    {
        const QString folder = root.filePath(u"Decoders/"_s + name);
        const QString exe = InstallProgram(folder, name, QStandardPaths::findExecutable(name));
        WriteLines(folder + u"/Extensions.ini"_s, {extension});
        WriteLines(folder + u"/Format.ini"_s, {commandLine});
        auto decoder = std::make_unique<CDecoder>();
        decoder->Load(exe);
        decoder->SetShowWindow(false);
        return decoder;
    }

    std::unique_ptr<CCoder> InstallCoder(const QString& name, const QString& extension,
                                         const QString& commandLine, QString real = QString())
    {
        const QString folder = root.filePath(u"Coders/"_s + name);
        if (real.isEmpty())
            real = QStandardPaths::findExecutable(name);
        const QString exe = InstallProgram(folder, name, real);
        WriteLines(folder + u"/Extensions.ini"_s, {extension});
        WriteLines(folder + u"/Presets.ini"_s, {u"default"_s, commandLine});
        auto coder = std::make_unique<CCoder>();
        coder->Load(exe);
        coder->SetShowWindow(false);
        return coder;
    }

    std::unique_ptr<CFileInfo> LoadSource(const QString& path)
    {
        auto file = std::make_unique<CFileInfo>();
        EXPECT_TRUE(file->Load(path)) << path.toStdString();
        return file;
    }

    // Plans like the main window's apply command, with a separate output folder per coder.
    void Plan(CFileInfo& file, CCoder& coder, const QString& outputFolder)
    {
        PlannedDecoders decoders;
        decoders.push_back(std::make_unique<CDecoder>(*flacDecoder));
        const bool decoded = PrepareDecoder(file, decoders, outputFolder, false);
        ASSERT_TRUE(decoded || file.fileType == kSourceWav) << file.path.toStdString();
        ASSERT_TRUE(AssignCoder(&coder, file));
        ASSERT_TRUE(PrepareCoder(file, coder.GetEntries().first().commandLine, outputFolder));
        ASSERT_EQ(file.coder->decoder, file.decoder.get());
    }

    static void RunAll(CCore& core, const std::vector<std::unique_ptr<CFileInfo>>& files)
    {
        for (const auto& file : files) {
            if (file->decoder)
                core.AddProcess(file->decoder.get());
            if (file->coder)
                core.AddProcess(file->coder.get());
        }
        core.SetThreadsCount(2);
        ASSERT_TRUE(core.Start());
        QElapsedTimer timer;
        timer.start();
        while (core.IsRunning() && timer.elapsed() < 120000)
            QThread::msleep(10);
        ASSERT_FALSE(core.IsRunning());
        ASSERT_TRUE(core.WaitForWorkers(10000));
    }

    // Start and end times of the program runs whose arguments mention `path`.
    struct Span
    {
        qint64 start = -1;
        qint64 end = -1;
    };
    QList<Span> RunsMentioning(const QString& path) const
    {
        QFile file(log);
        file.open(QIODevice::ReadOnly);
        QList<Span> spans;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (!line.contains(path))
                continue;
            const QStringList parts = line.split(u' ');
            if (parts[0] == u"start"_s)
                spans.append({parts[1].toLongLong(), -1});
            else if (!spans.isEmpty())
                spans.last().end = parts[1].toLongLong();
        }
        return spans;
    }

    QStringList LeftoverTempFiles() const { return QDir(tmp).entryList({u"orv*"_s}, QDir::Files); }

    QTemporaryDir root;
    QByteArray previousTmp;
    QString tmp;
    QString log;
    QString sources;
    std::unique_ptr<CDecoder> flacDecoder;
    std::unique_ptr<CCoder> lame;
    std::unique_ptr<CCoder> oggenc;
    std::unique_ptr<CCoder> flacCoder;
};

TEST_F(ConversionTest, EverySourceBecomesEveryFormatWithTwoSlots)
{
    const QString plainWav = root.filePath(u"plain.wav"_s);
    const QString hiResWav = root.filePath(u"hires.wav"_s);
    const QStringList sourceFiles = {
        sources + u"/plain.flac"_s,
        sources + u"/Ünï 'q\"uoted\" sóng.flac"_s,
        sources + u"/tone 22k.wav"_s,
    };
    ASSERT_TRUE(fixtures::MakeWav(plainWav, 44100, 2, 16, 2));
    ASSERT_TRUE(fixtures::MakeWav(hiResWav, 48000, 2, 24, 2));
    ASSERT_TRUE(fixtures::MakeFlac(plainWav, sourceFiles[0]));
    ASSERT_TRUE(fixtures::MakeFlac(hiResWav, sourceFiles[1]));
    ASSERT_TRUE(fixtures::MakeWav(sourceFiles[2], 22050, 1, 16, 2));

    struct Target
    {
        CCoder* coder;
        QString folder;
        QString format;
    };
    const QList<Target> targets = {
        {lame.get(), root.filePath(u"out/mp3/"_s), u"MPEG Audio"_s},
        {oggenc.get(), root.filePath(u"out/ogg/"_s), u"Vorbis"_s},
        {flacCoder.get(), root.filePath(u"out/flac/"_s), u"FLAC"_s},
    };
    std::vector<std::unique_ptr<CFileInfo>> files;
    QList<QString> formats;
    // FLAC's results are decoded again and proven, each proof counted as a program of its own.
    flacCoder->lossless = true;
    PlannedDecoders verifiers;
    verifiers.push_back(std::make_unique<CDecoder>(*flacDecoder));
    for (const Target& target : targets) {
        QDir().mkpath(target.folder);
        for (const QString& source : sourceFiles) {
            files.push_back(LoadSource(source));
            Plan(*files.back(), *target.coder, target.folder);
            AddVerification(*files.back()->coder, verifiers);
            formats.append(target.format);
        }
    }
    ASSERT_TRUE(FindLeftOutJobs({}).isEmpty());

    CCore core;
    RunAll(core, files);
    EXPECT_TRUE(core.GetFailedRuns().isEmpty());
    EXPECT_EQ(core.GetStartedCount(), 18);
    int verified = 0;
    for (const RunResult& run : core.GetRunResults())
        verified += run.verified ? 1 : 0;
    EXPECT_EQ(verified, 3);

    for (size_t i = 0; i < files.size(); ++i) {
        const CFileInfo& file = *files[i];
        SCOPED_TRACE(file.outputPath.toStdString());
        CFileInfo result;
        ASSERT_TRUE(result.Load(file.outputPath));
        EXPECT_EQ(result.format, formats[int(i)]);
        EXPECT_EQ(result.sampleRate, file.sampleRate);
        EXPECT_GT(file.sampleRate, 0);

        if (!file.decoder)
            continue;
        // The coder started only after the decoder that writes its input had ended.
        const QList<Span> runs = RunsMentioning(file.decoder->GetTempFile());
        ASSERT_EQ(runs.size(), 2);
        EXPECT_GT(runs[0].end, 0);
        EXPECT_GE(runs[1].start, runs[0].end);
    }
    EXPECT_TRUE(LeftoverTempFiles().isEmpty()) << LeftoverTempFiles().join(u' ').toStdString();
    for (const QString& source : sourceFiles)
        EXPECT_TRUE(QFile::exists(source));
}

TEST_F(ConversionTest, FailingAndMissingEncodersFailOnlyTheirOwnFiles)
{
    const QString wav = root.filePath(u"base.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 1));
    QStringList sourceFiles;
    for (const QString& name : {u"a.flac"_s, u"b.flac"_s, u"c.flac"_s, u"d.flac"_s}) {
        sourceFiles.append(sources + u'/' + name);
        ASSERT_TRUE(fixtures::MakeFlac(wav, sourceFiles.last()));
    }
    const QString fails = root.filePath(u"fails.sh"_s);
    ASSERT_TRUE(fixtures::WriteScript(fails, "echo partial > \"$2\"\nexit 1\n"));
    auto failing = InstallCoder(u"failing"_s, u"mp3"_s, u"%in% %out%"_s, fails);
    auto missing = InstallCoder(u"missing"_s, u"mp3"_s, u"%in% %out%"_s);
    ASSERT_TRUE(QFile::remove(missing->GetExecutable()));

    const QString out = root.filePath(u"out/"_s);
    QDir().mkpath(out);
    std::vector<std::unique_ptr<CFileInfo>> files;
    CCoder* coders[] = {failing.get(), lame.get(), missing.get(), oggenc.get()};
    for (int i = 0; i < 4; ++i) {
        files.push_back(LoadSource(sourceFiles[i]));
        Plan(*files.back(), *coders[i], out);
    }

    CCore core;
    RunAll(core, files);
    EXPECT_EQ(core.GetStartedCount(), 8);
    QStringList failedOutputs;
    for (const RunResult& result : core.GetFailedRuns())
        failedOutputs.append(result.outputFile);
    failedOutputs.sort();
    EXPECT_EQ(failedOutputs, (QStringList{files[0]->outputPath, files[2]->outputPath}));
    EXPECT_TRUE(QFile::exists(files[1]->outputPath));
    EXPECT_TRUE(QFile::exists(files[3]->outputPath));
    EXPECT_FALSE(QFile::exists(files[2]->outputPath));
    EXPECT_TRUE(LeftoverTempFiles().isEmpty()) << LeftoverTempFiles().join(u' ').toStdString();
}

// The audio of a result, decoded to raw 32-bit samples; empty when it cannot be decoded.
QByteArray DecodedAudio(const QString& path)
{
    const QString raw = path + u".raw"_s;
    if (!fixtures::Run(u"ffmpeg"_s, {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-y"_s, u"-i"_s, path,
                                     u"-f"_s, u"s32le"_s, raw}))
        return {};
    QFile file(raw);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(ConversionTest, DirectInputGivesTheAudioOfTheWavStep)
{
    const QString wav = root.filePath(u"base.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 48000, 2, 24, 1.5));
    const QString source = sources + u"/Ünï 'q\"uoted\" -sóng.flac"_s;
    ASSERT_TRUE(fixtures::MakeFlac(wav, source));
    auto opusenc = InstallCoder(u"opusenc"_s, u"opus"_s, u"--quiet --bitrate 96 %in% %out%"_s);
    PlannedDecoders decoders;
    decoders.push_back(std::make_unique<CDecoder>(*flacDecoder));

    std::vector<std::unique_ptr<CFileInfo>> files;
    for (CCoder* coder : {oggenc.get(), flacCoder.get(), opusenc.get()}) {
        // Read as the coder folder states it, in any case and spacing.
        WriteLines(QFileInfo(coder->GetExecutable()).path() + u"/Inputs.ini"_s,
                   {u" AIFF"_s, u""_s, u"Flac "_s});
        ASSERT_TRUE(coder->Load(coder->GetExecutable()));
        ASSERT_EQ(coder->inputs, (QStringList{u"aiff"_s, u"flac"_s}));
        for (const bool direct : {true, false}) {
            const QString out = root.filePath(u"out/%1-%2/"_s.arg(coder->GetName()).arg(direct));
            QDir().mkpath(out);
            files.push_back(LoadSource(source));
            CFileInfo& file = *files.back();
            ASSERT_TRUE(PlanFile(file, decoders, coder, 0, out, false, direct));
            EXPECT_EQ(file.decoder == nullptr, direct);
            EXPECT_EQ(file.coder->GetInputFile() == source, direct);
            EXPECT_TRUE(file.coder->GetTempFile().isEmpty() == direct);
        }
    }
    CCore core;
    RunAll(core, files);
    EXPECT_TRUE(core.GetFailedRuns().isEmpty());
    EXPECT_EQ(core.GetStartedCount(), 9);
    for (size_t i = 0; i < files.size(); i += 2) {
        SCOPED_TRACE(files[i]->outputPath.toStdString());
        const QByteArray direct = DecodedAudio(files[i]->outputPath);
        EXPECT_FALSE(direct.isEmpty());
        EXPECT_TRUE(direct == DecodedAudio(files[i + 1]->outputPath));
    }
    EXPECT_TRUE(LeftoverTempFiles().isEmpty()) << LeftoverTempFiles().join(u' ').toStdString();
    EXPECT_TRUE(QFile::exists(source));
}

} // namespace

namespace {

// The ReplayGain tags of a result, as a player's reader (ffprobe) sees them.
QString GainTags(const QString& path)
{
    QProcess probe;
    probe.start(QStandardPaths::findExecutable(u"ffprobe"_s),
                {u"-v"_s, u"error"_s, u"-show_entries"_s, u"format_tags"_s, u"-of"_s,
                 u"default=nw=1"_s, path});
    probe.waitForFinished(30000);
    QStringList gains;
    for (const QString& line : QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n')) {
        if (line.contains(u"replaygain_"_s, Qt::CaseInsensitive))
            gains << line.section(u'=', 0, 0).toLower();
    }
    gains.sort();
    return gains.join(u' ');
}

// A damaged, untagged file beside an album's file fails alone: the album's file still gets its
// album values, as it does alone in its folder.
TEST_F(ConversionTest, ADamagedFileTakesNoAlbumValuesFromAnotherAlbum)
{
    const QString wav = root.filePath(u"base.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 1));
    const QString out = root.filePath(u"out"_s);
    std::vector<std::unique_ptr<CFileInfo>> files;
    for (const QString& folder : {u"shared"_s, u"alone"_s}) {
        const QString good = sources + u'/' + folder + u"/good.flac"_s;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(good).path()));
        ASSERT_TRUE(fixtures::Run(
            u"flac"_s, {u"-s"_s, u"-f"_s, u"--tag=ALBUM=Second Album"_s, u"-o"_s, good, wav}));
        ASSERT_TRUE(QDir().mkpath(out + u'/' + folder));
        files.push_back(LoadSource(good));
        Plan(*files.back(), *lame, out + u'/' + folder);
    }
    const QString damaged = sources + u"/shared/damaged.flac"_s;
    QFile bytes(damaged);
    ASSERT_TRUE(bytes.open(QIODevice::WriteOnly));
    bytes.write(QByteArray(20000, '\x5a'));
    bytes.close();
    auto file = std::make_unique<CFileInfo>();
    file->path = damaged;
    file->fileType = SourceTypeOf(u"flac"_s);
    files.push_back(std::move(file));
    Plan(*files.back(), *lame, out + u"/shared"_s);

    CCore core;
    core.SetResultOptions({true, true, ReplayGainMode::TrackAndAlbum, true});
    RunAll(core, files);
    ASSERT_EQ(core.GetFailedRuns().size(), 2); // the damaged file's decoder and its coder
    const std::string allFour = "tag:replaygain_album_gain tag:replaygain_album_peak "
                                "tag:replaygain_track_gain tag:replaygain_track_peak";
    EXPECT_EQ(GainTags(files[1]->outputPath).toStdString(), allFour);
    EXPECT_EQ(GainTags(files[0]->outputPath).toStdString(), allFour);
}

} // namespace

#include "codec_tree.h"
#include "codecs/codec_discovery.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"
#include "run/core.h"
#include "support/environment_scope.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

using namespace Qt::StringLiterals;

#ifdef ORVEL_BINARY_DIR

namespace {

// Runs a program to its end; its output when it exited with 0, else a failed expectation.
QString RunToEnd(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(120000);
    EXPECT_TRUE(ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        << program.toStdString() << ' ' << arguments.join(u' ').toStdString() << '\n'
        << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What MediaInfo says of a file's first audio stream.
struct Audio
{
    QString format;
    int rate = 0;
    int channels = 0;
    int milliseconds = 0;
    int bits = 0;
};

Audio ReadAudio(const QString& path)
{
    const QStringList fields =
        RunToEnd(
            u"mediainfo"_s,
            {u"--Inform=Audio;%Format%|%SamplingRate%|%Channel(s)%|%Duration%|%BitDepth%"_s, path})
            .split(u'|');
    if (fields.size() != 5) {
        return {};
    }
    Audio audio{fields[0], fields[1].toInt(), fields[2].toInt(),
                static_cast<int>(fields[3].toDouble()), fields[4].toInt()};
    if (audio.format == u"WavPack"_s) {
        // MediaInfo 23.04 takes the length of a WavPack 5 file's first block for the file's.
        audio.milliseconds = static_cast<int>(
            1000 * RunToEnd(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_entries"_s,
                                           u"format=duration"_s, u"-of"_s, u"csv=p=0"_s, path})
                       .toDouble());
    }
    return audio;
}

// orvel installed with `cmake --install` into a temporary prefix, and a fresh per-user program
// folder prepared by the installed launcher, with the data home inside the prefix as it is for
// a user who installs under ~/.local.
class InstalledProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RunToEnd(QString::fromUtf8(ORVEL_CMAKE_COMMAND),
                 {u"--install"_s, QString::fromUtf8(ORVEL_BINARY_DIR), u"--prefix"_s, Prefix()});
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, Prefix() + u"/share"_s);
        folder = RunToEnd(Launcher(), {u"--prepare"_s}, environment);
        ASSERT_EQ(folder, Prefix() + u"/share/orvel"_s);
        ASSERT_TRUE(QFileInfo(folder + u"/Base.xml"_s).isSymLink());

        tmp = work.filePath(u"tmp"_s);
        ASSERT_TRUE(QDir().mkpath(tmp));
        // The intermediate WAVs go where the test sees them.
        tmpVariable = std::make_unique<CEnvironmentScope>("TMPDIR", tmp.toUtf8());
    }

    QString Prefix() const { return work.filePath(u"prefix"_s); }
    QString Launcher() const { return Prefix() + u"/bin/orvel"_s; }

    // The start-up of the main window: the database, then both scans of the program folder.
    void Discover()
    {
        ASSERT_TRUE(LoadDatabase(database, folder + u"/Base.xml"_s));
        DiscoverCodecs(folder, database, coders, decoders, true, u"Decode to WAV only"_s);
    }

    QStringList CoderNames() const
    {
        QStringList names;
        for (const auto& coder : coders) {
            names.append(coder->GetName());
        }
        return names;
    }

    QStringList DecoderNames() const
    {
        QStringList names;
        for (const auto& decoder : decoders) {
            names.append(decoder->GetName());
        }
        return names;
    }

    // Plans a source for a coder's preset the way the apply command does, into outputFolder.
    std::unique_ptr<CFileInfo> Plan(const QString& source, CCoder& coder, int preset,
                                    const QString& outputFolder)
    {
        auto file = std::make_unique<CFileInfo>();
        EXPECT_TRUE(file->Load(source)) << source.toStdString();
        PlannedDecoders planned;
        for (const auto& decoder : decoders) {
            planned.push_back(std::make_unique<CDecoder>(*decoder));
        }
        PrepareDecoder(*file, planned, outputFolder, false);
        EXPECT_TRUE(file->decoder || file->fileType == kSourceWav) << source.toStdString();
        EXPECT_TRUE(AssignCoder(&coder, *file));
        EXPECT_TRUE(PrepareCoder(*file, coder.GetEntries()[preset].commandLine, outputFolder));
        for (CCodec* job :
             {static_cast<CCodec*>(file->decoder.get()), static_cast<CCodec*>(file->coder.get())}) {
            if (job != nullptr) {
                job->SetShowWindow(false);
            }
        }
        return file;
    }

    static void RunAll(CCore& core, const std::vector<std::unique_ptr<CFileInfo>>& files)
    {
        for (const auto& file : files) {
            if (file->decoder) {
                core.AddProcess(file->decoder.get());
            }
            core.AddProcess(file->coder.get());
        }
        core.SetThreadsCount(2);
        ASSERT_TRUE(core.Start());
        QElapsedTimer timer;
        timer.start();
        while (core.IsRunning() && timer.elapsed() < 240000) {
            QThread::msleep(10);
        }
        ASSERT_FALSE(core.IsRunning());
        ASSERT_TRUE(core.WaitForWorkers(10000));
    }

    QString Work(const QString& name) const { return work.filePath(name); }

    QTemporaryDir work;
    QProcessEnvironment environment;
    QString folder;
    QString tmp;
    std::unique_ptr<CEnvironmentScope> tmpVariable;
    ExecutableDatabase database;
    CoderList coders;
    DecoderList decoders;
};

// Each source format, each coder's middle preset, checked with MediaInfo; then a second start
// keeps the user's settings and list.
TEST_F(InstalledProgramTest, AFreshUserFolderConvertsEverySourceWithEveryCoder)
{
    Discover();
    EXPECT_EQ(CoderNames(),
              QStringList({u"FLAC"_s, u"LAME MP3"_s, u"AAC (ffmpeg)"_s, u"Ogg Vorbis"_s, u"Opus"_s,
                           u"WAV"_s, u"WavPack"_s, u"Decode to WAV only"_s}));
    EXPECT_EQ(DecoderNames(), QStringList({u"FFmpeg"_s, u"FLAC"_s, u"MP3"_s, u"Ogg Vorbis"_s,
                                           u"Opus"_s, u"WavPack"_s}));
    ASSERT_EQ(coders.size(), 8u);

    // A second and a half of tone per source (MediaInfo does not recognise a WavPack file much
    // shorter), in every shape the decoders must keep.
    struct Source
    {
        QString name;
        int rate;
        int channels;
        int bits; // of the WAV the source is made from; lossy sources decode to 16 bits
        bool lossless;
        QStringList encode; // program, then its arguments; "in" and "out" stand for the files
    };
    const QList<Source> sources = {
        {u"flac16.flac"_s, 44100, 2, 16, true, {u"flac"_s, u"-s"_s, u"-o"_s, u"out"_s, u"in"_s}},
        {u"flac24.flac"_s, 48000, 2, 24, true, {u"flac"_s, u"-s"_s, u"-o"_s, u"out"_s, u"in"_s}},
        {u"mp3.mp3"_s, 44100, 2, 16, false, {u"lame"_s, u"--quiet"_s, u"in"_s, u"out"_s}},
        {u"ogg.ogg"_s, 48000, 1, 16, false, {u"oggenc"_s, u"-Q"_s, u"-o"_s, u"out"_s, u"in"_s}},
        {u"opus.opus"_s, 48000, 2, 16, false, {u"opusenc"_s, u"--quiet"_s, u"in"_s, u"out"_s}},
        {u"wv.wv"_s, 48000, 1, 24, true, {u"wavpack"_s, u"-q"_s, u"in"_s, u"-o"_s, u"out"_s}},
        {u"wav.wav"_s, 22050, 1, 16, true, {u"cp"_s, u"in"_s, u"out"_s}},
        {u"aiff.aiff"_s, 48000, 2, 24, true, {u"sox"_s, u"in"_s, u"out"_s}},
        {u"m4a.m4a"_s,
         44100,
         2,
         16,
         false,
         {u"ffmpeg"_s, u"-v"_s, u"error"_s, u"-i"_s, u"in"_s, u"-c:a"_s, u"aac"_s, u"out"_s}},
    };
    QDir().mkpath(Work(u"sources"_s));
    for (const Source& source : sources) {
        const QString wav = Work(source.name + u".wav"_s);
        RunToEnd(u"sox"_s, {u"-n"_s, u"-r"_s, QString::number(source.rate), u"-c"_s,
                            QString::number(source.channels), u"-b"_s, QString::number(source.bits),
                            wav, u"synth"_s, u"1.5"_s, u"sine"_s, u"440"_s});
        QStringList arguments = source.encode.mid(1);
        arguments.replaceInStrings(QRegularExpression(u"^in$"_s), wav);
        arguments.replaceInStrings(QRegularExpression(u"^out$"_s),
                                   Work(u"sources/"_s + source.name));
        RunToEnd(QStandardPaths::findExecutable(source.encode[0]), arguments);
    }

    struct Target
    {
        QString format;
        bool lossless;
    };
    const QList<Target> targets = {
        {u"FLAC"_s, true},  {u"MPEG Audio"_s, false}, {u"AAC"_s, false},   {u"Vorbis"_s, false},
        {u"Opus"_s, false}, {u"PCM"_s, true},         {u"WavPack"_s, true}};
    std::vector<std::unique_ptr<CFileInfo>> files;
    for (int c = 0; c < targets.size(); ++c) {
        const QString output = Work(u"out/%1/"_s.arg(c));
        QDir().mkpath(output);
        CCoder& coder = *coders[static_cast<size_t>(c)];
        for (const Source& source : sources) {
            files.push_back(Plan(Work(u"sources/"_s + source.name), coder,
                                 static_cast<int>(coder.GetEntries().size() / 2), output));
        }
    }
    CCore core;
    RunAll(core, files);
    for (const RunResult& failed : core.GetFailedRuns()) {
        ADD_FAILURE() << failed.executable.toStdString() << ' ' << failed.inputFile.toStdString()
                      << " exit " << failed.code;
    }

    for (size_t i = 0; i < files.size(); ++i) {
        const Source& source = sources[static_cast<int>(i) % sources.size()];
        const Target& target = targets[static_cast<int>(i) / sources.size()];
        SCOPED_TRACE(files[i]->outputPath.toStdString());
        const Audio audio = ReadAudio(files[i]->outputPath);
        EXPECT_EQ(audio.format, target.format);
        EXPECT_EQ(audio.rate, source.rate);
        EXPECT_EQ(audio.channels, source.channels);
        EXPECT_NEAR(audio.milliseconds, 1500, 100);
        if (target.lossless) {
            EXPECT_EQ(audio.bits, source.lossless ? source.bits : 16);
        }
    }
    EXPECT_TRUE(QDir(tmp).entryList({u"orv*"_s}, QDir::Files).isEmpty());

    // A second start links what is shipped again and leaves the user's own files alone.
    WriteText(folder + u"/Settings.ini"_s, u"[Settings.Core]\r\nThreadsCount=3\r\n"_s);
    WriteText(folder + u"/FileList.m3u"_s, u"/music/a.flac\r\n"_s);
    ASSERT_TRUE(QFile::remove(folder + u"/Coders/FLAC/Presets.ini"_s));
    EXPECT_EQ(RunToEnd(Launcher(), {u"--prepare"_s}, environment), folder);
    EXPECT_TRUE(QFileInfo(folder + u"/Coders/FLAC/Presets.ini"_s).isSymLink());
    EXPECT_EQ(ReadAll(folder + u"/Settings.ini"_s), "[Settings.Core]\r\nThreadsCount=3\r\n");
    EXPECT_EQ(ReadAll(folder + u"/FileList.m3u"_s), "/music/a.flac\r\n");

    // The installed desktop entry, with the launcher's full path, is valid too.
    RunToEnd(u"desktop-file-validate"_s, {Prefix() + u"/share/applications/orvel.desktop"_s});
}

// One program not installed: every other coder and decoder stays, and using it fails with a
// message that names the package to install.
TEST_F(InstalledProgramTest, AMissingProgramHidesNothingAndSaysWhatToInstall)
{
    // The programs of the system but lame; flac's decoder folder is left with a dangling link.
    const QString bin = Work(u"bin"_s);
    QDir().mkpath(bin);
    for (const QString& program :
         {u"flac"_s, u"oggenc"_s, u"oggdec"_s, u"opusenc"_s, u"opusdec"_s, u"wavpack"_s,
          u"wvunpack"_s, u"ffmpeg"_s, u"ffprobe"_s, u"cp"_s}) {
        ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable(program), bin + u'/' + program));
    }
    ASSERT_TRUE(QFile::link(Work(u"removed/lame"_s), bin + u"/lame"_s));
    ASSERT_TRUE(QFile::remove(folder + u"/Decoders/FLAC/flac"_s));
    ASSERT_TRUE(QFile::link(Work(u"removed/flac"_s), folder + u"/Decoders/FLAC/flac"_s));
    const CEnvironmentScope path("PATH", bin.toUtf8());

    Discover();
    EXPECT_EQ(CoderNames().size(), 8);
    EXPECT_TRUE(CoderNames().contains(u"LAME MP3"_s));
    EXPECT_EQ(DecoderNames(),
              QStringList({u"FFmpeg"_s, u"MP3"_s, u"Ogg Vorbis"_s, u"Opus"_s, u"WavPack"_s}));

    const QString wav = Work(u"tone.wav"_s);
    RunToEnd(u"/usr/bin/sox"_s, {u"-n"_s, u"-r"_s, u"44100"_s, u"-b"_s, u"16"_s, wav, u"synth"_s,
                                 u"1"_s, u"sine"_s, u"440"_s});
    QDir().mkpath(Work(u"out"_s));
    std::vector<std::unique_ptr<CFileInfo>> files;
    files.push_back(Plan(wav, *coders[1], 0, Work(u"out/"_s))); // LAME MP3
    files.push_back(Plan(wav, *coders[3], 0, Work(u"out/"_s))); // Ogg Vorbis
    CCore core;
    RunAll(core, files);
    const QList<RunResult> failed = core.GetFailedRuns();
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0].outcome, RunResult::Outcome::Exited);
    EXPECT_EQ(failed[0].code, 127); // what a shell answers for a command it cannot find
    EXPECT_FALSE(QFile::exists(files[0]->outputPath));
    EXPECT_TRUE(QFile::exists(files[1]->outputPath));

    // The script's message, which the console window shows with the failed run.
    EXPECT_EQ(failed[0].LastErrorLine(), u"orvel: lame is not installed. Install the Debian "
                                         u"package lame: sudo apt install lame"_s);
}

} // namespace

#endif

#include "fault_fixtures.h"

#include <QTemporaryDir>
#include <sys/statvfs.h>

using namespace Qt::StringLiterals;
using namespace faults;

namespace {

// The shipped decoders with their shipped command lines, each given a source whose WAV does
// not fit in the temporary folder. Some of them stop at the full disk and still exit with 0.
struct Decoder
{
    const char* program;
    const char* commandLine;
    const char* extension;
    QStringList encode; // makes the source from "tone.wav" ("IN", "OUT")
};

const QList<Decoder> kDecoders = {
    {"flac",
     "-d -f -o %out% %in%",
     "flac",
     {u"flac"_s, u"-s"_s, u"-f"_s, u"IN"_s, u"-o"_s, u"OUT"_s}},
    {"lame", "--decode %in% %out%", "mp3", {u"lame"_s, u"--quiet"_s, u"IN"_s, u"OUT"_s}},
    {"oggdec", "-o %out% %in%", "ogg", {u"oggenc"_s, u"-Q"_s, u"IN"_s, u"-o"_s, u"OUT"_s}},
    {"opusdec", "%in% %out%", "opus", {u"opusenc"_s, u"--quiet"_s, u"IN"_s, u"OUT"_s}},
    {"wvunpack",
     "-y %in% -o %out%",
     "wv",
     {u"wavpack"_s, u"-q"_s, u"-y"_s, u"IN"_s, u"-o"_s, u"OUT"_s}},
};

qint64 FreeBytes(const QString& path)
{
    struct statvfs status = {};
    statvfs(QFile::encodeName(path).constData(), &status);
    return qint64(status.f_bavail) * qint64(status.f_frsize);
}

// A one-megabyte file system as the temporary folder, for as long as the object lives.
class CSmallTemporaryFolder
{
public:
    explicit CSmallTemporaryFolder(const QString& folder) : path(folder)
    {
        QDir().mkpath(path);
        mounted = fixtures::Run(u"mount"_s,
                                {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=1m"_s, u"tmpfs"_s, path});
    }
    ~CSmallTemporaryFolder()
    {
        if (mounted)
            fixtures::Run(u"umount"_s, {path});
    }
    CSmallTemporaryFolder(const CSmallTemporaryFolder&) = delete;
    CSmallTemporaryFolder& operator=(const CSmallTemporaryFolder&) = delete;

    QString path;
    bool mounted = false;
};

TEST(FullDiskTest, ADecoderRunningOutOfSpaceFailsItsFileAndFreesTheSpace)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    CSmallTemporaryFolder small(root.filePath(u"small"_s));
    if (!small.mounted)
        GTEST_SKIP() << "mounting a small tmpfs was refused (needs root)";
    CTemporaryFolderScope temporary(small.path);
    const qint64 emptySpace = FreeBytes(small.path);

    const QString tone = root.filePath(u"tone.wav"_s); // 10 s, 1.7 MB as WAV
    ASSERT_TRUE(fixtures::MakeWav(tone, 44100, 2, 16, 10));
    const QString started = root.filePath(u"coder-started"_s);
    auto coder = MarkingCoder(root.path(), started);
    ASSERT_TRUE(coder);

    for (const Decoder& decoder : kDecoders) {
        SCOPED_TRACE(decoder.program);
        const QString source = root.filePath(u"source."_s + QString::fromUtf8(decoder.extension));
        QStringList encode = decoder.encode;
        encode.replaceInStrings(u"IN"_s, tone).replaceInStrings(u"OUT"_s, source);
        ASSERT_TRUE(fixtures::Run(encode.takeFirst(), encode));
        PlannedDecoders decoders;
        decoders.push_back(MakeCodec<CDecoder>(Program(QString::fromUtf8(decoder.program)),
                                               QString::fromUtf8(decoder.commandLine),
                                               QString::fromUtf8(decoder.extension)));
        CFileInfo file;
        ASSERT_TRUE(file.Load(source));
        ASSERT_TRUE(Plan(file, decoders, *coder, root.filePath(u"out/"_s)));
        ASSERT_TRUE(file.decoder);

        CCore core;
        Queue(core, file);
        ASSERT_TRUE(RunToIdle(core));
        EXPECT_FALSE(QFile::exists(started)) << "the coder ran on a cut-off WAV";
        const QList<RunResult> failed = core.GetFailedRuns();
        ASSERT_EQ(failed.size(), 2);
        EXPECT_EQ(failed[0].process, file.decoder.get());
        EXPECT_EQ(failed[1].outcome, RunResult::Outcome::DecoderFailed);
        EXPECT_TRUE(TemporaryWavs(small.path).isEmpty());
        EXPECT_EQ(FreeBytes(small.path), emptySpace);
    }
}

} // namespace

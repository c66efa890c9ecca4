#include "fault_fixtures.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace faults;

namespace {

// File names that break command lines built by pasting paths: each must reach the encoder as
// exactly one argument, so the conversion lands at exactly the planned output.
const QStringList kHostileNames = {
    u"say \"hi\" now"_s,          u"ends in a backslash\\"_s,
    u"%out% and %in%"_s,          u"$(touch injected) `touch injected`"_s,
    u"-o leading dash"_s,         u"tab\there"_s,
    u"Ærøskøbing 日本 ünïcødé"_s, u"\\\"$(touch injected)\t%in%\\\\"_s,
};

class HostilePathsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        QDir().mkpath(root.filePath(u"tmp"_s));
        QDir().mkpath(root.filePath(u"wav"_s));
        QDir().mkpath(root.filePath(u"flac"_s));
        QDir().mkpath(root.filePath(u"out flac"_s));
        QDir().mkpath(root.filePath(u"out mp3"_s));
        // The real templates of the shipped FLAC and LAME coders.
        flac = MakeCodec<CCoder>(Program(u"flac"_s), u"-f -5 -o %out% %in%"_s, u"flac"_s);
        lame = MakeCodec<CCoder>(Program(u"lame"_s), u"-V 2 --quiet %in% %out%"_s, u"mp3"_s);
        decoders.push_back(
            MakeCodec<CDecoder>(Program(u"flac"_s), u"-d -s -f -o %out% %in%"_s, u"flac"_s));
    }

    QTemporaryDir root;
    std::unique_ptr<CCoder> flac;
    std::unique_ptr<CCoder> lame;
    PlannedDecoders decoders;
};

TEST_F(HostilePathsTest, EveryNameReachesTheEncoderAsOneArgumentAndConverts)
{
    CTemporaryFolderScope temporary(root.filePath(u"tmp"_s));
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(root.path()); // where an injected "touch" would leave its file

    std::vector<std::unique_ptr<CFileInfo>> files;
    QStringList expectedOutputs;
    for (const QString& name : kHostileNames) {
        // A WAV straight into the FLAC coder (%in% is the source itself, here also without an
        // extension so the path ends in the backslash), and a FLAC through its decoder into
        // the LAME coder (%out% of the decoder, %in% of the coder are the temporary WAV).
        const QString wav =
            root.filePath(u"wav/"_s + name + (name.endsWith(u'\\') ? u""_s : u".wav"_s));
        const QString source = root.filePath(u"flac/"_s + name + u".flac"_s);
        // sox picks the file type by extension: the tone is made under a plain name first.
        const QString plain = root.filePath(u"plain.wav"_s);
        ASSERT_TRUE(fixtures::MakeWav(plain, 44100, 2, 16, 0.2));
        ASSERT_TRUE(QFile::rename(plain, wav)) << name.toStdString();
        ASSERT_TRUE(fixtures::MakeFlac(wav, source)) << name.toStdString();

        auto direct = std::make_unique<CFileInfo>();
        ASSERT_TRUE(direct->Load(wav));
        ASSERT_TRUE(Plan(*direct, decoders, *flac, root.filePath(u"out flac/"_s)));
        auto decoded = std::make_unique<CFileInfo>();
        ASSERT_TRUE(decoded->Load(source));
        ASSERT_TRUE(Plan(*decoded, decoders, *lame, root.filePath(u"out mp3/"_s)));
        ASSERT_TRUE(decoded->decoder) << "a FLAC source is decoded first";
        expectedOutputs << direct->coder->GetOutputFile() << decoded->coder->GetOutputFile();
        files.push_back(std::move(direct));
        files.push_back(std::move(decoded));
    }

    CCore core;
    core.SetThreadsCount(2);
    for (const auto& file : files)
        Queue(core, *file);
    ASSERT_TRUE(RunToIdle(core, 120000));
    QDir::setCurrent(oldCurrent);

    for (const RunResult& failed : core.GetFailedRuns())
        ADD_FAILURE() << "failed: " << failed.inputFile.toStdString();
    for (const QString& output : expectedOutputs) {
        CFileInfo result;
        ASSERT_TRUE(result.Load(output)) << output.toStdString();
        EXPECT_EQ(result.sampleRate, 44100) << output.toStdString();
        EXPECT_EQ(result.channels, 2) << output.toStdString();
    }
    // Nothing but the planned outputs was written, and no command ran.
    EXPECT_EQ(QDir(root.filePath(u"out flac"_s)).count() +
                  QDir(root.filePath(u"out mp3"_s)).count(),
              static_cast<uint>(expectedOutputs.size() + 4));
    EXPECT_FALSE(QFile::exists(root.filePath(u"injected"_s)));
    EXPECT_TRUE(TemporaryWavs(root.filePath(u"tmp"_s)).isEmpty());
}

} // namespace

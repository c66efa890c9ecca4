#include "codec_tree.h"
#include "codecs/codec_discovery.h"
#include "support/test_paths.h"
#include "support/wav_bytes.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// Runs a template with plain paths (no blanks) in place of the placeholders.
bool RunTemplate(const QString& program, const QString& commandLine, const QString& in,
                 const QString& out)
{
    QString expanded = commandLine;
    expanded.replace(u"%in%"_s, in).replace(u"%out%"_s, out);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, QProcess::splitCommand(expanded));
    const bool ended = process.waitForFinished(60000);
    const bool written = QFileInfo(out).size() > 0;
    EXPECT_TRUE(ended && process.exitCode() == 0 && written)
        << program.toStdString() << ' ' << expanded.toStdString() << '\n'
        << process.readAll().toStdString();
    return ended && process.exitCode() == 0 && written;
}

class ShippedCodecsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDatabase(database, SourceTreePath(u"data/Base.xml"_s)));
        DiscoverCodecs(SourceTreePath(u"data"_s), database, coders, decoders, true, u"WAV"_s);
        // Half a second, 16-bit stereo at 44.1 kHz.
        WriteBytes(work.filePath(u"tone.wav"_s), ToneWavBytes(44100, 2, 22050));
    }

    QString Work(const QString& name) const { return work.filePath(name); }

    ExecutableDatabase database;
    CoderList coders;
    DecoderList decoders;
    QTemporaryDir work;
};

TEST_F(ShippedCodecsTest, ProgramFolderYieldsTheExpectedCodecs)
{
    QStringList coderNames;
    for (const auto& coder : coders) {
        coderNames.append(coder->GetName() + u'/' + QString::number(coder->GetEntries().size()));
    }
    EXPECT_EQ(coderNames,
              QStringList({u"FLAC/3"_s, u"LAME MP3/6"_s, u"AAC (ffmpeg)/3"_s, u"Ogg Vorbis/3"_s,
                           u"Opus/4"_s, u"WAV/1"_s, u"WavPack/3"_s, u"WAV/0"_s}));
    QStringList decoderNames;
    for (const auto& decoder : decoders) {
        decoderNames.append(decoder->GetName() + u'/' + decoder->GetEntries().value(0).extension);
    }
    EXPECT_EQ(decoderNames, QStringList({u"FFmpeg/m4a"_s, u"FLAC/flac"_s, u"MP3/mp3"_s,
                                         u"Ogg Vorbis/ogg"_s, u"Opus/opus"_s, u"WavPack/wv"_s}));
    EXPECT_EQ(database.GetEntryCount(), 10);
    EXPECT_FALSE(database.GetDate().isEmpty());
}

// Every shipped preset encodes, and the decoder for its extension turns the result into a WAV.
TEST_F(ShippedCodecsTest, EveryShippedCommandLineRunsWithTheInstalledPrograms)
{
    int run = 0;
    for (const auto& coder : coders) {
        for (const CodecEntry& preset : coder->GetEntries()) {
            const QString encoded = Work(u"c%1.%2"_s.arg(++run).arg(preset.extension));
            ASSERT_TRUE(RunTemplate(coder->GetExecutable(), preset.commandLine, Work(u"tone.wav"_s),
                                    encoded));
            if (preset.extension == u"wav"_s) {
                continue; // a WAV needs no decoder
            }
            const auto decoder = std::find_if(decoders.begin(), decoders.end(), [&](const auto& d) {
                return d->GetEntries().value(0).extension == preset.extension;
            });
            ASSERT_NE(decoder, decoders.end()) << preset.extension.toStdString();
            const QString decoded = Work(u"d%1.wav"_s.arg(run));
            RunTemplate((*decoder)->GetExecutable(), (*decoder)->GetEntries()[0].commandLine,
                        encoded, decoded);
        }
    }

    // Base.xml: encode with each coding line, then decode that file with every decoding line
    // that handles its extension; every entry with decoding lines decodes something.
    QHash<QString, QString> encodedByExtension;
    for (const ExecutableEntry& entry : database.entries) {
        const QString program = QStandardPaths::findExecutable(entry.FileName);
        for (const CommandLineEntry& line : entry.commandLines) {
            if (line.Type != u"Coding"_s) {
                continue;
            }
            const QString encoded = Work(u"b%1.%2"_s.arg(++run).arg(line.Extension));
            RunTemplate(program, line.CommandLine, Work(u"tone.wav"_s), encoded);
            encodedByExtension.insert(line.Extension, encoded);
        }
    }
    ASSERT_TRUE(QFile::copy(encodedByExtension.value(u"aiff"_s), Work(u"b.aif"_s)));
    encodedByExtension.insert(u"aif"_s, Work(u"b.aif"_s));
    for (const ExecutableEntry& entry : database.entries) {
        const QString program = QStandardPaths::findExecutable(entry.FileName);
        int decodingLines = 0;
        int decoded = 0;
        for (const CommandLineEntry& line : entry.commandLines) {
            if (line.Type != u"Decoding"_s) {
                continue;
            }
            ++decodingLines;
            if (encodedByExtension.contains(line.Extension) &&
                RunTemplate(program, line.CommandLine, encodedByExtension.value(line.Extension),
                            Work(u"e%1.wav"_s.arg(++run)))) {
                ++decoded;
            }
        }
        EXPECT_TRUE(decodingLines == 0 || decoded > 0) << entry.FileName.toStdString();
    }
}

} // namespace

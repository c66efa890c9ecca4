#include "foundation/os.h"
#include "planning/job_planning.h"
#include "planning/plan_files.h"
#include "planning/planned_jobs.h"
#include "support/environment_scope.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<CDecoder> DecoderFor(const QString& name, const QStringList& extensions,
                                     const QString& commandLine = u"-d -o %out% %in%"_s)
{
    auto decoder = std::make_unique<CDecoder>();
    decoder->SetName(name);
    decoder->SetExecutable(u"/usr/bin/"_s + name);
    for (const QString& extension : extensions)
        decoder->GetEntries().append({commandLine, extension, QString()});
    return decoder;
}

std::unique_ptr<CCoder> CoderFor(const QStringList& extensions)
{
    auto coder = std::make_unique<CCoder>();
    coder->SetExecutable(u"/usr/bin/enc"_s);
    for (const QString& extension : extensions)
        coder->GetEntries().append({u"-q %in% %out%"_s, extension, u"preset "_s + extension});
    return coder;
}

std::unique_ptr<CFileInfo> Source(const QString& path, int sampleRate = 44100)
{
    auto file = std::make_unique<CFileInfo>();
    file->path = path;
    file->sampleRate = sampleRate;
    file->channels = 2;
    file->fileType = SourceTypeOf(path.section(u'.', -1));
    return file;
}

// The way the main window plans one file.
bool Plan(CFileInfo& file, const PlannedDecoders& decoders, CCoder* coder,
          const QString& outputFolder = QString(), bool decodeOnly = false)
{
    const bool decoded = PrepareDecoder(file, decoders, outputFolder, decodeOnly);
    if ((!decoded && file.fileType != kSourceWav) || decodeOnly)
        return decoded;
    const CodecEntry entry = coder->GetEntries().first();
    if (!AssignCoder(coder, file) || !PrepareCoder(file, entry.commandLine, outputFolder))
        return false;
    file.presetName = entry.name;
    return true;
}

const QRegularExpression kTempName(u"^orv[0-9A-F]{8}\\.wav$"_s);

TEST(JobPlanningTest, FlacSourcesAreDecodedToTemporaryWavsThatTheirCodersRead)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    auto coder = CoderFor({u"mp3"_s, u"ogg"_s});
    for (const QString& outputFolder : {QString(), u"/out/"_s}) {
        SCOPED_TRACE(outputFolder.toStdString());
        auto file = Source(u"/m/a.flac"_s);
        ASSERT_TRUE(Plan(*file, decoders, coder.get(), outputFolder));

        const QString wav = file->decoder->GetTempFile();
        EXPECT_EQ(QFileInfo(wav).path(), os::TemporaryFolder()); // whatever the output folder
        EXPECT_TRUE(kTempName.match(QFileInfo(wav).fileName()).hasMatch()) << wav.toStdString();
        EXPECT_FALSE(QFile::exists(wav)); // named, not created
        EXPECT_EQ(file->decoder->GetInputFile(), u"/m/a.flac"_s);
        EXPECT_EQ(file->decoder->GetOutputFile(), wav);
        EXPECT_EQ(file->decoderInput, u"/m/a.flac"_s);
        EXPECT_EQ(GetDecoderCommandLine(*file), u"-d -o \"%1\" \"/m/a.flac\""_s.arg(wav));

        const QString output = outputFolder.isEmpty() ? u"/m/a.mp3"_s : u"/out/a.mp3"_s;
        EXPECT_EQ(file->coder->decoder, file->decoder.get());
        EXPECT_EQ(file->coder->GetInputFile(), wav);
        EXPECT_EQ(file->coder->GetTempFile(), wav);
        EXPECT_EQ(file->coder->GetOutputFile(), output);
        EXPECT_EQ(file->outputPath, output);
        EXPECT_EQ(GetCoderCommandLine(*file), u"-q \"%1\" \"%2\""_s.arg(wav, output));
        EXPECT_EQ(file->presetName, u"preset mp3"_s);
    }

    // A library's many files are planned on two threads: each still gets a WAV of its own,
    // read by its own coder, and the plan's one verifying decoder.
    auto flac = CoderFor({u"flac"_s});
    flac->lossless = true;
    std::vector<std::unique_ptr<CFileInfo>> many;
    std::vector<CFileInfo*> files;
    QStringList folders;
    for (int i = 0; i < 300; ++i) {
        many.push_back(Source(u"/m/%1.flac"_s.arg(i)));
        files.push_back(many.back().get());
        folders << u"/out/"_s;
    }
    AudioChain chain;
    chain.verifyLossless = true;
    chain.verification = VerificationOf(*flac, decoders);
    ASSERT_TRUE(chain.verification && chain.verification->decoder);
    const std::vector<char> planned =
        PlanFiles(files, folders, decoders, flac.get(), 0, false, false, {}, {}, chain);
    QSet<QString> wavs;
    for (int i = 0; i < 300; ++i) {
        const CFileInfo& file = *files[size_t(i)];
        ASSERT_TRUE(planned[size_t(i)] && file.decoder && file.coder) << i;
        wavs.insert(file.decoder->GetTempFile());
        EXPECT_EQ(file.coder->GetInputFile(), file.decoder->GetTempFile());
        EXPECT_EQ(file.outputPath, u"/out/%1.flac"_s.arg(i));
        EXPECT_EQ(file.coder->verification->decoder, chain.verification->decoder);
    }
    EXPECT_EQ(wavs.size(), 300);
}

TEST(JobPlanningTest, DecodeOnlyWritesTheWavAsTheResult)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"", u"/m/a.wav"},
        {u"/out/", u"/out/a.wav"},
        {u"/out", u"/out/a.wav"},
    };
    for (const auto& [folder, expected] : cases) {
        auto file = Source(u"/m/a.flac"_s);
        // "%" belongs to the file's name: nothing in it is expanded.
        auto named = Source(u"/m/a%HOME%b.flac"_s);
        ASSERT_TRUE(PrepareDecoder(*named, decoders, QString::fromUtf16(folder), true));
        EXPECT_EQ(named->decoder->GetOutputFile(),
                  QString::fromUtf16(expected).replace(u"a.wav"_s, u"a%HOME%b.wav"_s));
        ASSERT_TRUE(PrepareDecoder(*file, decoders, QString::fromUtf16(folder), true));
        EXPECT_EQ(file->decoder->GetOutputFile(), QString::fromUtf16(expected));
        EXPECT_FALSE(file->coder);
    }
}

TEST(JobPlanningTest, TheFirstMatchingEntryOfTheFirstMatchingDecoderWins)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"capitals"_s, {u"FLAC"_s, u".flac"_s}));
    decoders.push_back(DecoderFor(u"first"_s, {u"ape"_s, u"flac"_s}, u"first %in% %out%"_s));
    decoders.push_back(DecoderFor(u"second"_s, {u"flac"_s}));
    decoders.front()->GetEntries().append({u"late %in% %out%"_s, u"wv"_s, QString()});
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"/m/a.flac", u"first"}, {u"/m/A.FLAC", u"first"}, {u"/m/a.wv", u"capitals"},
        {u"/m/a.xyz", nullptr},   {u"/m/noext", nullptr},
    };
    for (const auto& [path, chosen] : cases) {
        SCOPED_TRACE(QString::fromUtf16(path).toStdString());
        auto file = Source(QString::fromUtf16(path));
        const bool planned = PrepareDecoder(*file, decoders, QString(), false);
        EXPECT_EQ(planned, chosen != nullptr);
        if (chosen)
            EXPECT_EQ(file->decoder->GetName(), QString::fromUtf16(chosen));
        else
            EXPECT_FALSE(file->decoder);
        EXPECT_EQ(IsReadableSource(QString::fromUtf16(path), decoders), chosen != nullptr);
    }
    // A WAV needs no decoder; a cover or a cue sheet beside the music is read by none.
    EXPECT_TRUE(IsReadableSource(u"/m/a.WAV"_s, decoders));
    EXPECT_FALSE(IsReadableSource(u"/m/folder.jpg"_s, decoders));
    EXPECT_FALSE(IsReadableSource(u"/m/album.cue"_s, decoders));
}

TEST(JobPlanningTest, WavSourceWithoutDecoderIsEncodedDirectly)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    auto coder = CoderFor({u".ogg"_s});
    auto file = Source(u"/m/Tone.wav"_s);
    ASSERT_TRUE(Plan(*file, decoders, coder.get()));
    EXPECT_FALSE(file->decoder);
    EXPECT_EQ(file->coder->decoder, nullptr);
    EXPECT_EQ(file->coder->GetInputFile(), u"/m/Tone.wav"_s);
    // No intermediate file: the core must never delete the source after encoding.
    EXPECT_TRUE(file->coder->GetTempFile().isEmpty());
    EXPECT_EQ(file->coder->GetOutputFile(), u"/m/Tone.ogg"_s);
}

TEST(JobPlanningTest, ACoderWithoutPresetsLeavesTheFileWithNothingPlanned)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    auto mp3 = CoderFor({u"mp3"_s});
    CCoder bare; // a coder folder without "Extensions.ini" or "Presets.ini"
    auto file = Source(u"/m/a.flac"_s);
    ASSERT_TRUE(PlanFile(*file, decoders, mp3.get(), 0, QString(), false));
    ASSERT_TRUE(file->decoder && file->coder);

    // No new decoder (its WAV would never be deleted), no coder left reading the old WAV.
    EXPECT_TRUE(PlanFile(*file, decoders, &bare, 0, QString(), false));
    EXPECT_FALSE(file->decoder);
    EXPECT_FALSE(file->coder);
}

TEST(JobPlanningTest, BadDefinitionsAndTemplatesAreRefusedWithoutThrowing)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}, u"-d %IN% %out%"_s));
    auto file = Source(u"/m/a.flac"_s);
    EXPECT_FALSE(PrepareDecoder(*file, decoders, QString(), false));
    ASSERT_TRUE(file->decoder); // stays attached, without an argument string
    EXPECT_TRUE(GetDecoderCommandLine(*file).isEmpty());

    CCoder empty; // the decode-only entry has no presets
    EXPECT_FALSE(AssignCoder(&empty, *file));
    EXPECT_FALSE(file->coder);
    EXPECT_FALSE(PrepareCoder(*file, u"%in% %out%"_s, QString()));
    TemplateValues values;
    file->coder = std::make_unique<CCoder>(empty);
    EXPECT_FALSE(FillTemplateValues(values, *file));
    EXPECT_FALSE(PrepareCoder(*file, u"%in% %out%"_s, QString()));

    auto coder = CoderFor({u"mp3"_s});
    ASSERT_TRUE(AssignCoder(coder.get(), *file));
    file->coder->SetParameters(u"as planned before"_s);
    EXPECT_FALSE(PrepareCoder(*file, u"-q %in% %out% 100%"_s, QString()));
    EXPECT_EQ(GetCoderCommandLine(*file), u"as planned before"_s);
    EXPECT_TRUE(AssignCoder(nullptr, *file));
    EXPECT_FALSE(file->coder);
}

TEST(JobPlanningTest, ReplanningNeverLeavesTheCoderLinkedToADestroyedDecoder)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    auto coder = CoderFor({u"mp3"_s});
    auto file = Source(u"/m/a.flac"_s);
    ASSERT_TRUE(Plan(*file, decoders, coder.get()));
    ASSERT_NE(file->coder->decoder, nullptr);

    decoders.clear(); // the decoder went away with an update of the codecs
    EXPECT_FALSE(PrepareDecoder(*file, decoders, QString(), false));
    ASSERT_TRUE(file->coder); // the earlier coder job stays
    EXPECT_EQ(file->coder->decoder, nullptr);

    EXPECT_TRUE(ResetJobs(*file));
    EXPECT_FALSE(file->coder);
    EXPECT_FALSE(file->decoder);
    EXPECT_TRUE(file->outputPath.isEmpty());
    EXPECT_TRUE(file->decoderInput.isEmpty());
    EXPECT_TRUE(file->presetName.isEmpty());
    EXPECT_TRUE(GetCoderCommandLine(*file).isEmpty());
}

TEST(JobPlanningTest, TemporaryNamesAreNeverRepeatedNorTaken)
{
    QTemporaryDir folder;
    QSet<QString> names;
    for (int i = 0; i < 3000; ++i) {
        const QString name = MakeTempFileName(folder.path(), i % 2 ? u".wav"_s : u"wav"_s);
        ASSERT_TRUE(kTempName.match(QFileInfo(name).fileName()).hasMatch()) << name.toStdString();
        ASSERT_EQ(QFileInfo(name).path(), folder.path());
        names.insert(name);
        if (i % 3 == 0) {
            // Taking the name leaves the generator no reason to hand it out again.
            QFile file(name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    EXPECT_EQ(names.size(), 3000);
    EXPECT_TRUE(MakeTempFileName(folder.filePath(u"missing"_s), u".wav"_s).endsWith(u".wav"_s));
}

TEST(JobPlanningTest, ConflictsBetweenPlannedOutputsAndSourcesAreFound)
{
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(u"one"_s);
    QDir(folder.path()).mkpath(u"two"_s);
    QDir(folder.path()).mkpath(u"out"_s);
    ASSERT_TRUE(QFile::link(folder.filePath(u"one"_s), folder.filePath(u"alias"_s)));
    for (const QString& name : {u"one/a.flac"_s, u"two/a.flac"_s, u"one/b.flac"_s})
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);

    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    auto mp3 = CoderFor({u"mp3"_s});
    auto flac = CoderFor({u"flac"_s});
    const QString out = folder.filePath(u"out/"_s);

    auto a1 = Source(folder.filePath(u"one/a.flac"_s));
    auto a2 = Source(folder.filePath(u"two/a.flac"_s));
    auto b = Source(folder.filePath(u"alias/b.flac"_s));
    ASSERT_TRUE(Plan(*a1, decoders, mp3.get(), out)); // one output folder, two a.mp3
    ASSERT_TRUE(Plan(*a2, decoders, mp3.get(), out));
    ASSERT_TRUE(Plan(*b, decoders, flac.get(), folder.filePath(u"one/"_s))); // over itself

    // The first of two jobs with one result runs; b would write over its own source.
    using enum LeftOutReason;
    EXPECT_EQ(FindLeftOutJobs({JobOf(*a1), JobOf(*a2), JobOf(*b)}),
              (QList<LeftOutReason>{None, SharedOutput, OwnInput}));
    EXPECT_TRUE(WritesOwnInput(b->coder.get()));
    EXPECT_FALSE(WritesOwnInput(a1->coder.get()));
    EXPECT_FALSE(WritesOwnInput(a1->decoder.get()));
    EXPECT_EQ(FindLeftOutJobs({JobOf(*a1)}), QList<LeftOutReason>{None});

    // A result that is another job's source: that job's source is written while it reads it.
    auto overA2 = Source(folder.filePath(u"one/c.flac"_s));
    ASSERT_TRUE(Plan(*overA2, decoders, flac.get(), folder.filePath(u"two/"_s)));
    overA2->coder->SetOutputFile(folder.filePath(u"two/a.flac"_s));
    EXPECT_EQ(FindLeftOutJobs({JobOf(*a2), JobOf(*overA2)}),
              (QList<LeftOutReason>{None, OtherSource}));
}

TEST(JobPlanningTest, SameFileSeesThroughSpellingsAndLinks)
{
    QTemporaryDir folder;
    const QString real = folder.filePath(u"a.wav"_s);
    QFile(real).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(real, folder.filePath(u"link.wav"_s)));
    EXPECT_TRUE(IsSameFile(real, folder.path() + u"/./sub/../a.wav"_s));
    EXPECT_TRUE(IsSameFile(real, folder.filePath(u"link.wav"_s)));
    EXPECT_FALSE(IsSameFile(real, folder.filePath(u"b.wav"_s)));
    EXPECT_FALSE(IsSameFile(QString(), QString()));
}

} // namespace

TEST(JobPlanningTest, DirectInputPlansNoDecoderForWhatTheEncoderReads)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s, u"mp3"_s}));
    auto coder = CoderFor({u"ogg"_s});
    coder->inputs = QStringList{u"flac"_s};
    auto file = Source(u"/m/A.FLAC"_s);
    ASSERT_TRUE(PlanFile(*file, decoders, coder.get(), 0, u"/out/"_s, false, false));
    ASSERT_TRUE(file->decoder);

    // Replanned with direct input: the earlier decoder and its WAV are gone.
    ASSERT_TRUE(PlanFile(*file, decoders, coder.get(), 0, u"/out/"_s, false, true));
    EXPECT_FALSE(file->decoder);
    EXPECT_TRUE(file->decoderInput.isEmpty());
    EXPECT_EQ(file->coder->decoder, nullptr);
    EXPECT_EQ(file->coder->GetInputFile(), u"/m/A.FLAC"_s);
    EXPECT_TRUE(file->coder->GetTempFile().isEmpty()); // the core never deletes a source
    EXPECT_EQ(file->outputPath, u"/out/A.ogg"_s);
    EXPECT_EQ(file->presetName, u"preset ogg"_s);

    // What the encoder does not read, and decode-only planning, still go through a decoder.
    auto mp3 = Source(u"/m/b.mp3"_s);
    ASSERT_TRUE(PlanFile(*mp3, decoders, coder.get(), 0, QString(), false, true));
    EXPECT_TRUE(mp3->decoder);
    ASSERT_TRUE(PlanFile(*file, decoders, nullptr, 0, QString(), true, true));
    EXPECT_TRUE(file->decoder);
    EXPECT_FALSE(file->coder);
}

TEST(JobPlanningTest, IntermediateWavsGoToTheRuntimeFolderOnlyWhenTheyFit)
{
    auto song = Source(u"/m/a.flac"_s);
    song->duration = 240000;
    song->resolution = 16;
    EXPECT_EQ(EstimatedWavBytes(*song), 240LL * 48000 * 2 * 2 + 4096);
    song->resolution = 0; // a lossy source may decode to floats
    EXPECT_EQ(EstimatedWavBytes(*song), 240LL * 48000 * 2 * 4 + 4096);
    // A track of an album image needs room for the image's WAV it is cut from, too.
    auto track = std::make_shared<CueTrackSource>();
    track->imageDurationMs = 2400000;
    song->track = track;
    EXPECT_EQ(EstimatedWavBytes(*song), 2640LL * 48000 * 2 * 4 + 4096);
    song->track.reset();
    song->duration = 0;
    EXPECT_EQ(EstimatedWavBytes(*song), -1);

    constexpr qint64 kMiB = qint64(1) << 20;
    const struct
    {
        qint64 free;
        QList<qint64> wavs;
        int slots;
        bool fits;
    } cases[] = {
        {1000 * kMiB, {100 * kMiB, 100 * kMiB, 100 * kMiB}, 2, true},
        {400 * kMiB, {100 * kMiB, 100 * kMiB, 100 * kMiB}, 2, false}, // 3 WAVs, margin, reserve
        {400 * kMiB, {200 * kMiB, 10 * kMiB, 10 * kMiB, 10 * kMiB}, 1, true},
        {1000 * kMiB, {10 * kMiB, -1}, 2, false}, // a length nobody knows
        {-1, {10 * kMiB}, 2, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HoldsLargestWavs(c.free, c.wavs, c.slots), c.fits) << c.free << ' ' << c.slots;

    QTemporaryDir runtime;
    const CEnvironmentScope runtimeFolder("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    song->duration = 20000;
    const QString roomy = ChooseTempFolder({song.get()}, 2);
    EXPECT_EQ(roomy, runtime.path());
    song->duration = 0;
    EXPECT_EQ(ChooseTempFolder({song.get()}, 2), os::TemporaryFolder());

    // The choice is handed to planning; a planning without one uses the system's folder.
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    auto mp3 = CoderFor({u"mp3"_s});
    ASSERT_TRUE(PlanFile(*song, decoders, mp3.get(), 0, QString(), false, false, {}, roomy));
    ASSERT_TRUE(song->decoder);
    EXPECT_EQ(QFileInfo(song->decoder->GetTempFile()).absolutePath(), runtime.path());
    auto other = Source(u"/m/b.flac"_s);
    ASSERT_TRUE(PrepareDecoder(*other, decoders, QString(), false));
    EXPECT_EQ(QFileInfo(other->decoder->GetTempFile()).absolutePath(),
              QDir(os::TemporaryFolder()).absolutePath());
}
namespace {

// Names from tags below the output folder (or the source's folder), in decode-only planning
// too; two files whose tags give one name are left out by the rules that guard every result.
TEST(JobPlanningTest, ResultsNamedFromTagsMeetTheCollisionRules)
{
    PlannedDecoders decoders;
    decoders.push_back(DecoderFor(u"flac"_s, {u"flac"_s}));
    auto coder = CoderFor({u"mp3"_s});
    ResultNaming naming{CNamePattern(u"<albumartist>/<album>/[<disc>-]<track> - <title>"_s)};
    auto first = Source(u"/m/Rips/a.flac"_s);
    first->tags = {u"AC/DC"_s, {}, u"Live"_s, u"Hell?"_s, {}, {}, 0, 3, 0};
    auto twin = Source(u"/m/Other/b.flac"_s);
    twin->tags = first->tags;
    auto plain = Source(u"/m/Rips/c.flac"_s);
    const struct
    {
        CFileInfo* file;
        QString outputFolder;
        bool decodeOnly;
        QString expected;
    } cases[] = {
        {first.get(), u"/out/"_s, false, u"/out/AC_DC/Live/03 - Hell?.mp3"_s},
        {plain.get(), u"/out/"_s, false, u"/out/c.mp3"_s},
        {plain.get(), QString(), false, u"/m/Rips/c.mp3"_s},
        {first.get(), QString(), true, u"/m/Rips/AC_DC/Live/03 - Hell?.wav"_s},
        {twin.get(), u"/out/"_s, false, u"/out/AC_DC/Live/03 - Hell?.mp3"_s},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(PlanFile(*c.file, decoders, coder.get(), 0, c.outputFolder, c.decodeOnly, false,
                             naming));
        CCodec* result = c.decodeOnly ? static_cast<CCodec*>(c.file->decoder.get())
                                      : static_cast<CCodec*>(c.file->coder.get());
        EXPECT_EQ(result->GetOutputFile(), c.expected);
    }
    ASSERT_TRUE(PlanFile(*first, decoders, coder.get(), 0, u"/out/"_s, false, false, naming));
    const QList<LeftOutReason> reasons =
        FindLeftOutJobs({JobOf(*first), JobOf(*plain), JobOf(*twin)});
    EXPECT_EQ(reasons, (QList<LeftOutReason>{LeftOutReason::None, LeftOutReason::None,
                                             LeftOutReason::SharedOutput}));

    // Numbered instead, the later ones get the next free number, within 255 bytes.
    QSet<QString> taken;
    naming.numberedAgainst = &taken;
    auto third = Source(u"/m/Third/c.flac"_s);
    third->tags = first->tags;
    third->tags.title = QString(300, u'x');
    auto fourth = Source(u"/m/Fourth/d.flac"_s);
    fourth->tags = third->tags;
    QStringList outputs;
    for (CFileInfo* file : {first.get(), twin.get(), third.get(), fourth.get()}) {
        ASSERT_TRUE(PlanFile(*file, decoders, coder.get(), 0, u"/out/"_s, false, false, naming));
        outputs << file->outputPath;
    }
    const QString longName = u"03 - "_s + QString(246, u'x');
    EXPECT_EQ(outputs, (QStringList{u"/out/AC_DC/Live/03 - Hell?.mp3"_s,
                                    u"/out/AC_DC/Live/03 - Hell? (2).mp3"_s,
                                    u"/out/AC_DC/Live/"_s + longName + u".mp3"_s,
                                    u"/out/AC_DC/Live/"_s + longName.left(247) + u" (2).mp3"_s}));
}

} // namespace

#include "planning/job_planning.h"

#include "audio/audio_digest.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <new>

using namespace Qt::StringLiterals;

namespace {

QString OutputInFolder(const QString& outputFolder, const QString& path)
{
    return CleanedPath(AppendPath(outputFolder, FileNamePart(CleanedPath(path))));
}

// The path, or the first "name (N).extension" beside it that is not taken; taken from now on.
QString NumberedAgainst(QSet<QString>& taken, const QString& path)
{
    QString numbered = path;
    const QString extension = ExtensionPart(path);
    const QString dotted = extension.isEmpty() ? QString() : u'.' + extension;
    QString folder = path;
    RemoveFileSpec(folder);
    QString stem = FileNamePart(path);
    RemoveExtension(stem);
    for (int number = 2; taken.contains(numbered); ++number) {
        const QString suffix = u" (%1)"_s.arg(number) + dotted;
        numbered = AppendPath(folder, SafeNameComponent(stem, false, suffix) + suffix);
    }
    taken.insert(numbered);
    return numbered;
}

} // namespace

QString ResultPathOf(const CFileInfo& file, const QString& outputFolder, const QString& extension,
                     const ResultNaming& naming)
{
    QString path = CleanedPath(file.NamingPath());
    RenameExtension(path, extension);
    if (!naming.fixedName.isEmpty()) {
        RemoveFileSpec(path); // the source's folder
        return CleanedPath(
            AppendPath(outputFolder.isEmpty() ? path : outputFolder, naming.fixedName));
    }
    if (naming.pattern.IsEmpty())
        return outputFolder.isEmpty() ? path : OutputInFolder(outputFolder, path);
    QString sourceFolder = CleanedPath(file.path);
    RemoveFileSpec(sourceFolder);
    QString sourceName = FileNamePart(CleanedPath(file.NamingPath()));
    RemoveExtension(sourceName);
    const NameFields fields{file.tags, sourceName, FileNamePart(sourceFolder)};
    const QString name = naming.pattern.ResultPath(fields, ExtensionPart(path), naming.fatSafe);
    const QString result =
        CleanedPath(AppendPath(outputFolder.isEmpty() ? sourceFolder : outputFolder, name));
    return naming.numberedAgainst ? NumberedAgainst(*naming.numberedAgainst, result) : result;
}

QString ResolvedPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = info.absoluteDir().canonicalPath();
    if (!folder.isEmpty())
        return folder + os::kPathSeparator + info.fileName();
    return CleanedPath(path);
}

bool FillTemplateValues(TemplateValues& values, const CFileInfo& file)
{
    values.inputPath = file.path;
    values.sampleRate = file.sampleRate;
    values.channels = file.channels;
    values.outputPath.clear();
    if (!file.coder)
        return true;
    // The output takes the extension of the coder's first preset, whatever preset was chosen.
    const QList<CodecEntry>& entries = file.coder->GetEntries();
    if (entries.isEmpty())
        return false;
    values.outputPath = CleanedPath(file.path);
    RenameExtension(values.outputPath, entries.first().extension);
    return true;
}

const CDecoder* DecoderOf(const QString& path, const PlannedDecoders& decoders,
                          const CodecEntry** entry)
{
    const QString extension = ExtensionPart(CleanedPath(path)).toLower();
    for (const auto& decoder : decoders) {
        for (const CodecEntry& candidate : std::as_const(decoder->GetEntries())) {
            if (candidate.extension == extension) {
                if (entry)
                    *entry = &candidate;
                return decoder.get();
            }
        }
    }
    return nullptr;
}

bool IsReadableSource(const QString& path, const PlannedDecoders& decoders)
{
    return DecoderOf(path, decoders) != nullptr ||
           SourceTypeOf(ExtensionPart(CleanedPath(path))) == kSourceWav;
}

bool PrepareDecoder(CFileInfo& file, const PlannedDecoders& decoders, const QString& outputFolder,
                    bool decodeOnly, const ResultNaming& naming, const QString& tempFolder)
{
    // The coder keeps no link to a decoder run that is gone.
    if (file.coder)
        file.coder->decoder = nullptr;
    file.decoder.reset();

    const CodecEntry* entry = nullptr;
    const CDecoder* definition = DecoderOf(file.path, decoders, &entry);
    if (!definition)
        return false;

    try {
        file.decoder = std::make_unique<CDecoder>(*definition);
    } catch (const std::bad_alloc&) {
        return false;
    }

    TemplateValues values;
    FillTemplateValues(values, file); // only the input and the source's numbers are used
    QString wavPath;
    if (decodeOnly) {
        wavPath = ResultPathOf(file, outputFolder, u".wav"_s, naming);
    } else {
        wavPath =
            MakeTempFileName(tempFolder.isEmpty() ? os::TemporaryFolder() : tempFolder, u".wav"_s);
        if (wavPath.isEmpty())
            return false;
    }

    CDecoder& job = *file.decoder;
    job.SetTempFile(wavPath);
    values.outputPath = job.GetTempFile();
    file.decoderInput = values.inputPath;
    job.SetInputFile(values.inputPath);
    job.SetOutputFile(values.outputPath);

    QString parameters;
    if (!ExpandTemplate(entry->commandLine, parameters, values))
        return false;
    job.SetParameters(parameters);
    return true;
}

bool AssignCoder(CCoder* definition, CFileInfo& file)
{
    if (!definition) {
        file.coder.reset();
        return true;
    }
    // A coder with no preset names no output extension; planning it would fail later.
    if (definition->GetEntries().isEmpty())
        return false;
    std::unique_ptr<CCoder> job;
    try {
        job = std::make_unique<CCoder>(*definition);
    } catch (const std::bad_alloc&) {
        return false;
    }
    job->decoder = file.decoder.get();
    file.coder = std::move(job);
    return true;
}

bool PrepareCoder(CFileInfo& file, const QString& commandTemplate, const QString& outputFolder,
                  const ResultNaming& naming)
{
    if (!file.coder)
        return false;
    TemplateValues values;
    if (!FillTemplateValues(values, file))
        return false;

    CCoder& job = *file.coder;
    job.decoder = file.decoder.get();
    if (file.decoder) {
        values.inputPath = file.decoder->GetTempFile();
        job.SetTempFile(values.inputPath); // deleted by the core once the coder has ended
    } else {
        job.SetTempFile(QString()); // never let the core delete a source file
    }
    // The output takes the extension of the coder's first preset, whatever preset was chosen.
    values.outputPath =
        ResultPathOf(file, outputFolder, job.GetEntries().constFirst().extension, naming);

    QString parameters;
    if (!ExpandTemplate(commandTemplate, parameters, values))
        return false;
    job.SetParameters(parameters);
    job.SetInputFile(values.inputPath);
    job.SetOutputFile(values.outputPath);
    file.outputPath = values.outputPath;
    return true;
}

bool CoderReadsSource(const CFileInfo& file, const CCoder& coder, bool directInput)
{
    // A track is cut from the decoded image: no coder sees the whole image.
    if (!directInput || coder.inputs.isEmpty() || file.track)
        return false;
    return coder.inputs.contains(ExtensionPart(CleanedPath(file.path)).toLower());
}

namespace {

// The MD5 of a FLAC source's samples where its STREAMINFO holds one for samples a WAV lays out
// the same way (16 and 24 bits); empty otherwise.
QString FlacSamplesMd5(const CFileInfo& file)
{
    if (file.fileType != kSourceFlac || (file.resolution != 16 && file.resolution != 24))
        return {};
    const QString digest = AudioDigest(file.path);
    return digest.startsWith(u"flac:"_s) ? digest.mid(5) : QString();
}

// Limits work on a WAV, and so does verification unless the source's own MD5 can stand for
// the samples the coder reads: direct input gives way to them.
bool NeedsDecodedAudio(const CFileInfo& file, const CCoder& coder, const AudioChain& chain)
{
    return LimitedFormatOf(file, chain.limits).Changes() ||
           (chain.verifyLossless && coder.lossless && FlacSamplesMd5(file).isEmpty());
}

} // namespace

bool AddLimiter(CFileInfo& file, const AudioChain& chain, const QString& tempFolder)
{
    if (file.decoder)
        file.decoder->limiter.reset();
    const LimitedFormat format = LimitedFormatOf(file, chain.limits);
    if (!format.Changes() || chain.limiterProgram.isEmpty())
        return true;
    const QString limited =
        MakeTempFileName(tempFolder.isEmpty() ? os::TemporaryFolder() : tempFolder, u".wav"_s);
    if (limited.isEmpty())
        return false;
    // A track's decoder keeps the track's own WAV as its temporary file: sox writes the image.
    const QString input = file.decoder && !file.decoder->GetExecutable().isEmpty()
                              ? file.decoder->GetOutputFile()
                              : file.path;
    const TemplateValues values{input, limited, file.sampleRate, file.channels};
    QString parameters;
    if (!ExpandTemplate(LimiterArguments(format, file.channels), parameters, values))
        return false;
    auto limiter = std::make_shared<CDecoder>();
    limiter->SetName(u"sox"_s);
    limiter->SetExecutable(chain.limiterProgram);
    limiter->SetParameters(parameters);
    limiter->SetInputFile(input);
    limiter->SetOutputFile(limited);
    limiter->SetTempFile(limited);
    if (file.decoder && !file.decoder->GetExecutable().isEmpty()) {
        file.decoder->limiter = std::move(limiter);
        if (!file.track)
            file.decoder->SetTempFile(limited);
        return true;
    }
    // A WAV source (or image) has no decoder to follow: sox is its decoder.
    const QList<TrackCut> cuts = file.decoder ? file.decoder->trackCuts : QList<TrackCut>();
    const QString trackWav = file.decoder ? file.decoder->GetTempFile() : limited;
    file.decoder = std::make_unique<CDecoder>(*limiter);
    file.decoder->SetTempFile(file.track ? trackWav : limited);
    file.decoder->trackCuts = cuts;
    file.decoderInput = file.path;
    return true;
}

std::optional<ResultVerification> VerificationOf(CCoder& coder, const PlannedDecoders& decoders)
{
    if (!coder.lossless || coder.GetEntries().isEmpty())
        return std::nullopt;
    const QString extension = coder.GetEntries().constFirst().extension;
    if (SourceTypeOf(extension) == kSourceWav)
        return ResultVerification{nullptr, {}, {}};
    const CodecEntry* entry = nullptr;
    const CDecoder* decoder = DecoderOf(u"result."_s + extension, decoders, &entry);
    if (!decoder)
        return std::nullopt;
    return ResultVerification{std::make_shared<CDecoder>(*decoder), entry->commandLine, {}};
}

void AddVerification(CCoder& coder, const PlannedDecoders& decoders, const QString& sourceMd5)
{
    coder.verification = VerificationOf(coder, decoders);
    if (coder.verification)
        coder.verification->sourceMd5 = sourceMd5;
}

namespace {

void Verify(CCoder& coder, const AudioChain& chain, const PlannedDecoders& decoders,
            const QString& sourceMd5)
{
    if (!chain.verification) {
        AddVerification(coder, decoders, sourceMd5);
        return;
    }
    coder.verification = chain.verification;
    coder.verification->sourceMd5 = sourceMd5;
}

} // namespace

bool PlanFile(CFileInfo& file, const PlannedDecoders& decoders, CCoder* coder, int presetIndex,
              const QString& outputFolder, bool decodeOnly, bool directInput,
              const ResultNaming& naming, const QString& tempFolder, const AudioChain& chain)
{
    if (!decodeOnly && !(coder && presetIndex >= 0 && presetIndex < coder->GetEntries().size())) {
        // Without a preset nothing is encoded, so nothing is decoded either: a decoder planned
        // now would leave an earlier coder unlinked and its WAV would never be deleted.
        ResetJobs(file);
        return true;
    }
    if (!decodeOnly && !NeedsDecodedAudio(file, *coder, chain) &&
        CoderReadsSource(file, *coder, directInput)) {
        if (file.coder)
            file.coder->decoder = nullptr;
        file.decoder.reset();
        file.decoderInput.clear();
        const CodecEntry entry = coder->GetEntries().at(presetIndex);
        AssignCoder(coder, file);
        PrepareCoder(file, entry.commandLine, outputFolder, naming);
        file.presetName = entry.name;
        if (chain.verifyLossless)
            Verify(*file.coder, chain, decoders, FlacSamplesMd5(file));
        return true;
    }
    const bool decoded =
        PrepareDecoder(file, decoders, outputFolder, decodeOnly, naming, tempFolder);
    bool usable = decoded || file.fileType == kSourceWav;
    if (usable && !decodeOnly)
        usable = AddLimiter(file, chain, tempFolder);
    if (decodeOnly) {
        // A coder from an earlier plan would read a WAV that the new decoder no longer
        // writes; in decode-only mode the file has no coder.
        AssignCoder(nullptr, file);
        file.presetName.clear();
    } else if (usable) {
        const CodecEntry entry = coder->GetEntries().at(presetIndex);
        AssignCoder(coder, file);
        PrepareCoder(file, entry.commandLine, outputFolder, naming);
        file.presetName = entry.name;
        if (chain.verifyLossless)
            Verify(*file.coder, chain, decoders, {});
    }
    return usable;
}

bool ResetJobs(CFileInfo& file)
{
    file.decoderInput.clear();
    file.outputPath.clear();
    file.presetName.clear();
    file.coder.reset();
    file.decoder.reset();
    file.copyAsIs = false;
    return true;
}

QString GetDecoderCommandLine(const CFileInfo& file)
{
    if (!file.decoder)
        return {};
    CDecoder& decoder = *file.decoder;
    if (!decoder.limiter)
        return decoder.GetParameters();
    CDecoder& limiter = *decoder.limiter;
    return decoder.GetParameters() + u"  \u2192  "_s + FileNamePart(limiter.GetExecutable()) +
           u' ' + limiter.GetParameters();
}

QString GetCoderCommandLine(const CFileInfo& file)
{
    return file.coder ? file.coder->GetParameters() : QString();
}

bool IsSameFile(const QString& first, const QString& second)
{
    if (first.isEmpty() || second.isEmpty())
        return false;
    if (CleanedPath(first) == CleanedPath(second))
        return true;
    return ResolvedPath(first) == ResolvedPath(second);
}

bool WritesOwnInput(IProcess* process)
{
    auto* codec = dynamic_cast<CCodec*>(process);
    if (!codec)
        return false;
    const QString output = codec->GetOutputFile();
    if (IsSameFile(codec->GetInputFile(), output))
        return true;
    auto* coder = dynamic_cast<CCoder*>(codec);
    return coder && coder->decoder && IsSameFile(coder->decoder->GetInputFile(), output);
}

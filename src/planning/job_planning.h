#pragma once

#include "codecs/codec.h"
#include "codecs/command_template.h"
#include "planning/device_limits.h"
#include "planning/file_info.h"
#include "planning/name_pattern.h"
#include "planning/temporary_files.h"

#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

// Planning of each source file's decoder and coder runs: which programs run, with which
// command lines, and which files they read and write. Runs on the thread that plans (PlanFiles
// may share a plan's files with a second one).

using PlannedDecoders = std::vector<std::unique_ptr<CDecoder>>;

// How results are named: from the pattern below their output folder (or the source's folder
// when results go beside their sources), or, with an empty pattern, after their source.
struct ResultNaming
{
    CNamePattern pattern;
    bool fatSafe = false;
    // A name already built, extension included, that replaces the pattern: one file of a
    // batch handed on by itself keeps the name the whole batch gave it.
    QString fixedName;
    // When set, a name from the pattern that one of these paths already has gets " (2)",
    // " (3)"... before its extension, and each path given is added: the later of two files
    // whose tags give one name is numbered instead of left out.
    QSet<QString>* numberedAgainst = nullptr;
};

// The path of the file's result with the extension: see ResultNaming.
QString ResultPathOf(const CFileInfo& file, const QString& outputFolder, const QString& extension,
                     const ResultNaming& naming);

// Fills the values of one run from the file. The output path is the source path with the
// extension of the coder's first entry when the file has a coder job. False (values partly
// filled) when that coder has no entry.
bool FillTemplateValues(TemplateValues& values, const CFileInfo& file);

// Plans the file's decoder run with the first decoder whose entry handles its extension.
// In decode-only mode the WAV is the result (beside the source or in outputFolder), otherwise
// an intermediate file in tempFolder (ChooseTempFolder's choice; empty: the system temporary
// folder).
bool PrepareDecoder(CFileInfo& file, const PlannedDecoders& decoders, const QString& outputFolder,
                    bool decodeOnly, const ResultNaming& naming = {},
                    const QString& tempFolder = {});

// Gives the file its own copy of the coder (linked to the file's decoder run), or removes
// its coder run when there is no definition. A coder without entries is refused.
bool AssignCoder(CCoder* definition, CFileInfo& file);

// Fills the file's coder run from the template: input (the decoder's WAV or the source),
// output (beside the source or in outputFolder) and argument string.
bool PrepareCoder(CFileInfo& file, const QString& commandTemplate, const QString& outputFolder,
                  const ResultNaming& naming = {});

// The one place that decides whether the coder reads the source itself, with no decoder run and
// no intermediate WAV: direct input is wanted and the coder's "Inputs.ini" lists the source's
// extension. A feature that needs the decoded audio says no here.
bool CoderReadsSource(const CFileInfo& file, const CCoder& coder, bool directInput);

// The first decoder whose entries read the path's extension, and that entry; null for none.
const CDecoder* DecoderOf(const QString& path, const PlannedDecoders& decoders,
                          const CodecEntry** entry = nullptr);
// Whether PlanFile can plan the file at all: a decoder reads it, or it is a WAV that the coder
// reads as it is. Covers, logs and cue sheets beside the music are not.
bool IsReadableSource(const QString& path, const PlannedDecoders& decoders);

// What runs between the decoder and the coder, and after the coder, beyond the two programs.
struct AudioChain
{
    DeviceLimits limits;
    // sox as the program folder runs it; empty: no limit can be applied.
    QString limiterProgram;
    // A lossless coder's result is decoded again and compared with what the coder read.
    bool verifyLossless = false;
    // Made once a plan (VerificationOf), so that its jobs share one copy of the decoder; when
    // not set, each job gets its own.
    std::optional<ResultVerification> verification;
};

// Brings the file's audio within the limits: sox reads the decoder's WAV (or the WAV source)
// and writes the WAV the coder reads. Nothing when the source is within them. False when no
// command line or no temporary name could be made.
bool AddLimiter(CFileInfo& file, const AudioChain& chain, const QString& tempFolder);

// Gives a lossless coder's job the decoder that reads its result back (a WAV result needs
// none); no verification when no decoder reads the result's format.
// `sourceMd5`: what the source's STREAMINFO says of its samples, when the coder reads it itself.
void AddVerification(CCoder& coder, const PlannedDecoders& decoders, const QString& sourceMd5 = {});
// The verification AddVerification gives the coder's jobs, without the source's MD5.
std::optional<ResultVerification> VerificationOf(CCoder& coder, const PlannedDecoders& decoders);

// Plans both runs of a file the way Apply does: its decoder, then (unless decodeOnly) the coder
// with the preset at presetIndex; with directInput, a coder that reads the source itself gets
// it as its input and no decoder runs. False when the file can be neither decoded nor used as
// it is (it is no WAV). Without a coder or a preset at presetIndex (a coder without presets) the
// file is left with nothing planned, and true: a front end refuses that case before it plans.
// The intermediate WAV goes to tempFolder, as PrepareDecoder says.
// Limits and verification need the decoded audio: direct input gives way to them.
bool PlanFile(CFileInfo& file, const PlannedDecoders& decoders, CCoder* coder, int presetIndex,
              const QString& outputFolder, bool decodeOnly, bool directInput = false,
              const ResultNaming& naming = {}, const QString& tempFolder = {},
              const AudioChain& chain = {});

// Forgets the file's planned runs and the paths they were planned with.
bool ResetJobs(CFileInfo& file);

QString GetDecoderCommandLine(const CFileInfo& file);
QString GetCoderCommandLine(const CFileInfo& file);

// The path a file is known by once links and dot components are resolved; a file that does
// not exist yet is resolved through its folder. Empty for an empty path.
QString ResolvedPath(const QString& path);

// True when the two paths name the same file (the same spelling once cleaned, or the same
// existing file reached through links or dot components). Empty paths are never the same.
bool IsSameFile(const QString& first, const QString& second);

// True when the run would write a file it reads: its own input, or, for a coder that reads a
// decoder's WAV, the decoder's source. Such a run destroys the file it works from.
bool WritesOwnInput(IProcess* process);

#include "batch/batch_run.h"
#include "batch/shell_line.h"
#include "batch/sync_texts.h"
#include "foundation/command_line.h"
#include "foundation/path_helpers.h"
#include "report/run_report.h"

#include <QCoreApplication>
#include <QSet>

using namespace Qt::StringLiterals;
using Kind = SyncAction::Kind;
using RunReport::Text;

// What a dry run and --jobs print instead of converting: the command lines, or one line of
// orvel-batch a file; and what a dry run of --sync would do.

namespace {

// A value of a --jobs line: escaped so that it stands on one line, then quoted for the shell.
QString JobValue(const QString& value)
{
    return ShellQuote(JobLineEscape(value));
}

} // namespace

QList<CFileInfo*> CBatchRun::FilesInStartOrder() const
{
    QList<CFileInfo*> ordered;
    for (int index : session->StartOrder())
        ordered << session->File(index);
    return ordered;
}

void CBatchRun::PrintCommandLines(const QList<CFileInfo*>& planned)
{
    for (CFileInfo* file : planned) {
        // A copy rule's copy runs no program: its line says what lands where.
        if (file->copyAsIs) {
            out << "copy " << QuoteArgument(file->path) << ' '
                << QuoteArgument(file->PlannedResult()) << '\n';
            continue;
        }
        // An album image is decoded once, by its first track: the others' coders read from it.
        const bool ownDecoder = !file->coder || file->coder->decoder == file->decoder.get();
        CDecoder* decoder = ownDecoder ? file->decoder.get() : nullptr;
        for (IProcess* run : {static_cast<IProcess*>(decoder),
                              static_cast<IProcess*>(decoder ? decoder->limiter.get() : nullptr),
                              static_cast<IProcess*>(file->coder.get())}) {
            // A WAV image runs no decoder: its tracks are cut from it as it is.
            if (run != nullptr && !run->GetExecutable().isEmpty())
                out << QuoteArgument(run->GetExecutable()) << ' ' << run->GetParameters() << '\n';
        }
    }
}

void CBatchRun::PrintShellLines(const QList<CFileInfo*>& planned, const CBatchOptions& options)
{
    for (CFileInfo* file : planned)
        out << JobLine(*file, options) << '\n';
}

// Each line is orvel-batch itself converting one file, so that a line does all a local run
// does: hidden result then rename, tags, the result check, cleanup on every exit and signal.
// Every value is escaped to stand on one line whatever the name holds, then quoted for the
// shell: GNU parallel runs each line as a command, and sh or bash may read many.
QString CBatchRun::JobLine(CFileInfo& file, const CBatchOptions& options) const
{
    QString resultFolder = file.PlannedResult();
    RemoveFileSpec(resultFolder);
    QStringList words{ShellQuote(QCoreApplication::applicationFilePath()),
                      u"--job"_s,
                      u"--program-folder"_s,
                      JobValue(programFolder),
                      u"--coder"_s,
                      JobValue(coder->GetName())};
    if (presetIndex >= 0)
        words << u"--preset"_s << JobValue(coder->GetEntries()[presetIndex].name);
    words << u"--output"_s << JobValue(resultFolder) << u"--flat"_s;
    // As this call would measure: one file is no album, so a line writes track values at most.
    const bool gains =
        options.replayGain >= 0 ? options.replayGain > 0 : settings.general.replayGain != 0;
    words << u"--replaygain"_s << (gains ? u"track"_s : u"off"_s);
    // The name the whole batch gave the result, as it is: the line needs no tags read again.
    if (!pattern.IsEmpty() || !settings.general.namePattern.isEmpty())
        words << u"--result-name"_s << JobValue(FileNamePart(file.PlannedResult()));
    if (options.overwrite)
        words << u"--overwrite"_s;
    // The cover goes along from each line as it would from this call.
    // The line copies what this call would copy.
    words << (settings.general.copySameFormat != 0 ? u"--copy-same-format"_s
                                                   : u"--convert-same-format"_s)
          << u"--lossy"_s
          << QStringList{u"convert"_s, u"copy"_s, u"leave-out"_s}.value(
                 settings.general.lossyToLossy, u"convert"_s);
    words << (settings.general.copyCovers != 0 ? u"--covers"_s : u"--no-covers"_s)
          << u"--picture-size"_s << QString::number(settings.general.PictureMaxSide())
          << u"--copy-along"_s << JobValue(settings.general.copyAlongPatterns);
    // A track is its image's: the line decodes the image and keeps the one track.
    if (file.track) {
        words << u"--track"_s << QString::number(file.track->number) << u"--cue-gaps"_s
              << QStringList{u"previous"_s, u"own"_s, u"none"_s}.value(settings.general.cueGaps,
                                                                       u"previous"_s);
        if (!settings.general.cueEncoding.isEmpty())
            words << u"--cue-encoding"_s << JobValue(settings.general.cueEncoding);
    }
    // The line's machine limits and proves the result as this one would.
    const CSettingsDevice& device = settings.device;
    words << u"--max-rate"_s
          << (device.maxSampleRate > 0 ? QString::number(device.maxSampleRate / 1000.0) : u"keep"_s)
          << u"--max-bits"_s
          << (device.maxBitDepth > 0 ? QString::number(device.maxBitDepth) : u"keep"_s)
          << u"--channels"_s
          << QStringList{u"keep"_s, u"mono"_s, u"stereo"_s}.value(device.channels, u"keep"_s)
          << (device.verifyLossless != 0 ? u"--verify"_s : u"--no-verify"_s);
    words << u"--"_s << JobValue(file.path);
    return words.join(u' ');
}

void CBatchRun::PrintSyncPlan(const SyncPlan& plan)
{
    // As the sync itself will: a result's place taken by a file of the user's leaves it out.
    int leftOut = 0;
    int leftOutNew = 0;
    // Sources a copy rule copies as they are: their lines say "copy", and they are counted
    // apart from the added and converted ones.
    QSet<QString> copies;
    for (int index = 0; index < session->Count(); ++index) {
        if (session->IsCopy(index))
            copies.insert(session->File(index)->path);
    }
    int copiedNew = 0;
    int copiedAgain = 0;
    for (const SyncAction& action : plan.actions) {
        const QString because = action.reason.isEmpty() ? QString() : u": "_s + action.reason;
        if (action.kind == Kind::Add || action.kind == Kind::Convert) {
            if (librarySync->ForeignFileAt(action)) {
                out << "left out: " << action.source << ": "
                    << ForeignFileText(InCopy(action.result)) << '\n';
                ++leftOut;
                leftOutNew += action.kind == Kind::Add ? 1 : 0;
                continue;
            }
            if (copies.contains(action.source)) {
                out << Text(englishTexts, SyncText::kCopy, u"copy"_s) << ": " << action.source
                    << " -> " << InCopy(action.result) << '\n';
                ++(action.kind == Kind::Add ? copiedNew : copiedAgain);
                continue;
            }
        }
        switch (action.kind) {
        case Kind::Add:
            out << Text(englishTexts, SyncText::kAdd, u"add"_s) << ": " << action.source << " -> "
                << InCopy(action.result) << '\n';
            break;
        case Kind::Convert:
            out << Text(englishTexts, SyncText::kConvertAgain, u"convert again"_s) << ": "
                << action.source << " -> " << InCopy(action.result) << because << '\n';
            break;
        case Kind::Move:
            out << Text(englishTexts, SyncText::kMove, u"move"_s) << ": " << InCopy(action.from)
                << " -> " << InCopy(action.result) << because << '\n';
            break;
        case Kind::Remove:
            out << Text(englishTexts, SyncText::kRemove, u"remove"_s) << ": "
                << InCopy(action.result) << because << '\n';
            break;
        case Kind::KeepGone:
            out << Text(englishTexts, SyncText::kKept, u"kept"_s) << ": " << InCopy(action.result)
                << because << '\n';
            break;
        case Kind::KeepReplaced:
            out << Text(englishTexts, SyncText::kLeftAlone, u"left alone"_s) << ": "
                << InCopy(action.result) << because << '\n';
            break;
        case Kind::UpToDate:
        case Kind::Forget:
            break;
        }
    }
    // The covers and files along the results' folders would get.
    const QList<CompanionCopy> along = session->PlannedCompanions();
    for (const CompanionCopy& copy : along)
        out << Text(englishTexts, SyncText::kCopyAlong, u"copy along"_s) << ": " << copy.from
            << " -> " << copy.to << '\n';
    out << Text(englishTexts, SyncText::kWould,
                u"would: %1 added, %2 converted again, %3 moved, %4 removed, %5 up to date, %6 "
                u"kept, %7 left alone, %8 left out"_s)
               .arg(plan.Count(Kind::Add) - leftOutNew - copiedNew)
               .arg(plan.Count(Kind::Convert) - (leftOut - leftOutNew) - copiedAgain)
               .arg(plan.Count(Kind::Move))
               .arg(plan.Count(Kind::Remove))
               .arg(plan.Count(Kind::UpToDate))
               .arg(plan.Count(Kind::KeepGone))
               .arg(plan.Count(Kind::KeepReplaced))
               .arg(leftOut)
        << Text(englishTexts, SyncText::kCopied, u", %1 copied"_s).arg(copiedNew + copiedAgain)
        << Text(englishTexts, SyncText::kCopiedAlong, u", %1 copied along"_s).arg(along.size())
        << '\n';
    out.flush();
}

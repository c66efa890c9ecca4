#include "audio/audio_digest.h"
#include "batch/batch_run.h"
#include "batch/sync_texts.h"
#include "filelist/folder_walk.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "planning/output_tree.h"
#include "report/run_report.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

// orvel-batch --sync: the output folder is a copy of the library folders, kept by the record
// in it. Only what changed is converted, renamed sources move their results, and only results
// the record lists (and still as recorded) are ever moved or removed.

namespace {

// The tracks of an album image share its path: each is a source of its own in the copy's
// record, named by the image's path and its number.
constexpr QStringView kTrackMark = u"#track ";

QString SyncKeyOf(const CFileInfo& file)
{
    return file.track ? file.path + kTrackMark.toString() + QString::number(file.track->number)
                      : file.path;
}

// A track's audio is a stretch of its image, which all its tracks share: a digest of the whole
// image would take one track for another, so a track is never found moved.
QString SourceDigest(const QString& source)
{
    return source.contains(kTrackMark) ? QString() : AudioDigest(source);
}

using Kind = SyncAction::Kind;
using RunReport::Text;

QString WithoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// A drive that is not mounted leaves an empty folder (or none) where the library was.
bool HoldsFiles(const QString& root)
{
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    return it.hasNext();
}

bool Within(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

// As the result's own entry, never what a link at its place points to: a link is no result
// the record can hold.
std::optional<FoundResult> StampOfResult(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return FoundResult{-1, 0};
    FoundResult found;
    if (!os::FileStamp(path, found.size, found.timeNs))
        return std::nullopt;
    return found;
}

bool ExistsAt(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

int CBatchRun::Sync(const CBatchOptions& options, const QString& outputFolder)
{
    syncFolder = outputFolder;
    QStringList roots;
    for (const QString& input : options.inputs) {
        const QFileInfo info(input);
        const QString root = WithoutTrailingSeparator(CleanedPath(info.absoluteFilePath()));
        if (info.exists() && !info.isDir()) {
            err << "orvel-batch: "
                << Text(englishTexts, SyncText::kNotAFolder,
                        u"--sync takes library folders, not files: %1"_s)
                       .arg(input)
                << '\n';
            return kBadArguments;
        }
        const QString copy = WithoutTrailingSeparator(outputFolder);
        if (Within(copy, root) || Within(root, copy)) {
            err << "orvel-batch: "
                << Text(englishTexts, SyncText::kCopyInLibrary,
                        u"the copy's folder %1 and the library folder %2 lie one inside the "
                        u"other: the copy would copy itself"_s)
                       .arg(copy, root)
                << '\n';
            return kBadArguments;
        }
        roots << root;
    }
    if (!GatherLibrary(roots, options, outputFolder))
        return kBadArguments;
    if (const int signal = os::CaughtStopSignal(); signal != 0) {
        PrintSummary(0, signal);
        return ExitStatus(signal);
    }
    if (!OpenCopyRecord(outputFolder, options.dryRun))
        return kSyncRefused;

    SyncInputs inputs;
    inputs.roots = roots;
    inputs.sources = SyncSources(outputFolder);
    inputs.settings = syncSignature = SyncSignature();
    inputs.deleteGone = options.deleteGone;
    inputs.deleteMany = options.deleteMany;
    inputs.rootHoldsFiles = HoldsFiles;
    inputs.findResult = [this](const QString& result) { return StampOfResult(InCopy(result)); };
    inputs.digest = SourceDigest;
    if (copyRecord) {
        inputs.recordRoots = copyRecord->Roots();
        inputs.record = copyRecord->Entries();
        for (const CopyEntry& entry : std::as_const(inputs.record))
            recordedBySource.insert(entry.source, entry);
    }
    const SyncPlan plan = PlanSync(inputs);
    if (!plan.refusal.isEmpty()) {
        err << "orvel-batch: "
            << Text(englishTexts, SyncText::kRefused, u"sync refused: %1"_s).arg(plan.refusal)
            << '\n';
        return kSyncRefused;
    }
    if (options.dryRun) {
        PrintSyncPlan(plan);
        return ExitStatus(0);
    }
    if (!copyRecord->SetRoots(roots)) {
        err << "orvel-batch: "
            << Text(englishTexts, SyncText::kRecordNotWritten,
                    u"the copy's record %1 could not be "
                    u"written: %2"_s)
                   .arg(InCopy(QString::fromLatin1(CCopyRecord::kFileName)),
                        copyRecord->LastError())
            << '\n';
        return kSyncRefused;
    }
    const QList<int> toConvert = CarryOutSync(plan);
    if (toConvert.isEmpty() || os::CaughtStopSignal() != 0) {
        const int signal = os::CaughtStopSignal();
        PrintSummary(0, signal);
        return ExitStatus(signal);
    }
    session->Sort(toConvert);
    return Convert(true);
}

// Every file below the roots, planned as the copy's results: the tree below each root (below
// the roots' common folder when there are several) repeated in the copy.
bool CBatchRun::GatherLibrary(const QStringList& roots, const CBatchOptions& options,
                              const QString& outputFolder)
{
    const ReadProgress progress = [this](qsizetype done, qsizetype total) {
        if (terminal)
            err << "\rReading " << done << " of " << total << " files" << Qt::flush;
        return os::CaughtStopSignal() == 0;
    };
    QStringList rootsAsFiles;
    for (const QString& root : roots) {
        rootsAsFiles << root + u"/file"_s;
        // A root that is not there is refused by the plan, with its reason.
        if (HoldsFiles(root))
            AddFolder(root, progress);
    }
    session = std::make_unique<CConversionSession>(settings, programFolder, decoders, core);
    QObject::connect(session.get(), &CConversionSession::FileStateChanged, session.get(),
                     [this](int index, FileState state) { OnFileState(index, state); });
    QList<CFileInfo*> sources;
    for (qsizetype i = 0; i < files.Count(); ++i) {
        sources << files.At(i);
        fileIndexOf.insert(SyncKeyOf(*files.At(i)), int(i));
    }
    session->SetSources(sources);
    SessionOverrides overrides = OverridesOf(options, outputFolder);
    overrides.keepFolders = true;
    QString treeRoot = roots.size() == 1 ? roots.first() : DeepestCommonFolder(rootsAsFiles);
    AddBackslash(treeRoot);
    overrides.treeRoot = treeRoot;
    // The record decides what is up to date; the results it lists may be replaced.
    overrides.overwrite = true;
    session->SetOverrides(overrides);
    const bool decodeOnly = coder == coders.back().get();
    session->Plan({}, decodeOnly ? nullptr : coder, presetIndex, decodeOnly);
    return true;
}

// What makes one result differ from another of the same source: a change here converts the
// copy again.
QString CBatchRun::SyncSignature() const
{
    QStringList parts{u"coder=%1"_s.arg(coder->GetName())};
    if (presetIndex >= 0) {
        const CodecEntry& preset = coder->GetEntries()[presetIndex];
        parts << u"preset=%1"_s.arg(preset.name) << u"command=%1"_s.arg(preset.commandLine)
              << u"extension=%1"_s.arg(preset.extension);
    }
    parts << u"replaygain=%1/%2"_s.arg(settings.general.replayGain)
                 .arg(settings.general.replayGain != 0 ? settings.general.replayGainAlbum : 0)
          << u"tags=%1"_s.arg(settings.general.copyTags);
    return parts.join(u'\n');
}

QList<SyncSource> CBatchRun::SyncSources(const QString& outputFolder)
{
    QList<SyncSource> sources;
    for (int index = 0; index < session->Count(); ++index) {
        const CFileInfo& file = *session->File(index);
        if (session->State(index) != FileState::Planned ||
            !file.PlannedResult().startsWith(outputFolder))
            continue;
        SyncSource source;
        source.path = SyncKeyOf(file);
        if (!os::FileStamp(file.path, source.size, source.timeNs))
            continue;
        source.result = file.PlannedResult().mid(outputFolder.size());
        sources << source;
        syncSourceOf.insert(source.path, source);
    }
    return sources;
}

bool CBatchRun::OpenCopyRecord(const QString& outputFolder, bool dryRun)
{
    // A dry run writes nothing, not even an empty record.
    if (dryRun && !QFileInfo::exists(InCopy(QString::fromLatin1(CCopyRecord::kFileName))))
        return true;
    QString error;
    if (!QDir().mkpath(outputFolder)) {
        err << "orvel-batch: cannot create the folder " << outputFolder << '\n';
        return false;
    }
    copyRecord = CCopyRecord::Open(outputFolder, &error);
    if (!copyRecord)
        err << "orvel-batch: " << error << '\n';
    return copyRecord != nullptr;
}

// Only a result the record lists for this very source may be replaced: why this one may not,
// or empty.
QString CBatchRun::ForeignFileAt(const SyncAction& action) const
{
    const std::optional<CopyEntry> there =
        copyRecord ? copyRecord->EntryForResult(action.result) : std::nullopt;
    if (!ExistsAt(InCopy(action.result)) || (there && there->source == action.source))
        return {};
    return Text(englishTexts, SyncText::kForeignFile,
                u"a file the copy's record does not list is at %1; it is never replaced"_s)
        .arg(InCopy(action.result));
}

// Moves and removals first, so that a result moving away frees its name for one converted
// now; returns the indexes of the files to convert.
QList<int> CBatchRun::CarryOutSync(const SyncPlan& plan)
{
    QList<int> toConvert;
    for (const SyncAction& action : plan.actions) {
        if (os::CaughtStopSignal() != 0)
            return {};
        const QString because = action.reason.isEmpty() ? QString() : u": "_s + action.reason;
        switch (action.kind) {
        case Kind::Move:
            if (MoveResult(action))
                ++tally.moved;
            break;
        case Kind::Remove:
            if (RemoveResult(action))
                ++tally.removed;
            break;
        case Kind::Forget:
            copyRecord->Remove(action.result);
            break;
        case Kind::KeepGone:
            out << Text(englishTexts, SyncText::kKept, u"kept"_s) << ": " << InCopy(action.result)
                << because << '\n';
            ++tally.kept;
            break;
        case Kind::KeepReplaced:
            err << Text(englishTexts, SyncText::kLeftAlone, u"left alone"_s) << ": "
                << InCopy(action.result) << because << '\n';
            ++tally.leftAlone;
            break;
        case Kind::UpToDate:
            ++tally.upToDate;
            break;
        case Kind::Add:
        case Kind::Convert:
            break;
        }
    }
    // After the moves: a name a move freed may be taken by a new result.
    for (const SyncAction& action : plan.actions) {
        if (action.kind != Kind::Add && action.kind != Kind::Convert)
            continue;
        if (const QString foreign = ForeignFileAt(action); !foreign.isEmpty()) {
            Report(action.source, foreign);
            continue;
        }
        toConvert << fileIndexOf.value(action.source);
    }
    out.flush();
    return toConvert;
}

bool CBatchRun::MoveResult(const SyncAction& action)
{
    const QString from = InCopy(action.from);
    const QString to = InCopy(action.result);
    const std::optional<CopyEntry> entry = copyRecord->EntryForResult(action.from);
    if (!entry)
        return false;
    if (ExistsAt(to)) {
        Report(
            from,
            Text(englishTexts, SyncText::kNewPlaceTaken, u"not moved: a file is at %1"_s).arg(to));
        return false;
    }
    QString folder = to;
    RemoveFileSpec(folder);
    if (!QDir().mkpath(folder) || !QFile::rename(from, to)) {
        ++tally.failed;
        err << "FAILED: "
            << Text(englishTexts, SyncText::kNotMoved, u"%1 could not be moved to %2"_s)
                   .arg(from, to)
            << '\n';
        return false;
    }
    CopyEntry moved = *entry;
    moved.result = action.result;
    moved.source = action.source;
    const SyncSource source = syncSourceOf.value(action.source);
    moved.sourceSize = source.size;
    moved.sourceTimeNs = source.timeNs;
    // The new entry first: an interruption between the two leaves an entry whose file is
    // gone, which the next sync forgets, never a moved file the record does not list.
    if (!copyRecord->Put(moved) || !copyRecord->Remove(action.from))
        err << "warning: " << copyRecord->LastError() << '\n';
    out << Text(englishTexts, SyncText::kMoved, u"moved"_s) << ": " << from << " -> " << to << '\n';
    PruneEmptiedFolders(action.from);
    return true;
}

bool CBatchRun::RemoveResult(const SyncAction& action)
{
    const QString path = InCopy(action.result);
    // A source that is there but was not planned (it could not be read, say) is not gone.
    if (ExistsAt(action.source)) {
        out << Text(englishTexts, SyncText::kKept, u"kept"_s) << ": " << path << ": "
            << Text(englishTexts, SyncText::kSourceNotConverted,
                    u"its source is there but was not converted"_s)
            << '\n';
        ++tally.kept;
        return false;
    }
    if (!QFile::remove(path)) {
        ++tally.failed;
        err << "FAILED: "
            << Text(englishTexts, SyncText::kNotRemoved, u"%1 could not be removed"_s).arg(path)
            << '\n';
        return false;
    }
    copyRecord->Remove(action.result);
    out << Text(englishTexts, SyncText::kRemoved, u"removed"_s) << ": " << path << ": "
        << action.reason << '\n';
    PruneEmptiedFolders(action.result);
    return true;
}

// The folders a removal or a move left empty go with it, up to the copy's own folder; rmdir
// refuses any folder that still holds something.
void CBatchRun::PruneEmptiedFolders(const QString& result)
{
    QString folder = result;
    for (;;) {
        const qsizetype slash = folder.lastIndexOf(u'/');
        if (slash <= 0)
            return;
        folder.truncate(slash);
        if (!QDir().rmdir(InCopy(folder)))
            return;
    }
}

// Each result is written into the record as it lands, in its own transaction, so an
// interrupted sync keeps what it finished.
void CBatchRun::RecordConverted(const CFileInfo& file)
{
    const auto known = syncSourceOf.constFind(SyncKeyOf(file));
    if (known == syncSourceOf.cend())
        return;
    CopyEntry entry;
    entry.result = known->result;
    entry.source = known->path;
    entry.sourceSize = known->size;
    entry.sourceTimeNs = known->timeNs;
    entry.sourceDigest = SourceDigest(known->path);
    entry.settings = syncSignature;
    if (!os::FileStamp(InCopy(known->result), entry.resultSize, entry.resultTimeNs) ||
        !copyRecord->Put(entry)) {
        err << "warning: "
            << Text(englishTexts, SyncText::kRecordNotWritten,
                    u"the copy's record %1 could not be written: %2"_s)
                   .arg(InCopy(QString::fromLatin1(CCopyRecord::kFileName)),
                        copyRecord->LastError())
            << '\n';
        return;
    }
    // The result it had under another name (a new coder's extension, a new name from its
    // tags) is superseded: it goes while it is still the one recorded.
    for (const CopyEntry& old : recordedBySource.values(known->path)) {
        if (old.result == entry.result)
            continue;
        const std::optional<FoundResult> found = StampOfResult(InCopy(old.result));
        if (found && found->size == old.resultSize &&
            SameResultTime(old.resultTimeNs, found->timeNs)) {
            if (QFile::remove(InCopy(old.result)))
                PruneEmptiedFolders(old.result);
        } else if (found) {
            err << Text(englishTexts, SyncText::kLeftAlone, u"left alone"_s) << ": "
                << InCopy(old.result) << ": its result was changed outside orvel\n";
        }
        copyRecord->Remove(old.result);
    }
}

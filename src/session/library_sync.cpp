#include "session/library_sync.h"

#include "audio/audio_digest.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "library/copy_snapshot.h"
#include "planning/output_tree.h"
#include "session/conversion_session.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

using Kind = SyncAction::Kind;
using Event = LibrarySyncEvent::Kind;

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

bool Within(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

QString WithoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

bool ExistsAt(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

CLibrarySync::CLibrarySync(CConversionSession& syncedSession, QString folder, Listener tell)
    : session(syncedSession), copyFolder(std::move(folder)), listener(std::move(tell))
{
}

CLibrarySync::~CLibrarySync() = default;

QString CLibrarySync::TreeRootOf(const QStringList& roots)
{
    QStringList rootsAsFiles;
    for (const QString& root : roots)
        rootsAsFiles << root + u"/file"_s;
    QString treeRoot = roots.size() == 1 ? roots.first() : DeepestCommonFolder(rootsAsFiles);
    AddBackslash(treeRoot);
    return treeRoot;
}

bool CLibrarySync::HoldsFiles(const QString& root)
{
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    return it.hasNext();
}

bool CLibrarySync::Nested(const QString& root, const QString& copyFolder)
{
    const QString copy = WithoutTrailingSeparator(copyFolder);
    return Within(copy, root) || Within(root, copy);
}

bool CLibrarySync::OpenRecord(bool dryRun, QString* error)
{
    // A dry run writes nothing, not even an empty record.
    if (dryRun && !QFileInfo::exists(RecordPath()))
        return true;
    if (!QDir().mkpath(copyFolder)) {
        *error = u"cannot create the folder "_s + copyFolder;
        return false;
    }
    record = CCopyRecord::Open(copyFolder, error);
    return record != nullptr;
}

QString CLibrarySync::RecordError() const
{
    return record ? record->LastError() : QString();
}

QString CLibrarySync::RecordPath() const
{
    return InCopy(QString::fromLatin1(CCopyRecord::kFileName));
}

SyncPlan CLibrarySync::Plan(const QStringList& roots, const QString& settings, bool deleteGone,
                            bool deleteMany, const CopySnapshot* snapshot)
{
    SyncInputs inputs;
    inputs.roots = roots;
    inputs.sources = Sources();
    inputs.settings = signature = settings;
    inputs.deleteGone = deleteGone;
    inputs.deleteMany = deleteMany;
    inputs.rootHoldsFiles = HoldsFiles;
    inputs.findResult = [this, snapshot](const QString& result) {
        if (snapshot) {
            if (const auto found = snapshot->results.constFind(result);
                found != snapshot->results.cend())
                return *found;
        }
        return StampOfResult(InCopy(result));
    };
    inputs.digest = SourceDigest;
    if (record) {
        const bool fresh = snapshot && snapshot->read;
        inputs.recordRoots = fresh ? snapshot->roots : record->Roots();
        inputs.record = fresh ? snapshot->entries : record->Entries();
        for (const CopyEntry& entry : std::as_const(inputs.record))
            recordedBySource.insert(entry.source, entry);
    }
    return PlanSync(inputs);
}

bool CLibrarySync::SaveRoots(const QStringList& roots)
{
    return record && record->SetRoots(roots);
}

QList<SyncSource> CLibrarySync::Sources()
{
    QList<SyncSource> sources;
    for (int index = 0; index < session.Count(); ++index) {
        const CFileInfo& file = *session.File(index);
        fileIndexOf.insert(SyncKeyOf(file), index);
        if (session.State(index) != FileState::Planned ||
            !file.PlannedResult().startsWith(copyFolder))
            continue;
        SyncSource source;
        source.path = SyncKeyOf(file);
        // A file's size and time as it was read a moment ago: a change since then converts it
        // again on the next sync, never the other way round.
        if (!file.track && file.modifiedNs != 0) {
            source.size = file.size;
            source.timeNs = file.modifiedNs;
        } else if (!os::FileStamp(file.path, source.size, source.timeNs)) {
            continue;
        }
        source.result = file.PlannedResult().mid(copyFolder.size());
        source.settings = session.MadeWith(index);
        sources << source;
        sourceOf.insert(source.path, source);
    }
    return sources;
}

// Only a result the record lists for this very source may be replaced.
bool CLibrarySync::ForeignFileAt(const SyncAction& action) const
{
    const std::optional<CopyEntry> there =
        record ? record->EntryForResult(action.result) : std::nullopt;
    return ExistsAt(InCopy(action.result)) && !(there && there->source == action.source);
}

// Moves and removals first, so that a result moving away frees its name for one converted
// now.
QList<int> CLibrarySync::CarryOut(const SyncPlan& plan, const std::function<bool()>& stopped)
{
    QList<int> inPlace;
    for (const SyncAction& action : plan.actions) {
        if (stopped())
            return {};
        const QString path = InCopy(action.result);
        switch (action.kind) {
        case Kind::Move:
            if (MoveResult(action))
                inPlace << fileIndexOf.value(action.source);
            break;
        case Kind::Remove:
            RemoveResult(action);
            break;
        case Kind::Forget:
            record->Remove(action.result);
            break;
        case Kind::KeepGone:
            Tell(Event::Kept, path, {}, action.reason);
            break;
        case Kind::KeepReplaced:
            Tell(Event::LeftAlone, path, {}, action.reason);
            break;
        case Kind::UpToDate:
            Tell(Event::UpToDate, path);
            inPlace << fileIndexOf.value(action.source);
            break;
        case Kind::Add:
        case Kind::Convert:
            break;
        }
    }
    // Their folders get their covers too, with the run's or without one.
    session.SetResultsInPlace(inPlace);
    // After the moves: a name a move freed may be taken by a new result.
    QList<int> toConvert;
    for (const SyncAction& action : plan.actions) {
        if (action.kind != Kind::Add && action.kind != Kind::Convert)
            continue;
        if (ForeignFileAt(action)) {
            Tell(Event::ForeignFile, action.source, InCopy(action.result));
            continue;
        }
        toConvert << fileIndexOf.value(action.source);
    }
    return toConvert;
}

bool CLibrarySync::MoveResult(const SyncAction& action)
{
    const QString from = InCopy(action.from);
    const QString to = InCopy(action.result);
    const std::optional<CopyEntry> entry = record->EntryForResult(action.from);
    if (!entry)
        return false;
    if (ExistsAt(to)) {
        Tell(Event::NewPlaceTaken, from, to);
        return false;
    }
    QString folder = to;
    RemoveFileSpec(folder);
    if (!QDir().mkpath(folder) || !QFile::rename(from, to)) {
        Tell(Event::NotMoved, from, to);
        return false;
    }
    CopyEntry moved = *entry;
    moved.result = action.result;
    moved.source = action.source;
    const SyncSource source = sourceOf.value(action.source);
    moved.sourceSize = source.size;
    moved.sourceTimeNs = source.timeNs;
    // The new entry first: an interruption between the two leaves an entry whose file is
    // gone, which the next sync forgets, never a moved file the record does not list.
    if (!record->Put(moved) || !record->Remove(action.from))
        Tell(Event::RecordNotWritten, from, to, record->LastError());
    Tell(Event::Moved, from, to);
    PruneEmptiedFolders(action.from);
    return true;
}

bool CLibrarySync::RemoveResult(const SyncAction& action)
{
    const QString path = InCopy(action.result);
    // A source that is there but was not planned (it could not be read, say) is not gone.
    if (ExistsAt(action.source)) {
        Tell(Event::SourceThere, path);
        return false;
    }
    if (!QFile::remove(path)) {
        Tell(Event::NotRemoved, path);
        return false;
    }
    record->Remove(action.result);
    Tell(Event::Removed, path, {}, action.reason);
    PruneEmptiedFolders(action.result);
    return true;
}

// The folders a removal or a move left empty go with it, up to the copy's own folder; rmdir
// refuses any folder that still holds something.
void CLibrarySync::PruneEmptiedFolders(const QString& result)
{
    QString folder = result;
    for (;;) {
        const qsizetype slash = folder.lastIndexOf(u'/');
        if (slash <= 0)
            return;
        folder.truncate(slash);
        RemoveOwnCompanions(folder);
        if (!QDir().rmdir(InCopy(folder)))
            return;
    }
}

// A folder whose last result went loses the covers and files orvel carried into it, while each
// is still as orvel wrote it; a file of the user's there keeps the folder.
void CLibrarySync::RemoveOwnCompanions(const QString& folder)
{
    if (record->HoldsResultsIn(folder))
        return;
    for (const CompanionEntry& along : record->CompanionsIn(folder)) {
        const std::optional<FoundResult> found = StampOfResult(InCopy(along.result));
        if (found && found->size == along.size && SameResultTime(along.timeNs, found->timeNs) &&
            QFile::remove(InCopy(along.result)))
            record->RemoveCompanion(along.result);
        else if (!found)
            record->RemoveCompanion(along.result);
    }
}

void CLibrarySync::RecordConverted(const CFileInfo& file)
{
    const auto known = sourceOf.constFind(SyncKeyOf(file));
    if (!record || known == sourceOf.cend())
        return;
    CopyEntry entry;
    entry.result = known->result;
    entry.source = known->path;
    entry.sourceSize = known->size;
    entry.sourceTimeNs = known->timeNs;
    entry.sourceDigest = SourceDigest(known->path);
    entry.settings = known->settings.isEmpty() ? signature : known->settings;
    if (!os::FileStamp(InCopy(known->result), entry.resultSize, entry.resultTimeNs) ||
        !record->Put(entry)) {
        Tell(Event::RecordNotWritten, InCopy(known->result), {}, record->LastError());
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
            Tell(Event::ChangedOutside, InCopy(old.result));
        }
        record->Remove(old.result);
    }
}

void CLibrarySync::Tell(LibrarySyncEvent::Kind kind, const QString& path, const QString& other,
                        const QString& reason) const
{
    if (listener)
        listener({kind, path, other, reason});
}

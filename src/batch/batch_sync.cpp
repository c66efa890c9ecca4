#include "batch/batch_run.h"
#include "batch/sync_texts.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "library/copy_snapshot.h"
#include "library/sync_signature.h"
#include "report/run_report.h"

#include <QFileInfo>
#include <future>

using namespace Qt::StringLiterals;

// orvel-batch --sync: the output folder is a copy of the library folders, kept by the record
// in it through the library sync every front end uses; here it is worded and counted.

namespace {

using RunReport::Text;

QString WithoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

bool Stopped()
{
    return os::CaughtStopSignal() != 0;
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
        if (CLibrarySync::Nested(root, outputFolder)) {
            err << "orvel-batch: "
                << Text(englishTexts, SyncText::kCopyInLibrary,
                        u"the copy's folder %1 and the library folder %2 lie one inside the "
                        u"other: the copy would copy itself"_s)
                       .arg(WithoutTrailingSeparator(outputFolder), root)
                << '\n';
            return kBadArguments;
        }
        roots << root;
    }
    // The copy is looked at while the library is read: the two halves of the floor of a sync.
    std::future<CopySnapshot> copyLook =
        std::async(std::launch::async, ReadCopySnapshot, outputFolder);
    GatherLibrary(roots, options, outputFolder);
    const CopySnapshot copy = copyLook.get();
    if (const int signal = os::CaughtStopSignal(); signal != 0) {
        PrintSummary(0, signal);
        return ExitStatus(signal);
    }
    librarySync = std::make_unique<CLibrarySync>(
        *session, outputFolder, [this](const LibrarySyncEvent& event) { OnSyncEvent(event); });
    if (QString error; !librarySync->OpenRecord(options.dryRun, &error)) {
        err << "orvel-batch: " << error << '\n';
        return kSyncRefused;
    }
    const SyncPlan plan = librarySync->Plan(roots, SyncSignature(*coder, presetIndex, settings),
                                            options.deleteGone, options.deleteMany, &copy);
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
    if (!librarySync->SaveRoots(roots)) {
        err << "orvel-batch: "
            << Text(englishTexts, SyncText::kRecordNotWritten,
                    u"the copy's record %1 could not be "
                    u"written: %2"_s)
                   .arg(librarySync->RecordPath(), librarySync->RecordError())
            << '\n';
        return kSyncRefused;
    }
    const QList<int> toConvert = librarySync->CarryOut(plan, Stopped);
    out.flush();
    if (toConvert.isEmpty() || os::CaughtStopSignal() != 0) {
        const int signal = os::CaughtStopSignal();
        // Moved results and those up to date still get their folders' covers.
        if (signal == 0) {
            session->CarryCompanionsWithoutRun();
            PrintCompanions();
        }
        PrintSummary(0, signal);
        return ExitStatus(signal);
    }
    session->Sort(toConvert);
    return Convert(true);
}

// Every file below the roots, planned as the copy's results: the tree below each root (below
// the roots' common folder when there are several) repeated in the copy.
void CBatchRun::GatherLibrary(const QStringList& roots, const CBatchOptions& options,
                              const QString& outputFolder)
{
    const ReadProgress progress = [this](qsizetype done, qsizetype total) {
        if (terminal)
            err << "\rReading " << done << " of " << total << " files" << Qt::flush;
        return os::CaughtStopSignal() == 0;
    };
    for (const QString& root : roots) {
        // A root that is not there is refused by the plan, with its reason.
        if (CLibrarySync::HoldsFiles(root))
            AddFolder(root, progress);
    }
    session = std::make_unique<CConversionSession>(settings, programFolder, decoders, core);
    QObject::connect(session.get(), &CConversionSession::FileStateChanged, session.get(),
                     [this](int index, FileState state) { OnFileState(index, state); });
    QList<CFileInfo*> sources;
    for (qsizetype i = 0; i < files.Count(); ++i)
        sources << files.At(i);
    session->SetSources(sources);
    SessionOverrides overrides = OverridesOf(options, outputFolder);
    overrides.keepFolders = true;
    overrides.treeRoot = CLibrarySync::TreeRootOf(roots);
    // The record decides what is up to date; the results it lists may be replaced.
    overrides.overwrite = true;
    session->SetOverrides(overrides);
    const bool decodeOnly = coder == coders.back().get();
    session->Plan({}, decodeOnly ? nullptr : coder, presetIndex, decodeOnly);
}

void CBatchRun::OnSyncEvent(const LibrarySyncEvent& event)
{
    using Kind = LibrarySyncEvent::Kind;
    const QString because = event.reason.isEmpty() ? QString() : u": "_s + event.reason;
    switch (event.kind) {
    case Kind::Moved:
        ++tally.moved;
        out << Text(englishTexts, SyncText::kMoved, u"moved"_s) << ": " << event.path << " -> "
            << event.other << '\n';
        break;
    case Kind::NotMoved:
        ++tally.failed;
        err << "FAILED: "
            << Text(englishTexts, SyncText::kNotMoved, u"%1 could not be moved to %2"_s)
                   .arg(event.path, event.other)
            << '\n';
        break;
    case Kind::NewPlaceTaken:
        Report(event.path,
               Text(englishTexts, SyncText::kNewPlaceTaken, u"not moved: a file is at %1"_s)
                   .arg(event.other));
        break;
    case Kind::Removed:
        ++tally.removed;
        out << Text(englishTexts, SyncText::kRemoved, u"removed"_s) << ": " << event.path << ": "
            << event.reason << '\n';
        break;
    case Kind::NotRemoved:
        ++tally.failed;
        err << "FAILED: "
            << Text(englishTexts, SyncText::kNotRemoved, u"%1 could not be removed"_s)
                   .arg(event.path)
            << '\n';
        break;
    case Kind::SourceThere:
        ++tally.kept;
        out << Text(englishTexts, SyncText::kKept, u"kept"_s) << ": " << event.path << ": "
            << Text(englishTexts, SyncText::kSourceNotConverted,
                    u"its source is there but was not converted"_s)
            << '\n';
        break;
    case Kind::Kept:
        ++tally.kept;
        out << Text(englishTexts, SyncText::kKept, u"kept"_s) << ": " << event.path << because
            << '\n';
        break;
    case Kind::LeftAlone:
        ++tally.leftAlone;
        err << Text(englishTexts, SyncText::kLeftAlone, u"left alone"_s) << ": " << event.path
            << because << '\n';
        break;
    case Kind::UpToDate:
        ++tally.upToDate;
        break;
    case Kind::ForeignFile:
        Report(event.path, ForeignFileText(event.other));
        break;
    case Kind::RecordNotWritten:
        err << "warning: "
            << Text(englishTexts, SyncText::kRecordNotWritten,
                    u"the copy's record %1 could not be written: %2"_s)
                   .arg(librarySync->RecordPath(), event.reason)
            << '\n';
        break;
    case Kind::ChangedOutside:
        err << Text(englishTexts, SyncText::kLeftAlone, u"left alone"_s) << ": " << event.path
            << ": its result was changed outside orvel\n";
        break;
    }
}

QString CBatchRun::ForeignFileText(const QString& path) const
{
    return Text(englishTexts, SyncText::kForeignFile,
                u"a file the copy's record does not list is at %1; it is never replaced"_s)
        .arg(path);
}

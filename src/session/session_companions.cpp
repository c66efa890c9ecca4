#include "foundation/console_log.h"
#include "foundation/os.h"
#include "library/copy_record.h"
#include "planning/companion_files.h"
#include "run/companion_copy.h"
#include "session/conversion_session.h"
#include "settings/settings_set.h"

#include <QFileInfo>

namespace {

// The record of a library copy in the output folder, when there is one: the covers orvel
// carries into it are listed there, so that they go with their album's results.
std::unique_ptr<CCopyRecord> CopyRecordIn(const QString& folder)
{
    if (folder.isEmpty() ||
        !QFileInfo::exists(folder + QString::fromLatin1(CCopyRecord::kFileName)))
        return nullptr;
    QString error;
    return CCopyRecord::Open(folder, &error);
}

void RecordCompanion(CCopyRecord& record, const QString& folder, const QString& path)
{
    CompanionEntry entry{path.mid(folder.size())};
    if (path.startsWith(folder) && os::FileStamp(path, entry.size, entry.timeNs))
        record.PutCompanion(entry);
}

} // namespace

CompanionOptions CConversionSession::Companions() const
{
    const CSettingsGeneral& general = settings.general;
    return {general.copyCovers != 0, general.PictureMaxSide(), general.copyAlongPatterns,
            overrides.listedFolders};
}

void CConversionSession::CarryCompanions()
{
    const CompanionOptions options = Companions();
    QList<const CFileInfo*> landed;
    for (const FileRecord& record : files) {
        if (record.state == FileState::Converted || record.state == FileState::UpToDate ||
            (record.inPlace && record.state != FileState::Failed))
            landed << record.file;
    }
    const std::unique_ptr<CCopyRecord> copyRecord = CopyRecordIn(plannedFolder);
    for (const auto& [sourceFolder, resultFolder] : ResultFoldersOf(landed)) {
        for (const CompanionCopy& copy :
             CompanionsOf(sourceFolder, resultFolder, options, decoders)) {
            const CompanionResult result = CarryCompanion(copy);
            if (result.outcome == CompanionOutcome::Copied)
                ++companionsCopied;
            else if (!result.reason.isEmpty()) {
                companionNotes << result.reason;
                ConsoleLog::Instance().Append(result.reason);
            }
            // Orvel's own copy, new or found as it wrote it, is the record's to remove.
            const bool ours = result.outcome == CompanionOutcome::Copied ||
                              result.outcome == CompanionOutcome::UpToDate;
            if (copyRecord && ours)
                RecordCompanion(*copyRecord, plannedFolder, copy.to);
        }
    }
}

QList<CompanionCopy> CConversionSession::PlannedCompanions() const
{
    const CompanionOptions options = Companions();
    QList<const CFileInfo*> planned;
    for (const FileRecord& record : files) {
        if (record.state == FileState::Planned || record.state == FileState::UpToDate)
            planned << record.file;
    }
    QList<CompanionCopy> copies;
    for (const auto& [sourceFolder, resultFolder] : ResultFoldersOf(planned)) {
        for (const CompanionCopy& copy :
             CompanionsOf(sourceFolder, resultFolder, options, decoders)) {
            if (CarryCompanion(copy, false).outcome == CompanionOutcome::Copied)
                copies << copy;
        }
    }
    return copies;
}

void CConversionSession::SetResultsInPlace(const QList<int>& indexes)
{
    for (int index : indexes)
        files[size_t(index)].inPlace = true;
}

void CConversionSession::CarryCompanionsWithoutRun()
{
    if (running)
        return;
    companionsCopied = 0;
    companionNotes.clear();
    CarryCompanions();
}

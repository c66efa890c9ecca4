#include "foundation/path_helpers.h"
#include "planning/copy_rules.h"
#include "run/source_copy.h"
#include "session/conversion_session.h"
#include "settings/settings_set.h"

// The copy rules of the session: a source already in the coder's format, or a lossy source
// for a lossy coder, is copied as it is (or left out) instead of decoded and encoded again.

namespace {

CopyRules CopyRulesOf(const CSettingsGeneral& general)
{
    return {general.copySameFormat != 0, LossyRule(qBound(0, int(general.lossyToLossy), 2))};
}

} // namespace

bool CConversionSession::PlanByCopyRules(int index, CCoder& coder, int presetIndex,
                                         const QString& folder, const ResultNaming& naming,
                                         bool& planned)
{
    planned = false;
    if (presetIndex < 0 || presetIndex >= coder.GetEntries().size())
        return false;
    CFileInfo& file = *files[size_t(index)].file;
    const QString extension = coder.GetEntries().at(presetIndex).extension;
    const CopyChoice choice = ChooseCopy(file, coder, extension, CopyRulesOf(settings.general));
    switch (choice) {
    case CopyChoice::Convert:
        return false;
    case CopyChoice::LeaveOutLossy:
        ResetJobs(file);
        LeaveOut(index, LeftOutCause::LossyToLossy);
        return true;
    case CopyChoice::CopySameFormat:
    case CopyChoice::CopyLossy:
        break;
    }
    // A lossy copy keeps its own extension: its bytes are still its own format's.
    const QString kept = choice == CopyChoice::CopyLossy ? ExtensionPart(file.path) : extension;
    planned = PlanCopy(file, &coder, ResultPathOf(file, folder, kept, naming));
    if (!planned)
        LeaveOut(index, LeftOutCause::NoDecoder);
    return true;
}

void CConversionSession::StartCopies(const QList<int>& indexes)
{
    if (copier.joinable())
        copier.join();
    copiesDone = indexes.isEmpty();
    if (copiesDone)
        return;
    copiesStopped = false;
    // The thread gets values only: the files are the session's.
    struct Copy
    {
        int index;
        IProcess* process;
        QString source;
        QString result;
    };
    QList<Copy> copies;
    for (int index : indexes) {
        const CFileInfo& file = *files[size_t(index)].file;
        copies.append({index, file.coder.get(), file.path, file.coder->GetOutputFile()});
    }
    // Posted to this object, whose deletion joins the thread first and drops what is left.
    copier = std::thread([this, copies] {
        for (const Copy& copy : copies) {
            if (copiesStopped)
                break;
            QMetaObject::invokeMethod(
                this, [this, index = copy.index] { OnCopyStarted(index); }, Qt::QueuedConnection);
            const RunResult run = CopySourceAsIs(copy.process, copy.source, copy.result);
            QMetaObject::invokeMethod(
                this, [this, index = copy.index, run] { OnCopyEnded(index, run); },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            this,
            [this] {
                copiesDone = true;
                EndRunIfDone();
            },
            Qt::QueuedConnection);
    });
}

void CConversionSession::OnCopyStarted(int index)
{
    FileRecord& record = files[size_t(index)];
    record.startedMs = runClock.elapsed();
    SetState(index, FileState::Coding);
}

void CConversionSession::OnCopyEnded(int index, const RunResult& run)
{
    FileRecord& record = files[size_t(index)];
    NoteRunEnded(record);
    record.resultRun = run;
    if (run.Failed()) {
        record.failedRun = run;
        SetState(index, FileState::Failed);
        return;
    }
    record.copied = true;
    SetState(index, FileState::Converted);
}

bool CConversionSession::IsCopy(int index) const
{
    return files[size_t(index)].file->copyAsIs;
}

QString CConversionSession::MadeWith(int index) const
{
    return files[size_t(index)].madeWith;
}

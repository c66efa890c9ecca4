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
    const QString extension = coder.GetEntries()[presetIndex].extension;
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

void CConversionSession::CopyAsIs(int index)
{
    FileRecord& record = files[size_t(index)];
    CFileInfo& file = *record.file;
    record.inRun = true;
    record.failedRun.reset();
    record.copied = false;
    SetState(index, FileState::Queued);
    const RunResult run = CopySourceAsIs(file.coder.get(), file.path, file.coder->GetOutputFile());
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

#include "extensions/language_pack.h"
#include "report/run_report.h"
#include "session/conversion_session.h"
#include "session/made_another_way.h"
#include "session/sleep_inhibitor.h"

using namespace Qt::StringLiterals;

namespace {

// Text ids of the language packs.
namespace Id {
constexpr int kNoDecoder = 430;
constexpr int kOwnInput = 431;
constexpr int kOtherSource = 432;
constexpr int kSharedOutput = 433;
constexpr int kResultExists = 434;
constexpr int kFolderNotMade = 435;
constexpr int kLossyToLossy = 611;
} // namespace Id

} // namespace

LeftOutCause CConversionSession::CauseOf(LeftOutReason reason)
{
    switch (reason) {
    case LeftOutReason::OwnInput:
        return LeftOutCause::OwnInput;
    case LeftOutReason::OtherSource:
        return LeftOutCause::OtherSource;
    case LeftOutReason::SharedOutput:
        return LeftOutCause::SharedOutput;
    case LeftOutReason::None:
        break;
    }
    return LeftOutCause::None;
}

QString CConversionSession::CauseText(LeftOutCause cause, const CLanguagePack& pack)
{
    switch (cause) {
    case LeftOutCause::NoDecoder:
        return RunReport::Text(pack, Id::kNoDecoder, u"no decoder reads this file (%1)"_s);
    case LeftOutCause::OwnInput:
        return RunReport::Text(pack, Id::kOwnInput, u"its result would replace its own source"_s);
    case LeftOutCause::OtherSource:
        return RunReport::Text(pack, Id::kOtherSource,
                               u"its result would replace the source of another file"_s);
    case LeftOutCause::SharedOutput:
        return RunReport::Text(pack, Id::kSharedOutput,
                               u"an earlier file writes the same result"_s);
    case LeftOutCause::ResultExists:
        return RunReport::Text(pack, Id::kResultExists, u"its result exists already"_s);
    case LeftOutCause::FolderNotMade:
        return RunReport::Text(pack, Id::kFolderNotMade, u"its output folder cannot be created"_s);
    case LeftOutCause::LossyToLossy:
        return RunReport::Text(pack, Id::kLossyToLossy,
                               u"a lossy source is not encoded into another lossy format"_s);
    case LeftOutCause::None:
        break;
    }
    return {};
}

QString CConversionSession::Reason(int index) const
{
    const FileRecord& record = files[size_t(index)];
    const CLanguagePack& pack = language ? *language : *english;
    if (record.state == FileState::Failed && record.failedRun)
        return RunReport::FailureReason(*record.failedRun, pack);
    if (record.state != FileState::LeftOut)
        return {};
    const QString text = CauseText(record.cause, pack);
    return record.cause == LeftOutCause::NoDecoder ? text.arg(record.file->format) : text;
}

void CConversionSession::LeaveOut(int index, LeftOutCause cause)
{
    FileRecord& record = files[size_t(index)];
    if (record.state == FileState::LeftOut && record.cause == cause)
        return;
    // A new cause is news even when the file was left out before.
    if (record.state == FileState::LeftOut)
        SetState(index, FileState::Planned);
    record.cause = cause;
    SetState(index, FileState::LeftOut);
}

void CConversionSession::SetState(int index, FileState state)
{
    FileRecord& record = files[size_t(index)];
    const FileState before = record.state;
    if (before == state)
        return;
    Tally(before, -1);
    Tally(state, 1);
    record.state = state;
    if (before == FileState::Converted && record.copied) {
        --counts.copied;
        record.copied = false;
    }
    if (state == FileState::Converted && record.copied)
        ++counts.copied;
    if (state != FileState::LeftOut)
        record.cause = LeftOutCause::None;
    // Retry failed runs again what failed last; a file the run never reached keeps its mark.
    if (record.inRun && state == FileState::Failed)
        record.file->lastRunFailed = true;
    else if (record.inRun && state == FileState::Converted)
        record.file->lastRunFailed = false;
    if (record.inRun && state == FileState::Converted && madeAnotherWay)
        madeAnotherWay->Remade(*record.file);
    Q_EMIT FileStateChanged(index, state);
}

void CConversionSession::Tally(FileState state, int delta)
{
    switch (state) {
    case FileState::Planned:
        counts.planned += delta;
        break;
    case FileState::LeftOut:
        counts.leftOut += delta;
        break;
    case FileState::UpToDate:
        counts.upToDate += delta;
        break;
    case FileState::Queued:
        counts.queued += delta;
        break;
    case FileState::Decoding:
    case FileState::Coding:
        counts.running += delta;
        break;
    case FileState::Held:
        counts.held += delta;
        break;
    case FileState::Converted:
        counts.converted += delta;
        break;
    case FileState::Failed:
        counts.failed += delta;
        break;
    case FileState::Stopped:
        counts.stopped += delta;
        break;
    case FileState::NotPlanned:
        break;
    }
}

void CConversionSession::OnCoreChanged()
{
    std::vector<CoreEvent> taken;
    {
        std::lock_guard lock(eventsMutex);
        taken.swap(events);
        posted = false;
    }
    for (const CoreEvent& event : taken)
        Apply(event);
}

void CConversionSession::Apply(const CoreEvent& event)
{
    if (!event.process) {
        coreIdle = true;
        EndRunIfDone();
        return;
    }
    const int index = fileOfRun.value(event.process, -1);
    if (index < 0 || !running)
        return;
    FileRecord& record = files[size_t(index)];
    const CFileInfo& file = *record.file;
    const bool isCoder = event.process == file.coder.get();
    const bool isLast = isCoder || !file.coder;
    if (!event.ended) {
        if (record.startedMs < 0)
            record.startedMs = runClock.elapsed();
        SetState(index, StateAfter({record.state, record.cause}, isCoder, isLast, nullptr).state);
        return;
    }
    if (isLast) {
        NoteRunEnded(record);
        record.resultRun = *event.ended;
    }
    const FileStateChange after =
        StateAfter({record.state, record.cause}, isCoder, isLast, &*event.ended);
    if (after.state == FileState::Failed && record.state != FileState::Failed)
        record.failedRun = *event.ended;
    if (after.state == FileState::LeftOut)
        LeaveOut(index, after.cause);
    else
        SetState(index, after.state);
}

void CConversionSession::EndRunIfDone()
{
    if (!running || !coreIdle || !copiesDone)
        return;
    // What the core never reached (a stop) was not converted.
    for (int index : std::as_const(startOrder)) {
        FileRecord& record = files[size_t(index)];
        NoteRunEnded(record);
        if (!IsFinal(record.state))
            SetState(index, FileState::Stopped);
    }
    running = false;
    CarryCompanions();
    if (inhibitor)
        inhibitor->Release();
    Q_EMIT RunEnded(counts);
}

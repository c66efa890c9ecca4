#include "session/conversion_session.h"

namespace {

// A running file never reaches its whole weight before it has ended: its expected time is a guess.
constexpr double kRunningShareCap = 0.99;

} // namespace

void CConversionSession::NoteRunEnded(FileRecord& record)
{
    if (record.lastRunEnded)
        return;
    record.lastRunEnded = true;
    record.endedMs = runClock.isValid() ? runClock.elapsed() : -1;
}

AudioProgress CConversionSession::Progress() const
{
    QList<qint64> durations;
    for (int index : startOrder)
        durations << files[size_t(index)].file->duration;
    const QList<qint64> weights = AudioWeights(durations);
    // The pace: the time the converted files took for each millisecond of their audio.
    qint64 tookMs = 0;
    qint64 tookAudioMs = 0;
    for (qsizetype i = 0; i < startOrder.size(); ++i) {
        const FileRecord& record = files[size_t(startOrder[i])];
        // A copy runs no program: its time says nothing of the conversions' pace.
        const bool converted =
            (record.state == FileState::Converted || record.state == FileState::Held) &&
            !record.copied;
        if (converted && record.startedMs >= 0 && record.endedMs >= record.startedMs) {
            tookMs += record.endedMs - record.startedMs;
            tookAudioMs += weights[i];
        }
    }
    const double msPerAudioMs = tookAudioMs > 0 ? double(tookMs) / double(tookAudioMs) : 0.0;
    const qint64 now = runClock.isValid() ? runClock.elapsed() : 0;

    AudioProgress progress;
    for (qsizetype i = 0; i < startOrder.size(); ++i) {
        const FileRecord& record = files[size_t(startOrder[i])];
        const qint64 weight = weights[i];
        progress.totalMs += weight;
        if (record.lastRunEnded) {
            progress.doneMs += weight;
        } else if (record.startedMs >= 0 && msPerAudioMs > 0.0) {
            const double expectedMs = qMax(1.0, double(weight) * msPerAudioMs);
            const double share =
                qMin(kRunningShareCap, double(now - record.startedMs) / expectedMs);
            progress.doneMs += qint64(share * double(weight));
        }
    }
    return progress;
}

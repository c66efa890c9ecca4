#include "report/time_estimate.h"

using namespace Qt::StringLiterals;

namespace {

// Below these, one fast file or the programs' start-up decide the pace.
constexpr qint64 kMinimumElapsedMs = 3000;
constexpr double kMinimumDoneShare = 0.05;

} // namespace

QList<qint64> AudioWeights(const QList<qint64>& durationsMs)
{
    qint64 known = 0;
    int knownCount = 0;
    for (const qint64 duration : durationsMs) {
        if (duration > 0) {
            known += duration;
            ++knownCount;
        }
    }
    const qint64 unknownWeight = knownCount > 0 ? known / knownCount : 1;
    QList<qint64> weights;
    weights.reserve(durationsMs.size());
    for (const qint64 duration : durationsMs)
        weights << (duration > 0 ? duration : unknownWeight);
    return weights;
}

qint64 EstimateRemainingMs(qint64 elapsedMs, const AudioProgress& progress)
{
    if (progress.totalMs <= 0 || progress.doneMs <= 0)
        return -1;
    const double done = double(progress.doneMs) / double(progress.totalMs);
    if (done >= 1.0)
        return 0;
    if (done < kMinimumDoneShare || elapsedMs < kMinimumElapsedMs)
        return -1;
    return qint64(double(elapsedMs) * (1.0 - done) / done);
}

QString FormatDuration(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds =
        u"%1:%2"_s.arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QChar(u'0'));
    if (hours == 0)
        return u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
    return u"%1:%2"_s.arg(hours).arg(minutesSeconds.rightJustified(5, u'0'));
}

QString TimeStatusText(const QString& elapsedLabel, const QString& remainingLabel,
                       const QString& estimating, qint64 elapsedMs, const AudioProgress& progress)
{
    const qint64 remaining = EstimateRemainingMs(elapsedMs, progress);
    return elapsedLabel + u": "_s + FormatDuration(elapsedMs) + u"   "_s + remainingLabel +
           u": "_s + (remaining < 0 ? estimating : FormatDuration(remaining));
}

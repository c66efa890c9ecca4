#pragma once

#include <QList>
#include <QString>

// How much audio a run has converted against how much it was given, in milliseconds.
struct AudioProgress
{
    qint64 doneMs = 0;
    qint64 totalMs = 0;
};

// What each file of a run weighs in its progress, in the order given: its length, or, when its
// length is unknown (0), the average known one; when no length is known, every file weighs 1.
QList<qint64> AudioWeights(const QList<qint64>& durationsMs);

// The time the rest of the run will take at the pace so far; -1 until enough is done for the
// figure to mean something.
qint64 EstimateRemainingMs(qint64 elapsedMs, const AudioProgress& progress);

// "m:ss", or "h:mm:ss" from an hour on; negative times read as 0.
QString FormatDuration(qint64 ms);

// The status line: "<elapsedLabel>: 1:05   <remainingLabel>: 2:10", with `estimating` in
// place of the remaining time until an estimate means something.
QString TimeStatusText(const QString& elapsedLabel, const QString& remainingLabel,
                       const QString& estimating, qint64 elapsedMs, const AudioProgress& progress);

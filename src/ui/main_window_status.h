#pragma once

#include "session/conversion_session.h"

#include <QString>

class CLanguagePack;
class QWidget;

// Language string ids of the file list's status column, the line after a run and the
// questions and boxes of Apply and Start.
namespace StatusText {
inline constexpr int kColumn = 470;
inline constexpr int kConverted = 471;
inline constexpr int kUpToDate = 472;
inline constexpr int kFailed = 473;
inline constexpr int kLeftOut = 474;
inline constexpr int kStopped = 475;
inline constexpr int kWaiting = 476;
inline constexpr int kDecoding = 477;
inline constexpr int kCoding = 478;
inline constexpr int kHeld = 479;
inline constexpr int kSummary = 480;        // %1 time of day, %2 duration, %3..%6 counts
inline constexpr int kSummaryStopped = 481; // %1 files stopped, after the summary
inline constexpr int kUnplanned = 482;      // %1 not planned, %2 in the list, %3 the choice
inline constexpr int kPlanThem = 483;
inline constexpr int kOnlyPlanned = 484;
inline constexpr int kCannotDecode = 485; // the files follow, a line each
inline constexpr int kUnknownFormat = 486;
inline constexpr int kDurationColumn = 487;
inline constexpr int kSampleRateColumn = 488;
} // namespace StatusText

// The status column's word for a state; empty for a file that has not run (planned or not).
QString FileStateText(FileState state, const CLanguagePack& language);

// The line the main window shows after a run: when it ended, how long it took, and how many
// files were converted, failed, were left out and were up to date.
QString RunSummaryText(const SessionCounts& counts, qint64 elapsedMs, const QString& endedAt,
                       const CLanguagePack& language);

// One line for a file no decoder reads: its path and its format, "unknown" when MediaInfo
// named none.
QString CannotDecodeLine(const QString& path, const QString& format, const CLanguagePack& language);

// What to do at Start when some files of the list have no plan.
enum class UnplannedChoice
{
    PlanThem,
    OnlyPlanned,
    Cancel
};

// Asks, in a box named "unplannedQuestion" over parent; plan is what they would be planned
// with (the coder and its preset). Enter and Escape cancel: nothing starts unasked.
UnplannedChoice AskAboutUnplanned(QWidget* parent, int unplanned, int total, const QString& plan,
                                  const CLanguagePack& language);

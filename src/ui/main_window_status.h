#pragma once

#include "session/conversion_session.h"

#include <QString>

class CLanguagePack;
class QWidget;

// Language string ids of the file list's status column, the line after a run and the
// questions and boxes of Apply and Start.
namespace StatusText {
inline constexpr int kColumn = 510;
inline constexpr int kConverted = 511;
inline constexpr int kUpToDate = 512;
inline constexpr int kFailed = 513;
inline constexpr int kLeftOut = 514;
inline constexpr int kStopped = 515;
inline constexpr int kWaiting = 516;
inline constexpr int kDecoding = 517;
inline constexpr int kCoding = 518;
inline constexpr int kHeld = 519;
inline constexpr int kSummary = 520;        // %1 time of day, %2 duration, %3..%6 counts
inline constexpr int kSummaryStopped = 521; // %1 files stopped, after the summary
inline constexpr int kUnplanned = 522;      // %1 not planned, %2 in the list, %3 the choice
inline constexpr int kPlanThem = 523;
inline constexpr int kOnlyPlanned = 524;
inline constexpr int kCannotDecode = 525; // the files follow, a line each
inline constexpr int kUnknownFormat = 526;
inline constexpr int kDurationColumn = 527;
inline constexpr int kSampleRateColumn = 528;
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

#pragma once

#include "run/core.h"

#include <QString>

class CLanguagePack;

// How the end of a run is told to the user: what failed for each file and why, in the words of
// the language pack (English where a pack lacks a text), and the full error output in the log.
namespace RunReport {

// Text ids of the pack.
inline constexpr int kSkippedStatus = 244;
inline constexpr int kSkippedFiles = 245;
inline constexpr int kTagsNotWritten = 253;
inline constexpr int kNothingFailed = 254;

// The pack's text for id, or fallback when it has none.
QString Text(const CLanguagePack& language, int id, const QString& fallback);

// How a run ended: "exit code 1", "program not found", "no output written", ...
QString Outcome(const RunResult& run, const CLanguagePack& language);

// One line naming the file, the program that failed (decoder or coder), how it ended and the
// last line it wrote to its standard error.
QString Failure(const RunResult& run, const QString& file, const CLanguagePack& language);
// What Failure says after the file's name.
QString FailureReason(const RunResult& run, const CLanguagePack& language);

// Appends the failure and every kept line of the program's error output to the console log.
void LogFailure(const RunResult& run, const QString& file, const CLanguagePack& language);

} // namespace RunReport

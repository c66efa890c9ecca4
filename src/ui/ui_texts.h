#pragma once

#include <QString>
#include <QStringList>

class CLanguagePack;

// Texts the windows show for failed runs and for the list commands. Packs that predate them lack
// these ids; the English wording then stands in, so the user is never told nothing.
namespace UiText {
inline constexpr int kFailedProcesses = 181; // status line: failed runs so far
inline constexpr int kFilesFailed = 182;     // end of a run: the files that failed follow
inline constexpr int kJobsLeftOut = 183;     // Start: jobs left out, their files follow
inline constexpr int kReplaceOutputs = 184;  // Start: results exist already, replace them?
inline constexpr int kNoPreset = 185;        // Apply: the coder has no preset to plan with
inline constexpr int kCancel = 124;
inline constexpr int kAddingFiles = 190;         // progress of adding files
inline constexpr int kManualMissing = 191;       // Help: the manual's path follows
inline constexpr int kReplacePlaylist = 192;     // Save list: the renamed playlist exists
inline constexpr int kLegalNotice = 193;         // About box, below the version
inline constexpr int kElapsedTime = 260;         // status line: time since Start
inline constexpr int kTimeRemaining = 261;       // status line: estimate of the time left
inline constexpr int kEstimating = 262;          // status line: too little done to estimate yet
inline constexpr int kRetryFailed = 243;         // menu command
inline constexpr int kStartLongFilesFirst = 263; // option
inline constexpr int kKeepFolderStructure = 264; // option
inline constexpr int kNoOutputFolder = 414;      // Apply, Start: results go nowhere
inline constexpr int kFolderNotMade = 415;       // Apply, Start: the folder follows
inline constexpr int kCannotOpen = 300;          // no program opened a file; its path follows
inline constexpr int kPluginsMenu = 301;         // the Plugins menu, with its access key
inline constexpr int kNoPluginLoaded = 302;      // the Plugins menu's item when none loaded
inline constexpr int kEmptyListHint = 303;       // shown in the empty file list
inline constexpr int kCopyTagsTip = 304;         // tooltips of the options, 304..308
inline constexpr int kAtomicOutputsTip = 305;
inline constexpr int kSkipUpToDateTip = 306;
inline constexpr int kStartLongFilesFirstTip = 307;
inline constexpr int kKeepFolderStructureTip = 308;
inline constexpr int kSystemProgram = 309;  // codecs window: the program a script runs
inline constexpr int kNotInstalled = 310;   // codecs window: that program is missing
inline constexpr int kHeldResults = 343;    // status line: results waiting for their album
inline constexpr int kBadNamePattern = 366; // Apply: the pattern's fault follows
inline constexpr int kInstallPackage = 470; // a coder's program is missing: what to install
inline constexpr int kProgramMissing = 471; // the same, when no package is named
inline constexpr int kCoderNotInstalledPackage = 472; // coder list: a coder and its package
inline constexpr int kCoderNotInstalled = 473;        // coder list: no package named
inline constexpr int kProgramRow = 474;               // coder information: the row's label
inline constexpr int kProgramInstalled = 475;         // coder information: the program is there
inline constexpr int kCannotStart = 476;              // Start: the missing programs follow
inline constexpr int kNotAudioLeftOut = 477;          // Add folder: files no decoder reads
inline constexpr int kSelectedResult = 478;           // Names page: the selected file's result
inline constexpr int kRunDone = 532;                  // a desktop notice: the run has ended
inline constexpr int kRunDoneBody = 533;              // its counts and time
inline constexpr int kSheetProblems = 541;            // sheets that could not split images
} // namespace UiText

// The pack's text for id, or fallback when the pack has none.
QString LanguageTextOr(const CLanguagePack& language, int id, const QString& fallback);

// A menu text as a caption: "&&" stays one "&", other "&" go.
QString WithoutAccessKey(QString text);

// text, then the files a line each; past a screenful the rest is only counted.
QString TextWithFiles(const QString& text, QStringList files);

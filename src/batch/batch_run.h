#pragma once

#include "batch/batch_options.h"
#include "codecs/codec_discovery.h"
#include "extensions/language_pack.h"
#include "filelist/file_list.h"
#include "filelist/property_cache.h"
#include "foundation/listed_folders.h"
#include "planning/name_pattern.h"
#include "run/core.h"
#include "session/conversion_session.h"
#include "session/library_sync.h"
#include "settings/settings_set.h"

#include <QHash>
#include <QSet>
#include <QTextStream>
#include <memory>

// One call of orvel-batch: reads the program folder as the desktop program does, and plans,
// leaves out and converts the files through the conversion session the window uses.
class CBatchRun
{
public:
    static constexpr int kAllConverted = 0;
    static constexpr int kSomeFailed = 1;
    static constexpr int kBadArguments = 2;
    // --sync did nothing: the library is not there, or the copy is not its copy.
    static constexpr int kSyncRefused = 3;

    // The name of the coder entry that only decodes to WAV.
    static constexpr char16_t kDecodeOnlyName[] = u"Decode to WAV only";

    CBatchRun(QTextStream& out, QTextStream& err);
    int Run(const CBatchOptions& options);
    // Ends what must not be left to the end of the process: the session's threads, the copy's
    // record, the core's workers. What is left is memory.
    void Close();

private:
    // Every file found, by what became of it: the summary and the exit status count them all.
    struct Tally
    {
        int converted = 0;
        int copied = 0; // sources copied as they are by a copy rule
        int failed = 0;
        int leftOut = 0;  // named with the reason; the exit status says so
        int upToDate = 0; // results newer than their sources, and whole
        int notAudio = 0; // found in a folder, read by no decoder (covers, logs)
        int stopped = 0;  // not converted because a signal stopped the run
        // --sync: results moved after their sources, removed with them, kept without
        // --delete, and left alone because they were changed outside orvel.
        int moved = 0;
        int removed = 0;
        int kept = 0;
        int leftAlone = 0;
    };

    bool LoadProgramFolder(const QString& folder);
    void ListCoders();
    bool SelectCoder(const CBatchOptions& options);
    bool AddInputs(const QStringList& inputs);
    void AddFolder(const QString& folder, const ReadProgress& progress);
    void ReportSheetProblems();
    // A --job line of one track: the other tracks of its image go.
    bool KeepOnlyTrack(int number);
    bool ResolveOutputFolder(const CBatchOptions& options, QString& folder);
    bool SelectNaming(const CBatchOptions& options);
    // The device limits and the verification of the line, over the settings.
    void ApplyDeviceOptions(const CBatchOptions& options);
    SessionOverrides OverridesOf(const CBatchOptions& options, const QString& outputFolder) const;
    // What the session says of each file, told as it happens.
    void OnFileState(int index, FileState state);
    void Report(const QString& path, const QString& reason);
    QList<CFileInfo*> FilesInStartOrder() const;
    void PrintCommandLines(const QList<CFileInfo*>& files);
    void PrintShellLines(const QList<CFileInfo*>& files, const CBatchOptions& options);
    QString JobLine(CFileInfo& file, const CBatchOptions& options) const;
    int Convert(bool overwrite);
    void ReportTagProblems(int index);
    // Its lossless result was decoded again and gave its source's samples back.
    bool Verified(int index) const;
    void ReportFailed(const CFileInfo& file, const RunResult& run);
    // The covers and files along the last run carried, and what it could not.
    void PrintCompanions();
    void PrintSummary(qint64 elapsedMs, int stopSignal);

    // --sync (batch_sync.cpp): the output folder kept as a copy of the library folders.
    int Sync(const CBatchOptions& options, const QString& outputFolder);
    void GatherLibrary(const QStringList& roots, const CBatchOptions& options,
                       const QString& outputFolder);
    void PrintSyncPlan(const SyncPlan& plan);
    void OnSyncEvent(const LibrarySyncEvent& event);
    QString ForeignFileText(const QString& path) const;
    QString InCopy(const QString& result) const { return syncFolder + result; }
    int ExitStatus(int stopSignal) const;
    // The bar on a terminal: audio done against audio queued, elapsed and remaining time.
    void ShowProgress(qint64 elapsedMs);

    QTextStream& out;
    QTextStream& err;
    bool terminal = false;
    CSettingsSet settings;
    ExecutableDatabase database;
    CoderList coders;
    DecoderList decoders;
    CCoder* coder = nullptr;
    int presetIndex = -1;
    CNamePattern pattern; // the pattern the results are named by, when not by their source
    CPropertyCacheFile propertyCache{CPropertyCache::DefaultPath()};
    CFileList files;
    CCore core;
    std::unique_ptr<CConversionSession> session;
    qint64 runMs = -1;                // of the conversion, once it began: the bar is shown then
    const CLanguagePack englishTexts; // empty: the reports' English wording
    QString programFolder;            // absolute
    bool oneJob = false;              // --job: one file of a --jobs line, no summary
    Tally tally;
    QSet<const CFileInfo*> foundInFolders; // not named on the command line
    CListedFolders listedFolders;          // as the walks found them, for sheets and covers
    // --sync: the copy's folder (with a trailing separator) and its sync.
    QString syncFolder;
    std::unique_ptr<CLibrarySync> librarySync;
};

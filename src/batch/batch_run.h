#pragma once

#include "batch/batch_options.h"
#include "codecs/codec_discovery.h"
#include "engine/core.h"
#include "extensions/language_pack.h"
#include "filelist/file_list.h"
#include "settings/settings_set.h"

#include <QSet>
#include <QTextStream>

// One call of orvel-batch: reads the program folder as the desktop program does, plans the
// files, leaves out what must not run, and converts the rest on the same core.
class CBatchRun
{
public:
    static constexpr int kAllConverted = 0;
    static constexpr int kSomeFailed = 1;
    static constexpr int kBadArguments = 2;

    // The name of the coder entry that only decodes to WAV.
    static constexpr char16_t kDecodeOnlyName[] = u"Decode to WAV only";

    CBatchRun(QTextStream& out, QTextStream& err);
    int Run(const CBatchOptions& options);

private:
    bool LoadProgramFolder(const QString& folder);
    void ListCoders();
    bool SelectCoder(const CBatchOptions& options);
    bool AddInputs(const QStringList& inputs);
    QList<CFileInfo*> Plan(const CBatchOptions& options);
    // The files that may run; the others are reported with their reason.
    QList<CFileInfo*> LeaveOut(const QList<CFileInfo*>& planned, bool overwrite);
    void Report(const CFileInfo& file, const QString& reason);
    void PrintCommandLines(const QList<CFileInfo*>& files);
    void PrintShellLines(const QList<CFileInfo*>& files);
    int Convert(const QList<CFileInfo*>& files, int threads);
    // The bar on a terminal: audio done against audio queued, elapsed and remaining time.
    void ShowProgress(const QList<CFileInfo*>& files, qint64 elapsedMs,
                      const QList<RunResult>& results);

    QTextStream& out;
    QTextStream& err;
    bool terminal = false;
    CSettingsSet settings;
    ExecutableDatabase database;
    CoderList coders;
    DecoderList decoders;
    CCoder* coder = nullptr;
    int presetIndex = -1;
    CFileList files;
    CCore core;
    const CLanguagePack englishTexts; // empty: the reports' English wording
    int leftOutCount = 0;
    int upToDateCount = 0;                 // left out: results newer than their sources
    int skippedCount = 0;                  // files in folders that no decoder reads
    QSet<const CFileInfo*> foundInFolders; // not named on the command line
};

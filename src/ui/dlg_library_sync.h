#pragma once

#include "codecs/codec_discovery.h"
#include "library/sync_plan.h"

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <memory>

class CCore;
class CCoder;
class CConversionSession;
class CFileList;
class CLanguagePack;
class CLibrarySync;
class CSettingsSet;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QThread;
class QTreeWidget;
struct LibrarySyncEvent;

// "Sync with the library": the copy's plan first (what would be added, converted again,
// moved, removed and kept, and why a sync is refused), then, on Sync, the plan carried out by
// the library sync every front end uses, its conversions through a session of its own with the
// window's coder and preset. Removals are only done when asked for, and asked about once more.
class CDlgLibrarySync : public QDialog
{
    Q_OBJECT

public:
    CDlgLibrarySync(CLanguagePack& language, CSettingsSet& settings, const QString& programFolder,
                    const DecoderList& decoders, CCore& core, CCoder& coder, int presetIndex,
                    QWidget* parent);
    ~CDlgLibrarySync() override;

    // The plan shown; empty while the library is read.
    const SyncPlan& ShownPlan() const { return plan; }

Q_SIGNALS:
    // A plan (or why there is none) is shown.
    void PlanShown();

private:
    void BuildControls();
    void AddLibraryFolder();
    void BrowseCopyFolder();
    QStringList Roots() const;
    QString CopyFolder() const; // with a trailing separator; empty when none is named
    void RememberFolders();
    // Reads the library's files on a thread of their own, then plans.
    void ReadLibrary();
    void StopReading();
    void OnLibraryRead();
    void PlanSync();
    // Opens the record (for writing unless dryRun) and plans; false, shown, on a refusal.
    bool PlanOnRecord(bool dryRun);
    void ShowRefusal(const QString& reason);
    void ShowPlan();
    void Sync();
    void ConvertPlanned(const QList<int>& toConvert);
    void OnSyncEvent(const LibrarySyncEvent& event);
    std::unique_ptr<CLibrarySync> MakeSync();

    CLanguagePack& language;
    CSettingsSet& settings;
    QString programFolder;
    const DecoderList& decoders;
    CCore& core;
    CCoder& coder;
    int presetIndex;

    QListWidget* rootList = nullptr;
    QLineEdit* copyEdit = nullptr;
    QCheckBox* removeGone = nullptr;
    QCheckBox* removeMany = nullptr; // the batch's --delete-many
    QLabel* progressText = nullptr;
    QLabel* countsText = nullptr;
    QLabel* refusalText = nullptr;
    QTreeWidget* actionList = nullptr;
    QPushButton* planButton = nullptr;
    QPushButton* syncButton = nullptr;

    // What the last reading found: the library's files, the roots and copy they were read for.
    std::unique_ptr<CFileList> library;
    QStringList readRoots;
    QString readCopy;
    std::unique_ptr<QThread> reader;
    std::atomic<bool> stopReading = false;
    std::unique_ptr<CConversionSession> session;
    std::unique_ptr<CLibrarySync> librarySync;
    SyncPlan plan;
    QStringList problems; // what carrying out the plan could not do
};

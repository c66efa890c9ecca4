#pragma once

#include "codecs/codec_discovery.h"
#include "codecs/executable_database.h"
#include "extensions/plugin.h"
#include "filelist/file_list.h"
#include "planning/planned_jobs.h"
#include "run/core.h"
#include "session/conversion_session.h"
#include "session/desktop_notices.h"
#include "settings/settings_set.h"
#include "ui/main_window_controls.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>

class CFileAdder;
class CDlgConsole;
class CFileInfo;
class CLanguagePack;
class QMenu;
class QMenuBar;

// The program's main window: the file list with the command lines of the selected file, the
// coder and preset choices with the coder's information, and the start button. It owns the
// settings, the core, the file list and the codec lists for the whole run.
class CDlgMain : public QDialog
{
    Q_OBJECT

public:
    static constexpr char16_t kVersion[] = u"orvel 0.3.1 alpha [build 12]";
    static constexpr char16_t kFileListName[] = u"FileList.m3u";
    static constexpr char16_t kDatabaseName[] = u"Base.xml";

    explicit CDlgMain(CLanguagePack& language);
    ~CDlgMain() override;

    // Brings everything up in its fixed order. False when start-up must end (the reason has
    // been shown); the program then exits with code 0 and saves nothing.
    bool Initialise();

    // The window's parts, for the commands and for tests.
    CSettingsSet& Settings() { return settings; }
    CCore& Core() { return core; }
    CFileList& FileList() { return fileList; }
    const CPluginList& Plugins() const { return plugins; }
    CoderList& Coders() { return coders; }
    DecoderList& Decoders() { return decoders; }
    const MainWindowControls& Controls() const { return controls; }
    QString ProgramFolder() const { return programFolder; }
    CCoder* CurrentCoder() const { return currentCoder; }
    bool IsDecodeOnlySelected() const;

    // The button commands.
    void Apply();
    void Reset();
    void Start();
    // Starts again only the files whose jobs failed the last time they ran.
    void RetryFailed();
    // Adds the paths in order under the file list's input rule, their properties read on all
    // cores, and rebuilds the list control.
    void AddPaths(const QStringList& paths);
    void ReadPaths(CFileAdder& adder, QStringList paths);

    // Empties and refills the list control from the file list.
    void RebuildFileList();

    // Runs a menu command by its id, plugin commands included (dlg_main_commands.cpp).
    void RunCommand(int commandId);
    QMenuBar* MenuBar() const { return menuBar; }

    // Escape does nothing in this window.
    void reject() override {}

    // A stop signal (a logout's SIGHUP, a SIGTERM): the run is stopped as Stop does, its hidden
    // results and WAVs removed, the state saved, and every loop ends with 128 + the signal.
    void EndOnSignal(int signal);

Q_SIGNALS:
    // The window has saved its state and is gone; the program's loop ends.
    void Closed(int exitCode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Start-up steps and Close (dlg_main_startup.cpp).
    void SetControlTexts();
    void SetUpFileListColumns();
    void LoadPlugins();
    void ReadSettingsAtStartup();
    bool LoadDatabase();
    void DiscoverCodecsAtStartup();
    void SelectSavedCoderAndPreset();
    void WriteStartupLog();
    void SaveAtClose();

    // Menus, keys and commands (dlg_main_commands.cpp).
    void BuildMenus();
    std::function<void(int)> MenuCommandHandler();
    void ShowFileListMenu(const QPoint& position);
    bool HandleFileListKey(const QKeyEvent& key);
    void Exit();
    void AddFiles();
    void AddFolder();
    void LoadList();
    void SaveList();
    void SelectAllRows();
    void InvertSelection();
    void ClearSelection();
    void RemoveSelectedItems();
    void RemoveDeadEntries();
    void RemoveAllEntries();
    void OpenContainingFolder();
    void OpenOutputFolder();
    void UpdateCodecs();
    void ShowOptions();
    // The library's copy: its plan shown, then carried out (dlg_library_sync.cpp).
    void SyncWithLibrary();
    void ShowCodecsInfo();
    void ShowConsoleWindow();
    void ShowHelp();
    void OpenHomePage();
    void ShowAbout();

    // Window behaviour (dlg_main.cpp).
    void ConnectControls();
    void OnCoderSelectionChanged(int index);
    void OnCoderActivated(int index);
    void OnCoderFolderClicked();
    void OnFileListSelectionChanged();
    void OnCoderLineEdited(const QString& text);
    void OnDecoderLineEdited(const QString& text);
    void SelectCoder(int index);
    // Fills the coder combo from the coder list, selects wantedIndex (clamped to the list)
    // and makes it the current coder.
    void FillCoderCombo(int wantedIndex);
    void RefillPresetCombo(int wantedIndex);
    void RefillCoderInfo();
    void ShowCommandLines();
    void UpdateJobColumns(int row);
    // The status column of a row and its tooltip (why it failed or was left out), from the
    // session's state of the file.
    void ShowRowState(int row);
    // The session learns the list's files anew after every change of the list, and forgets
    // their states.
    void ListChanged();
    CConversionSession& Session();
    void AdjustFileListColumns();
    QList<int> TargetRows() const;
    CFileInfo* FileAt(int row);

    // Planning and starting (dlg_main_jobs.cpp), through the conversion session.
    QString OutputFolder() const;
    // False, after telling the user why, when no output folder is named or it cannot be made.
    bool OutputFolderUsable();
    // Plans the rows with the current coder and preset; false when nothing could be planned
    // (the reason has been shown). Files no decoder reads are named in one box.
    bool PlanRows(const QList<int>& targets);
    QList<int> UnplannedRows() const;
    QList<int> PlannedRows() const;
    // Start for the given rows only (all planned ones when empty): the left-out rules, the
    // up-to-date skip and the question before replacing apply to them, then they run with the
    // job control window.
    void StartRows(const QList<int>& wanted);
    void ReportSkippedOnly(int skipped);
    // The line below the coder information: what the last run did and how long it took.
    void ShowRunSummary(const SessionCounts& counts, qint64 elapsedMs);
    // The run as the desktop shows it outside the window: the launcher's bar, and a notice at
    // its end when the window is not the active one.
    void ShowRunOnDesktop();
    void TellDesktopRunEnded(const SessionCounts& counts, qint64 elapsedMs);
    QStringList SourcesOfRows(const QList<int>& rows) const;
    void ReportLeftOutRows(const QList<int>& rows);
    // Whether the user lets the rows' results replace the existing files.
    bool ConfirmReplacing(const QList<int>& rows);

    CLanguagePack& language;
    // Declared in reverse release order: the settings go first, the core last.
    CCore core;
    CFileList fileList;
    CPluginList plugins;
    CoderList coders;
    DecoderList decoders;
    CCoder* currentCoder = nullptr;
    ExecutableDatabase database;
    CSettingsSet settings;
    QString programFolder;
    QElapsedTimer startupClock;
    MainWindowControls controls;
    QMenuBar* menuBar = nullptr;
    QMenu* pluginsMenu = nullptr;
    // The console window while it is open; it is a child of this window.
    QPointer<CDlgConsole> consoleWindow;
    bool closed = false;
    // Plans, starts and follows the list's files; made once the program folder is known.
    // Declared after the core and the file list, so it goes before either.
    std::unique_ptr<CConversionSession> session;
    CDesktopNotices desktop;
    QElapsedTimer runClock; // since the last Start
};

#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "foundation/notifier.h"
#include "foundation/path_helpers.h"
#include "planning/file_info.h"
#include "ui/desktop_opener.h"
#include "ui/dlg_about.h"
#include "ui/dlg_codecs.h"
#include "ui/dlg_console.h"
#include "ui/dlg_library_sync.h"
#include "ui/dlg_main.h"
#include "ui/file_adder.h"
#include "ui/installation_texts.h"
#include "ui/library_sync_texts.h"
#include "ui/list_file_dialogs.h"
#include "ui/list_view_ex.h"
#include "ui/main_menu.h"
#include "ui/main_window_texts.h"
#include "ui/options_command.h"
#include "ui/ui_texts.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAllSupportedFilesStringId = 128;
constexpr int kUpdateCodecsCaptionStringId = 152;
constexpr int kCodecsUpdatedStringId = 153;

const QString kManualPath = u"Manual/Manual.pdf"_s;
// A build setting: no address is better than one that leads nowhere.
const QString kHomePage = QStringLiteral(ORVEL_HOME_PAGE);

} // namespace

void CDlgMain::BuildMenus()
{
    menuBar = BuildMenuBar(this, language.GetMenu(kMainMenuId), MenuCommandHandler());
    layout()->setMenuBar(menuBar);

    CListViewEx* list = controls.fileList;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &CDlgMain::ShowFileListMenu);
    list->installEventFilter(this);
}

std::function<void(int)> CDlgMain::MenuCommandHandler()
{
    return [this](int commandId) { RunCommand(commandId); };
}

void CDlgMain::RunCommand(int commandId)
{
    using namespace MenuCommand;
    using Command = void (CDlgMain::*)();
    // The file list's context menu has ids of its own for two of the list commands.
    static const QHash<int, Command> commands = {
        {kExit, &CDlgMain::Exit},
        {kOptions, &CDlgMain::ShowOptions},
        {kConsoleWindow, &CDlgMain::ShowConsoleWindow},
        {kAddFile, &CDlgMain::AddFiles},
        {kContextAddFile, &CDlgMain::AddFiles},
        {kAddFolder, &CDlgMain::AddFolder},
        {kContextAddFolder, &CDlgMain::AddFolder},
        {kLoadList, &CDlgMain::LoadList},
        {kSaveList, &CDlgMain::SaveList},
        {kSelectAll, &CDlgMain::SelectAllRows},
        {kInvertSelection, &CDlgMain::InvertSelection},
        {kClearSelection, &CDlgMain::ClearSelection},
        {kRemoveSelected, &CDlgMain::RemoveSelectedItems},
        {kRemoveDeadEntries, &CDlgMain::RemoveDeadEntries},
        {kRemoveAll, &CDlgMain::RemoveAllEntries},
        {kRetryFailed, &CDlgMain::RetryFailed},
        {kSyncWithLibrary, &CDlgMain::SyncWithLibrary},
        {kAbout, &CDlgMain::ShowAbout},
        {kOpenContainingFolder, &CDlgMain::OpenContainingFolder},
        {kOpenOutputFolder, &CDlgMain::OpenOutputFolder},
        {kViewCodecsInfo, &CDlgMain::ShowCodecsInfo},
        {kUpdateCodecs, &CDlgMain::UpdateCodecs},
        {kHelp, &CDlgMain::ShowHelp},
        {kOpenHomePage, &CDlgMain::OpenHomePage},
    };
    if (const Command command = commands.value(commandId)) {
        (this->*command)();
        return;
    }
    // Any other id may be a plugin's; its dialog function answers nothing that could be checked.
    plugins.ShowDialog(commandId, static_cast<QWidget*>(this));
}

void CDlgMain::SyncWithLibrary()
{
    if (session && session->IsRunning())
        return;
    const int presetIndex = controls.presetCombo->currentIndex();
    if (IsDecodeOnlySelected() || currentCoder == nullptr || presetIndex < 0 ||
        presetIndex >= currentCoder->GetEntries().size()) {
        CurrentNotifier()->Notify(INotifier::Icon::Warning,
                                  language.GetString(MainText::kWarningCaption),
                                  LanguageTextOr(language, LibrarySyncText::kNeedsCoder,
                                                 u"Choose a coder and a preset first: a library "
                                                 u"copy is not made by decoding."_s));
        return;
    }
    if (RefuseMissingPrograms({currentCoder}, language))
        return;
    {
        CDlgLibrarySync dialog(language, settings, programFolder, decoders, core, *currentCoder,
                               presetIndex, this);
        dialog.exec();
    }
    // The sync's session had the core's news while it lived.
    if (session)
        session->ListenToCore();
}

void CDlgMain::Exit()
{
    close();
}

void CDlgMain::ShowFileListMenu(const QPoint& position)
{
    const LanguageMenu menu = language.GetMenu(kFileListMenuId);
    if (menu.empty() || menu.front().kind != LanguageMenuItem::Kind::Popup) {
        return;
    }
    QMenu popup(this);
    popup.setObjectName(u"fileListMenu"_s);
    AddMenuItems(&popup, menu.front().items);
    // The command runs once the menu has closed, like any other menu command.
    if (QAction* chosen = popup.exec(controls.fileList->viewport()->mapToGlobal(position))) {
        RunCommand(CommandIdOf(chosen));
    }
}

bool CDlgMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == controls.fileList && event->type() == QEvent::KeyPress &&
        HandleFileListKey(*static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool CDlgMain::HandleFileListKey(const QKeyEvent& key)
{
    if (key.key() == Qt::Key_Delete) {
        RemoveSelectedItems();
        return true;
    }
    if (key.key() == Qt::Key_A && (key.modifiers() & Qt::ControlModifier)) {
        SelectAllRows();
        return true;
    }
    if (key.key() == Qt::Key_F5) {
        RebuildFileList();
        return true;
    }
    return false;
}

void CDlgMain::AddFiles()
{
    const QStringList filters =
        AddFileNameFilters(decoders, language.GetString(kAllSupportedFilesStringId));
    auto dialog = MakeFileDialog(this, u"addFileDialog"_s, QFileDialog::AcceptOpen,
                                 QFileDialog::ExistingFiles);
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(
        filters.value(FilterPosition(settings.filterIndex, int(filters.size()))));
    if (!ExecFileDialog(*dialog)) {
        return;
    }
    const qsizetype chosenFilter = ChosenFilterPosition(filters, dialog->selectedNameFilter());
    if (chosenFilter >= 0) {
        settings.filterIndex = FilterIndexOf(int(chosenFilter));
    }
    AddPaths(dialog->selectedFiles());
}

void CDlgMain::AddFolder()
{
    auto dialog =
        MakeFileDialog(this, u"addFolderDialog"_s, QFileDialog::AcceptOpen, QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    if (!ExecFileDialog(*dialog) || dialog->selectedFiles().isEmpty()) {
        return;
    }
    CFileAdder adder(this, language);
    ReadPaths(adder, adder.ListFolder(dialog->selectedFiles().constFirst(), decoders));
}

void CDlgMain::LoadList()
{
    auto dialog = MakeFileDialog(this, u"loadListDialog"_s, QFileDialog::AcceptOpen,
                                 QFileDialog::ExistingFile);
    dialog->setNameFilter(PlaylistNameFilter());
    if (!ExecFileDialog(*dialog) || dialog->selectedFiles().isEmpty()) {
        return;
    }
    // The list is replaced even when the playlist names nothing that can be added.
    QStringList paths;
    ReadPlaylist(dialog->selectedFiles().constFirst(), paths);
    fileList.RemoveAll();
    CFileAdder adder(this, language);
    adder.Read(fileList, paths);
    RebuildFileList();
}

void CDlgMain::SaveList()
{
    auto dialog =
        MakeFileDialog(this, u"saveListDialog"_s, QFileDialog::AcceptSave, QFileDialog::AnyFile);
    dialog->setNameFilter(PlaylistNameFilter());
    // The name may still change its extension, so only the final one is asked about, once.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    if (!ExecFileDialog(*dialog) || dialog->selectedFiles().isEmpty()) {
        return;
    }
    const QString path = PlaylistSavePath(dialog->selectedFiles().constFirst());
    if (PathExists(path) &&
        !CurrentNotifier()->Confirm(
            language.GetString(MainText::kWarningCaption),
            FormatLanguageText(LanguageTextOr(language, UiText::kReplacePlaylist,
                                              u"%s exists already. Replace it?"_s),
                               {path}))) {
        return;
    }
    QString why;
    if (!fileList.SaveToM3U(path, &why)) {
        CurrentNotifier()->Notify(INotifier::Icon::Error,
                                  language.GetString(MainText::kErrorCaption), path + u'\n' + why);
    }
    RebuildFileList();
}

void CDlgMain::SelectAllRows()
{
    controls.fileList->selectAll();
}

void CDlgMain::InvertSelection()
{
    CListViewEx* list = controls.fileList;
    const int rows = list->GetRowCount();
    if (rows == 0) {
        return;
    }
    const QModelIndex first = list->model()->index(0, 0);
    const QModelIndex last = list->model()->index(rows - 1, 0);
    list->selectionModel()->select(QItemSelection(first, last),
                                   QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void CDlgMain::ClearSelection()
{
    controls.fileList->clearSelection();
}

void CDlgMain::RemoveSelectedItems()
{
    CListViewEx* list = controls.fileList;
    if (list->GetRowCount() == 0) {
        return;
    }
    const QList<int> selected = list->GetSelectedRows();
    list->LockRedraw();
    {
        const QSignalBlocker quiet(list); // the command lines are shown once, at the end
        for (auto row = selected.crbegin(); row != selected.crend(); ++row) {
            fileList.RemoveAt(*row);
            list->DeleteRow(*row);
        }
        list->clearSelection();
        const int focused = list->currentIndex().isValid() ? list->currentIndex().row() : 0;
        list->SelectRow(focused);
    }
    ListChanged();
    AdjustFileListColumns();
    list->UnlockRedraw();
    ShowCommandLines();
}

void CDlgMain::RemoveDeadEntries()
{
    CListViewEx* list = controls.fileList;
    list->LockRedraw();
    {
        const QSignalBlocker quiet(list);
        // Highest index first, so each row still stands where the list had it.
        for (qsizetype row : fileList.RemoveDeadEntries()) {
            list->DeleteRow(int(row));
        }
    }
    ListChanged();
    list->UnlockRedraw();
    ShowCommandLines();
}

void CDlgMain::RemoveAllEntries()
{
    fileList.RemoveAll();
    RebuildFileList();
}

void CDlgMain::OpenContainingFolder()
{
    const QList<int> selected = controls.fileList->GetSelectedRows();
    if (selected.isEmpty()) {
        return;
    }
    if (const CFileInfo* file = FileAt(selected.last())) {
        OpenWithDesktop(language, QUrl::fromLocalFile(file->folder), this);
    }
}

void CDlgMain::OpenOutputFolder()
{
    OpenWithDesktop(language, QUrl::fromLocalFile(CleanedPath(settings.general.outputFolder)),
                    this);
}

void CDlgMain::UpdateCodecs()
{
    setUpdatesEnabled(false);
    const int coderIndex = controls.coderCombo->currentIndex();
    const int presetIndex = controls.presetCombo->currentIndex();
    {
        const QSignalBlocker quietCoders(controls.coderCombo);
        const QSignalBlocker quietPresets(controls.presetCombo);
        controls.coderCombo->clear();
        controls.presetCombo->clear();
    }
    currentCoder = nullptr;
    const bool byFileName = settings.database.findByFileName == 1;
    RescanCoders(programFolder, database, coders, byFileName,
                 language.GetString(MainText::kDecodeOnly));
    FillCoderCombo(qMax(0, coderIndex));
    RefillCoderInfo();
    RescanDecoders(programFolder, database, decoders, byFileName);
    // Plans made with the old definitions are dropped.
    Reset();
    RefillPresetCombo(qMax(0, presetIndex));
    setUpdatesEnabled(true);
    // Told last, so the box stands over a window that shows the new codecs.
    CurrentNotifier()->Notify(INotifier::Icon::Information,
                              language.GetString(kUpdateCodecsCaptionStringId),
                              language.GetString(kCodecsUpdatedStringId));
}

void CDlgMain::ShowOptions()
{
    const QList<int> selected = controls.fileList->GetSelectedRows();
    const NamePreviewSource preview{&fileList, selected.value(0, -1),
                                    IsDecodeOnlySelected() ? nullptr : currentCoder, programFolder};
    RunOptionsDialog(language, settings, core,
                     {plugins, database.GetEntryCount(), database.GetDate(), preview}, this);
}

void CDlgMain::ShowCodecsInfo()
{
    CDlgCodecs window(language, settings, this);
    window.AddCodecs(coders, decoders);
    window.exec();
}

void CDlgMain::ShowConsoleWindow()
{
    // A second command brings the open window to the front with the log read again.
    CDlgConsole::ShowOrRaise(consoleWindow, language);
}

void CDlgMain::ShowHelp()
{
    const QString manual = AppendPath(programFolder, kManualPath);
    if (!QFileInfo(manual).isFile()) {
        // Opening nothing without a word would leave the user guessing.
        CurrentNotifier()->Notify(
            INotifier::Icon::Error, language.GetString(MainText::kErrorCaption),
            FormatLanguageText(LanguageTextOr(language, UiText::kManualMissing,
                                              u"The manual %s cannot be found."_s),
                               {manual}));
        return;
    }
    OpenWithDesktop(language, QUrl::fromLocalFile(manual), this);
}

void CDlgMain::OpenHomePage()
{
    if (kHomePage.isEmpty()) {
        ShowHelp();
        return;
    }
    OpenWithDesktop(language, QUrl(kHomePage), this);
}

void CDlgMain::ShowAbout()
{
    CDlgAbout about(language, this);
    about.exec();
}

#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "filelist/file_list.h"
#include "foundation/console_log.h"
#include "foundation/error_box.h"
#include "foundation/notifier.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "ui/app_icon.h"
#include "ui/dlg_job_control.h"
#include "ui/dlg_main.h"
#include "ui/list_view_ex.h"
#include "ui/main_menu.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

QString InFolder(const QString& folder, const QString& name)
{
    return folder + os::kPathSeparator + name;
}

constexpr int kSignalCleanupMs = 5000;

} // namespace

bool CDlgMain::Initialise()
{
    startupClock.start();
    currentCoder = nullptr;
    SetControlTexts();
    BuildMenus();
    SetUpFileListColumns();
    setWindowTitle(QString::fromUtf16(kVersion));
    setWindowIcon(ApplicationIcon());
    programFolder = QDir::currentPath();
    LoadPlugins();
    // The template size is the smallest the window may become.
    resize(MainWindowTemplateSize(this));
    setMinimumSize(size());
    ReadSettingsAtStartup();
    if (!LoadDatabase()) {
        return false;
    }
    DiscoverCodecsAtStartup();
    SelectSavedCoderAndPreset();
    WriteStartupLog();
    return true;
}

void CDlgMain::SetControlTexts()
{
    const MainWindowControls& c = controls;
    c.startButton->setText(language.GetString(MainText::kStart));
    c.coderLabel->setText(language.GetString(MainText::kCoder));
    c.presetLabel->setText(language.GetString(MainText::kPreset));
    c.resetButton->setText(language.GetString(MainText::kReset));
    c.applyButton->setText(language.GetString(MainText::kApply));
    c.decoderLineLabel->setText(language.GetString(MainText::kDecoderLine));
    c.coderLineLabel->setText(language.GetString(MainText::kCoderLine));
    c.coderInfoLabel->setText(language.GetString(MainText::kCoderInfo));
    c.fileList->SetEmptyText(
        LanguageTextOr(language, UiText::kEmptyListHint,
                       u"Drop audio files or folders here, or use Add file or Add folder in the "
                       u"List menu."_s));
}

void CDlgMain::LoadPlugins()
{
    // Every plugin gets a core of its own; it never touches the window's core.
    plugins.LoadAll(programFolder, language);
    const PluginsMenuTexts texts{
        LanguageTextOr(language, UiText::kPluginsMenu, u"Pl&ugins"_s),
        LanguageTextOr(language, UiText::kNoPluginLoaded, u"No plugin could be loaded"_s)};
    pluginsMenu = InsertPluginsMenu(menuBar, plugins, texts, MenuCommandHandler());
}

void CDlgMain::ReadSettingsAtStartup()
{
    switch (settings.LoadFromProgramFolder(programFolder)) {
    case CSettingsSet::LoadResult::Read:
        // Placement only from a file that loaded: a half-read one may hold anything.
        if (!settings.window.placement.isEmpty()) {
            restoreGeometry(settings.window.placement);
        }
        AdjustFileListColumns();
        break;
    case CSettingsSet::LoadResult::Failed:
        CurrentNotifier()->Notify(INotifier::Icon::Error,
                                  language.GetString(MainText::kErrorCaption),
                                  language.GetString(MainText::kSettingsNotRead));
        break;
    case CSettingsSet::LoadResult::Missing:
        break;
    }
    core.SetThreadsCount(settings.core.threadsCount);
    // The job window shows the stored priority, so the runs must have it from the first Start.
    if (const quint32 priorityClass = PriorityClassForIndex(settings.core.priority)) {
        core.SetPriority(priorityClass);
    }

    if (LoadRememberedFileList(fileList, programFolder, settings)) {
        RebuildFileList();
    }
}

bool CDlgMain::LoadDatabase()
{
    if (::LoadDatabase(database, InFolder(programFolder, QString::fromUtf16(kDatabaseName)))) {
        return true;
    }
    ShowError(language.GetString(MainText::kErrorCaption),
              u"Database file Base.xml failed to load"_s);
    return false;
}

void CDlgMain::DiscoverCodecsAtStartup()
{
    DiscoverCodecs(programFolder, database, coders, decoders, settings.database.findByFileName == 1,
                   language.GetString(MainText::kDecodeOnly));
    // A hand-edited negative index counts as the first entry.
    FillCoderCombo(qMax(0, settings.coderIndex));
}

void CDlgMain::SelectSavedCoderAndPreset()
{
    SelectCoder(controls.coderCombo->currentIndex());
    RefillCoderInfo();
    RefillPresetCombo(qMax(0, settings.presetIndex));
}

void CDlgMain::WriteStartupLog()
{
    ConsoleLog& log = ConsoleLog::Instance();
    log.Append(language.GetString(MainText::kStartupReady));
    log.Append(FormatLanguageText(language.GetString(MainText::kStartupTime),
                                  {QString::number(startupClock.elapsed())}));
}

void CDlgMain::closeEvent(QCloseEvent* event)
{
    if (closed) {
        event->accept();
        return;
    }
    SaveAtClose();
    closed = true;
    event->accept();
    Q_EMIT Closed(0);
}

void CDlgMain::EndOnSignal(int signal)
{
    core.Stop();
    // Stop has ended the programs; their workers remove what they wrote.
    core.WaitForWorkers(kSignalCleanupMs);
    if (!closed) {
        SaveAtClose();
        closed = true;
    }
    hide();
    // Ends the job window's and any dialog's loop too, not only the program's.
    QCoreApplication::exit(128 + signal);
}

void CDlgMain::SaveAtClose()
{
    settings.coderIndex = controls.coderCombo->currentIndex();
    settings.presetIndex = controls.presetCombo->currentIndex();
    settings.window.placement = saveGeometry();

    const QString path = InFolder(programFolder, QString::fromUtf16(CSettingsSet::kFileName));
    QString why;
    if (!settings.SaveToFile(path, &why)) {
        QString text = language.GetString(MainText::kSettingsNotSaved);
        if (!why.isEmpty()) {
            text += u'\n' + why;
        }
        CurrentNotifier()->Notify(INotifier::Icon::Error,
                                  language.GetString(MainText::kErrorCaption), text);
    }
    // A list that cannot be written is reported; the previous file stays as it was.
    QString listError;
    if (!SaveRememberedFileList(fileList, programFolder, &listError)) {
        CurrentNotifier()->Notify(INotifier::Icon::Error,
                                  language.GetString(MainText::kErrorCaption),
                                  RememberedFileListPath(programFolder) + u'\n' + listError);
    }
}

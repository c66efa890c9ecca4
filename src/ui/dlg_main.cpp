#include "ui/dlg_main.h"

#include "codecs/codec_installation.h"
#include "extensions/language_pack.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"
#include "report/size_text.h"
#include "report/time_estimate.h"
#include "ui/desktop_opener.h"
#include "ui/dlg_console.h"
#include "ui/file_adder.h"
#include "ui/installation_texts.h"
#include "ui/list_view_ex.h"
#include "ui/main_window_status.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

enum FileColumn
{
    kNameColumn,
    kSizeColumn,
    kFormatColumn,
    kDecoderColumn,
    kCoderColumn,
    kPresetColumn,
    kDurationColumn,
    kSampleRateColumn,
    kStatusColumn,
    kFileColumnCount
};

// Size column text: units chosen automatically, two decimals.
constexpr int kSizeDecimals = 2;
// Titles get this much room beside their text before the contents are measured.
constexpr int kColumnTitlePadding = 15;

} // namespace

CDlgMain::CDlgMain(CLanguagePack& languagePack) : QDialog(nullptr), language(languagePack)
{
    setObjectName(u"mainWindow"_s);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setAcceptDrops(true);
    controls = CreateMainWindowControls(this);
    ConnectControls();
}

CDlgMain::~CDlgMain()
{
    // Workers refer to runs that the file list owns: none may outlive the list.
    core.Stop();
    core.WaitForWorkers(std::numeric_limits<int>::max());
    // The console has no owner to take it along.
    delete consoleWindow.data();
}

bool CDlgMain::IsDecodeOnlySelected() const
{
    const int count = controls.coderCombo->count();
    return count > 0 && controls.coderCombo->currentIndex() == count - 1;
}

void CDlgMain::ConnectControls()
{
    connect(controls.coderCombo, &QComboBox::currentIndexChanged, this,
            &CDlgMain::OnCoderSelectionChanged);
    connect(controls.coderCombo, &QComboBox::activated, this, &CDlgMain::OnCoderActivated);
    connect(controls.coderFolderButton, &QPushButton::clicked, this,
            &CDlgMain::OnCoderFolderClicked);
    connect(controls.startButton, &QPushButton::clicked, this, &CDlgMain::Start);
    connect(controls.applyButton, &QPushButton::clicked, this, &CDlgMain::Apply);
    connect(controls.resetButton, &QPushButton::clicked, this, &CDlgMain::Reset);
    connect(controls.fileList, &QTreeWidget::itemSelectionChanged, this,
            &CDlgMain::OnFileListSelectionChanged);
    // textEdited, not textChanged: filling the edits from a file must not change the file.
    connect(controls.coderLineEdit, &QLineEdit::textEdited, this, &CDlgMain::OnCoderLineEdited);
    connect(controls.decoderLineEdit, &QLineEdit::textEdited, this, &CDlgMain::OnDecoderLineEdited);
}

void CDlgMain::SelectCoder(int index)
{
    currentCoder = index >= 0 && index < static_cast<int>(coders.size())
                       ? coders[static_cast<size_t>(index)].get()
                       : nullptr;
}

void CDlgMain::FillCoderCombo(int wantedIndex)
{
    QComboBox* combo = controls.coderCombo;
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const auto& coder : coders) {
        combo->addItem(CoderListText(*coder, language));
    }
    combo->setCurrentIndex(qMin(wantedIndex, combo->count() - 1));
    SelectCoder(combo->currentIndex());
}

void CDlgMain::OnCoderSelectionChanged(int index)
{
    SelectCoder(index);
    RefillCoderInfo();
}

void CDlgMain::OnCoderActivated(int index)
{
    SelectCoder(index);
    if (currentCoder != nullptr) {
        RefillPresetCombo(0);
    }
}

void CDlgMain::RefillPresetCombo(int wantedIndex)
{
    QComboBox* presets = controls.presetCombo;
    presets->clear();
    if (currentCoder != nullptr) {
        for (const CodecEntry& entry : currentCoder->GetEntries()) {
            presets->addItem(entry.name);
        }
    }
    if (presets->count() > 0) {
        presets->setCurrentIndex(qBound(0, wantedIndex, presets->count() - 1));
    }
    const bool choosable = !IsDecodeOnlySelected();
    presets->setEnabled(choosable);
    controls.presetLabel->setEnabled(choosable);
}

void CDlgMain::RefillCoderInfo()
{
    CListViewEx* info = controls.coderInfoList;
    info->LockRedraw();
    info->DeleteAllRows();
    if (currentCoder != nullptr && !IsDecodeOnlySelected()) {
        const std::pair<int, QString> rows[] = {
            {MainText::kDescription, currentCoder->description},
            {MainText::kFormat, currentCoder->format},
            {MainText::kDate, currentCoder->date},
        };
        int row = 0;
        for (const auto& [label, value] : rows) {
            info->SetCell(row, 0, language.GetString(label));
            info->SetCell(row, 1, value);
            ++row;
        }
        if (const QString program = ProgramStateText(InstallationOf(*currentCoder), language);
            !program.isEmpty()) {
            info->SetCell(row, 0, LanguageTextOr(language, UiText::kProgramRow, u"Program"_s));
            info->SetCell(row, 1, program);
        }
    }
    info->AutoSizeColumns(-1);
    info->UnlockRedraw();
}

void CDlgMain::OnCoderFolderClicked()
{
    const int index = controls.coderCombo->currentIndex();
    if (index < 0 || index >= static_cast<int>(coders.size()) || IsDecodeOnlySelected()) {
        return;
    }
    const QString folder = coders[static_cast<size_t>(index)]->GetFolder();
    if (!folder.isEmpty()) {
        OpenWithDesktop(language, QUrl::fromLocalFile(folder), this);
    }
}

CFileInfo* CDlgMain::FileAt(int row)
{
    return fileList.At(row);
}

QList<int> CDlgMain::TargetRows() const
{
    QList<int> rows = controls.fileList->GetSelectedRows();
    if (rows.isEmpty()) {
        for (int row = 0; row < controls.fileList->GetRowCount(); ++row) {
            rows << row;
        }
    }
    return rows;
}

void CDlgMain::SetUpFileListColumns()
{
    CListViewEx* list = controls.fileList;
    const QString titles[kFileColumnCount] = {
        language.GetString(MainText::kFileNameColumn),
        language.GetString(MainText::kSizeColumn),
        language.GetString(MainText::kFormat),
        language.GetString(MainText::kDecoderColumn),
        language.GetString(MainText::kCoder),
        language.GetString(MainText::kPreset),
        LanguageTextOr(language, StatusText::kDurationColumn, u"Duration"_s),
        LanguageTextOr(language, StatusText::kSampleRateColumn, u"Sample rate"_s),
        LanguageTextOr(language, StatusText::kColumn, u"Status"_s)};
    const QFontMetrics metrics(list->header()->font());
    for (int column = 0; column < kFileColumnCount; ++column) {
        const QString& title = titles[column];
        list->InsertColumn(column, title);
        list->setColumnWidth(column, metrics.horizontalAdvance(title) + kColumnTitlePadding);
    }
    list->SetColumnAlignment(kSizeColumn, Qt::AlignRight);
    list->SetColumnAlignment(kDurationColumn, Qt::AlignRight);
    list->SetColumnAlignment(kSampleRateColumn, Qt::AlignRight);
}

void CDlgMain::RebuildFileList()
{
    CListViewEx* list = controls.fileList;
    list->LockRedraw();
    const QSignalBlocker quiet(list); // one selection update at the end, not one per row
    list->DeleteAllRows();
    for (int row = 0; row < fileList.Count(); ++row) {
        const CFileInfo& file = *fileList.At(row);
        list->SetCell(row, kNameColumn, file.fileName);
        // Files of the same name from different folders are told apart by their paths.
        list->topLevelItem(row)->setToolTip(kNameColumn, file.path);
        list->SetCell(row, kSizeColumn, FormatSize(file.size, kSizeModeAutomatic, kSizeDecimals));
        list->SetCell(row, kFormatColumn, file.format);
        // Empty where MediaInfo did not know them, rather than a misleading 0.
        list->SetCell(row, kDurationColumn,
                      file.duration > 0 ? FormatDuration(file.duration) : QString());
        list->SetCell(row, kSampleRateColumn,
                      file.sampleRate > 0 ? u"%1 Hz"_s.arg(file.sampleRate) : QString());
        UpdateJobColumns(row);
    }
    ListChanged();
    list->AutoSizeColumns(-1);
    list->UnlockRedraw();
    ShowCommandLines();
}

CConversionSession& CDlgMain::Session()
{
    if (!session) {
        session = std::make_unique<CConversionSession>(settings, programFolder, decoders, core);
        session->SetLanguage(&language);
        connect(session.get(), &CConversionSession::FileStateChanged, this,
                [this](int row, FileState) {
                    ShowRowState(row);
                    ShowRunOnDesktop();
                });
        // Said once every file has its final state: a stop's files become Stopped only then.
        connect(session.get(), &CConversionSession::RunEnded, this,
                [this](const SessionCounts& counts) {
                    AdjustFileListColumns();
                    ShowRunSummary(counts, runClock.elapsed());
                    TellDesktopRunEnded(counts, runClock.elapsed());
                });
        ListChanged();
    }
    return *session;
}

void CDlgMain::ListChanged()
{
    QList<CFileInfo*> files;
    for (int row = 0; row < fileList.Count(); ++row) {
        files << fileList.At(row);
    }
    Session().SetSources(files);
    // A changed list starts without states: they described the rows of the old one.
    for (int row = 0; row < controls.fileList->GetRowCount(); ++row) {
        ShowRowState(row);
    }
}

void CDlgMain::UpdateJobColumns(int row)
{
    CFileInfo* file = FileAt(row);
    if (file == nullptr) {
        return;
    }
    CListViewEx* list = controls.fileList;
    list->SetCellText(row, kDecoderColumn, file->decoder ? file->decoder->GetName() : QString());
    list->SetCellText(row, kCoderColumn, file->coder ? file->coder->GetName() : QString());
    list->SetCellText(row, kPresetColumn, file->presetName);
}

void CDlgMain::ShowRowState(int row)
{
    if (!session || row < 0 || row >= session->Count()) {
        return;
    }
    CListViewEx* list = controls.fileList;
    list->SetCellText(row, kStatusColumn, FileStateText(session->State(row), language));
    if (QTreeWidgetItem* item = list->topLevelItem(row)) {
        item->setToolTip(kStatusColumn, session->Reason(row));
    }
}

void CDlgMain::AdjustFileListColumns()
{
    controls.fileList->AutoSizeColumns(-1);
}

void CDlgMain::OnFileListSelectionChanged()
{
    ShowCommandLines();
}

void CDlgMain::ShowCommandLines()
{
    const QList<int> selected = controls.fileList->GetSelectedRows();
    CFileInfo* file = selected.size() == 1 ? FileAt(selected.first()) : nullptr;
    // setText does not count as an edit (textEdited), so no file changes here.
    controls.coderLineEdit->setText(file != nullptr ? GetCoderCommandLine(*file) : QString());
    controls.decoderLineEdit->setText(file != nullptr ? GetDecoderCommandLine(*file) : QString());
}

void CDlgMain::OnCoderLineEdited(const QString& text)
{
    // Only the one file whose line is shown can be changed: with several rows selected the
    // edit is empty and belongs to no file.
    const QList<int> selected = controls.fileList->GetSelectedRows();
    CFileInfo* file = selected.size() == 1 ? FileAt(selected.first()) : nullptr;
    if (file != nullptr && file->coder) {
        file->coder->SetParameters(text);
    }
}

void CDlgMain::OnDecoderLineEdited(const QString& text)
{
    const QList<int> selected = controls.fileList->GetSelectedRows();
    CFileInfo* file = selected.size() == 1 ? FileAt(selected.first()) : nullptr;
    if (file != nullptr && file->decoder) {
        file->decoder->SetParameters(text);
    }
}

void CDlgMain::AddPaths(const QStringList& paths)
{
    CFileAdder adder(this, language);
    ReadPaths(adder, paths);
}

void CDlgMain::ReadPaths(CFileAdder& adder, QStringList paths)
{
    // As AddPath does; opening a file is part of reading it, whatever AddOnlyExists says.
    for (QString& path : paths) {
        path = FoldDoubledSeparators(path);
    }
    fileList.SetSheetOptions(
        {CueGapModeOf(settings.general.cueGaps), settings.general.cueEncoding});
    adder.Read(fileList, paths);
    RebuildFileList();
}

void CDlgMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CDlgMain::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    // A dropped folder is offered like a file and not scanned; the list's rule refuses it.
    AddPaths(paths);
    event->acceptProposedAction();
}

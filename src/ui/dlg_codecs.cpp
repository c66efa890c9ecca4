#include "ui/dlg_codecs.h"

#include "codecs/system_program.h"
#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "foundation/path_helpers.h"
#include "report/size_text.h"
#include "settings/settings_set.h"
#include "ui/dialog_units.h"
#include "ui/sort_list_view_ex.h"
#include "ui/ui_texts.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHash>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kSize = 103;
constexpr int kCoder = 105;
constexpr int kOK = 123;
constexpr int kName = 125;
constexpr int kExecutable = 126;
constexpr int kItemsListed = 127;
constexpr int kTitle = 129;
constexpr int kDecoder = 149;
constexpr int kShowCoders = 150;
constexpr int kShowDecoders = 151;
constexpr int kType = 160;
} // namespace Text

constexpr int kWindowWidth = 288; // dialog units
constexpr int kWindowHeight = 256;
constexpr int kSizeDecimals = 0; // the exact mode writes every byte

// The program the codec's wrapper script runs; empty for an executable that is no wrapper.
QString ProgramNameOf(CCodec& codec)
{
    return WrappedProgramName(CleanedPath(codec.GetExecutable()));
}

// "flac 1.4.2", or "flac: not installed".
QString ProgramText(const SystemProgram& program, const CLanguagePack& language)
{
    if (!program.IsInstalled()) {
        return FormatLanguageText(
            LanguageTextOr(language, UiText::kNotInstalled, u"%s: not installed"_s),
            {program.name});
    }
    return (program.name + u' ' + program.version).trimmed();
}

CDlgCodecs::Row RowOf(CCodec& codec, const QHash<QString, QString>& programs)
{
    const QString executable = CleanedPath(codec.GetExecutable());
    return {codec.GetName(), FileNamePart(executable),
            FormatSize(qint32(codec.GetFileSize()), kSizeModeExact, kSizeDecimals),
            programs.value(ProgramNameOf(codec))};
}

} // namespace

CDlgCodecs::CDlgCodecs(CLanguagePack& languagePack, CSettingsSet& settingsSet, QWidget* parent)
    : QDialog(parent), language(languagePack), settings(settingsSet)
{
    setObjectName(u"codecsInfo"_s);
    setModal(true);
    CreateControls();
    SetTexts();
    showCoders->setChecked(settings.showCoders != 0);
    showDecoders->setChecked(settings.showDecoders != 0);
    connect(showCoders, &QCheckBox::clicked, this, &CDlgCodecs::FillList);
    connect(showDecoders, &QCheckBox::clicked, this, &CDlgCodecs::FillList);
    connect(okButton, &QPushButton::clicked, this, [this] { done(kResultOK); });
}

CDlgCodecs::~CDlgCodecs() = default;

void CDlgCodecs::CreateControls()
{
    const DialogUnits du(font());
    showCoders = new QCheckBox(this);
    showCoders->setObjectName(u"showCoders"_s);
    showDecoders = new QCheckBox(this);
    showDecoders->setObjectName(u"showDecoders"_s);
    countText = new QLabel(this);
    countText->setObjectName(u"countText"_s);
    list = new CSortListViewEx(this);
    list->setObjectName(u"codecList"_s);
    list->SetGridLines(true);
    okButton = new QPushButton(this);
    okButton->setObjectName(u"okButton"_s);
    okButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(showCoders);
    layout->addWidget(showDecoders);
    layout->addWidget(countText);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    resize(du.Size(kWindowWidth, kWindowHeight).expandedTo(layout->totalMinimumSize()));
}

void CDlgCodecs::SetTexts()
{
    okButton->setText(language.GetString(Text::kOK));
    showCoders->setText(language.GetString(Text::kShowCoders));
    showDecoders->setText(language.GetString(Text::kShowDecoders));
    const int columns[] = {Text::kType, Text::kName, Text::kSize, Text::kExecutable};
    for (int textId : columns) {
        list->InsertColumn(list->GetColumnCount(), language.GetString(textId));
    }
    list->InsertColumn(list->GetColumnCount(),
                       LanguageTextOr(language, UiText::kSystemProgram, u"System program"_s));
    list->SetColumnAlignment(1, Qt::AlignRight);
    list->SetColumnAlignment(2, Qt::AlignRight);
    setWindowTitle(language.GetString(Text::kTitle));
}

void CDlgCodecs::AddCodecs(CoderList& coders, DecoderList& decoders)
{
    // The last coder is the decode-only entry: no program stands behind it.
    std::vector<CCodec*> shown;
    for (size_t i = 0; i + 1 < coders.size(); ++i) {
        shown.push_back(coders[i].get());
    }
    for (auto& decoder : decoders) {
        shown.push_back(decoder.get());
    }
    // Each program is asked once, a coder and a decoder often running the same one, and all
    // at once: the window waits for the slowest only.
    QStringList names;
    for (CCodec* codec : shown) {
        const QString name = ProgramNameOf(*codec);
        if (!name.isEmpty() && !names.contains(name)) {
            names.append(name);
        }
    }
    QHash<QString, QString> programs;
    for (const SystemProgram& program : FindSystemPrograms(names)) {
        programs.insert(program.name, ProgramText(program, language));
    }
    const size_t coderCount = coders.empty() ? 0 : coders.size() - 1;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (i < coderCount) {
            AddCoder(RowOf(*shown[i], programs));
        } else {
            AddDecoder(RowOf(*shown[i], programs));
        }
    }
}

void CDlgCodecs::showEvent(QShowEvent* event)
{
    if (!filled) {
        filled = true;
        FillList();
    }
    QDialog::showEvent(event);
}

void CDlgCodecs::FillList()
{
    list->LockRedraw();
    list->DeleteAllRows();
    int count = 0;
    if (showDecoders->isChecked()) {
        AppendRows(decoderRows, Text::kDecoder, count);
    }
    if (showCoders->isChecked()) {
        AppendRows(coderRows, Text::kCoder, count);
    }
    list->AutoSizeColumns(-1);
    list->UnlockRedraw();
    countText->setText(language.GetString(Text::kItemsListed) + QString::asprintf(": %d", count));
}

void CDlgCodecs::AppendRows(const QList<Row>& rows, int kindTextId, int& count)
{
    const QString kind = language.GetString(kindTextId);
    for (const Row& row : rows) {
        list->SetCell(count, 0, kind);
        list->SetCell(count, 1, row.name);
        list->SetCell(count, 2, row.size);
        list->SetCell(count, 3, row.executable);
        list->SetCell(count, 4, row.program);
        ++count;
    }
}

void CDlgCodecs::StoreCheckBoxes()
{
    settings.showCoders = showCoders->isChecked() ? 1 : 0;
    settings.showDecoders = showDecoders->isChecked() ? 1 : 0;
}

void CDlgCodecs::reject()
{
    StoreCheckBoxes();
    done(kResultEscape);
}

void CDlgCodecs::closeEvent(QCloseEvent* event)
{
    StoreCheckBoxes();
    done(kResultClosed);
    event->accept();
}

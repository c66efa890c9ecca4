#include "ui/options_page_names.h"

#include "codecs/codec.h"
#include "extensions/language_pack.h"
#include "filelist/file_list.h"
#include "foundation/path_helpers.h"
#include "planning/job_planning.h"
#include "planning/name_pattern.h"
#include "planning/output_tree.h"
#include "settings/settings_set.h"
#include "ui/ui_texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 360;
constexpr int kPattern = 361;
constexpr int kHelp = 362;
constexpr int kFatSafe = 363;
constexpr int kExample = 364;
constexpr int kNotValid = 365;
constexpr int kNumberShared = 367;
} // namespace Text

// Tags of an invented file, to show what the pattern makes of them.
NameFields ExampleFields()
{
    NameFields fields;
    fields.tags = {u"Artist"_s,
                   u"Album Artist"_s,
                   u"Album"_s,
                   u"Title"_s,
                   u"Genre"_s,
                   u"Composer"_s,
                   2001,
                   3,
                   1};
    fields.fileName = u"source"_s;
    fields.folderName = u"Folder"_s;
    return fields;
}

} // namespace

COptionsPageNames::COptionsPageNames(CLanguagePack& languagePack, const NamePreviewSource& from)
    : COptionsPage(languagePack), source(from)
{
}

QString COptionsPageNames::GetTitle() const
{
    return LanguageTextOr(language, Text::kTitle, u"Names from tags"_s);
}

QStringList COptionsPageNames::ReadyPatterns()
{
    return {u"<albumartist>/<album>/[<disc>-]<track> - <title>"_s,
            u"<albumartist>/[<year> - ]<album>/<track> <title>"_s, u"<artist> - <title>"_s};
}

void COptionsPageNames::BuildControls(QWidget* page)
{
    CSettingsGeneral& general = settings->general;
    QVBoxLayout* layout = AddGroup(page, Text::kTitle);
    auto* label = new QLabel(
        LanguageTextOr(language, Text::kPattern, u"Name pattern (empty: the source's name):"_s),
        page);
    pattern = new QComboBox(page);
    pattern->setObjectName(u"namePattern"_s);
    pattern->setEditable(true);
    pattern->setInsertPolicy(QComboBox::NoInsert);
    // The last ones used first, then the ready ones that are not among them.
    QStringList offered = general.recentNamePatterns;
    for (const QString& ready : ReadyPatterns()) {
        if (!offered.contains(ready))
            offered << ready;
    }
    pattern->addItems(offered);
    pattern->setEditText(general.namePattern);
    label->setBuddy(pattern);
    auto* help = new QLabel(
        LanguageTextOr(language, Text::kHelp,
                       u"Fields: <artist> <albumartist> <album> <title> <track> <disc> <year> "
                       u"<genre> <composer> <filename> <folder>. \"/\" makes folders, [ ] drops "
                       u"out when a field in it is empty, <track:3> sets the width."_s),
        page);
    help->setWordWrap(true);
    help->setTextFormat(Qt::PlainText);
    preview = new QLabel(page);
    preview->setObjectName(u"namePreview"_s);
    preview->setWordWrap(true);
    preview->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    layout->addWidget(pattern);
    layout->addWidget(help);
    fatSafe = AddFlag(layout, u"fatSafeNames"_s, Text::kFatSafe, general.fatSafeNames);
    AddFlag(layout, u"numberSharedNames"_s, Text::kNumberShared, general.numberSharedNames);
    layout->addWidget(preview);
    layout->addStretch(1);
    UpdatePreview();
    QObject::connect(pattern, &QComboBox::editTextChanged, page, [this] { UpdatePreview(); });
    QObject::connect(fatSafe, &QCheckBox::toggled, page, [this] { UpdatePreview(); });
}

void COptionsPageNames::UpdatePreview()
{
    const CNamePattern parsed(pattern->currentText());
    if (!parsed.IsValid()) {
        preview->setText(LanguageTextOr(language, Text::kNotValid, u"The pattern is not valid:"_s) +
                         u' ' + parsed.Error());
        return;
    }
    if (const QString result = SelectedResult(parsed); !result.isEmpty()) {
        preview->setText(
            LanguageTextOr(language, UiText::kSelectedResult, u"Result of the selected file:"_s) +
            u' ' + result);
        return;
    }
    const QString example =
        parsed.IsEmpty() ? u"source.mp3"_s : parsed.ResultPath(ExampleFields(), u"mp3"_s, false);
    preview->setText(LanguageTextOr(language, Text::kExample, u"Example:"_s) + u' ' + example);
}

// Planned as Apply plans it, from the stored folder settings and the pattern being typed.
QString COptionsPageNames::SelectedResult(const CNamePattern& parsed) const
{
    const CFileInfo* file = source.files ? source.files->At(source.row) : nullptr;
    if (file == nullptr)
        return {};
    const CSettingsGeneral& general = settings->general;
    QString commonFolder;
    const QString outputFolder = general.ResultFolder(source.programFolder);
    if (general.keepFolderStructure != 0 && !outputFolder.isEmpty()) {
        QStringList paths;
        for (qsizetype i = 0; i < source.files->Count(); ++i)
            paths << source.files->At(i)->path;
        commonFolder = TreeRootsOf(paths, CleanedSettingPath(settings->library.libraryFolder))
                           .value(source.row);
    }
    const QString extension = source.coder && !source.coder->GetEntries().isEmpty()
                                  ? source.coder->GetEntries().first().extension
                                  : u".wav"_s;
    const ResultNaming naming{parsed, fatSafe && fatSafe->isChecked(), QString(), nullptr};
    return ResultPathOf(*file, ResultFolderOf(outputFolder, commonFolder, file->folder, parsed),
                        extension, naming);
}

void COptionsPageNames::OnOK()
{
    CSettingsGeneral& general = settings->general;
    general.namePattern = pattern->currentText().trimmed();
    // Apply says what is wrong with a pattern that is not valid; only good ones are offered again.
    if (CNamePattern(general.namePattern).IsValid())
        general.RememberNamePattern(general.namePattern);
}

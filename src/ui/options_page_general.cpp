#include "ui/options_page_general.h"

#include "extensions/language_choice.h"
#include "extensions/language_pack.h"
#include "foundation/path_helpers.h"
#include "settings/settings_set.h"
#include "ui/library_sync_texts.h"
#include "ui/ui_texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 114;
constexpr int kGroup = 136;
constexpr int kRememberFileList = 135;
constexpr int kShowWarnings = 158;
constexpr int kAddOnlyExists = 159;
constexpr int kSameAsOriginal = 134;
constexpr int kOutputFolder = 133;
constexpr int kCopyTags = 240;
constexpr int kAtomicOutputs = 241;
constexpr int kSkipUpToDate = 242;
constexpr int kStartLongFilesFirst = 263;
constexpr int kKeepFolderStructure = 264;
constexpr int kWriteReplayGain = 340;
constexpr int kReplayGainTrack = 341;
constexpr int kReplayGainAlbum = 342;
constexpr int kDirectInput = 390;
constexpr int kKeepAwake = 530;
constexpr int kNotifyWhenDone = 531;
constexpr int kLanguage = 502;
constexpr int kSystemLanguage = 503;
constexpr int kCueGaps = 542;
constexpr int kGapsToPrevious = 543;
constexpr int kGapsToOwn = 544;
constexpr int kGapsLeftOut = 545;
constexpr int kCueEncoding = 546;
constexpr int kEncodingFound = 547;
} // namespace Text

// Encodings that sheets are commonly written in, offered before the user types another.
constexpr const char16_t* kSheetEncodings[] = {u"UTF-8",     u"windows-1252", u"windows-1251",
                                               u"Shift_JIS", u"GBK",          u"Big5",
                                               u"EUC-KR",    u"ISO-8859-1"};

} // namespace

COptionsPageGeneral::COptionsPageGeneral(CLanguagePack& languagePack) : COptionsPage(languagePack)
{
}

QString COptionsPageGeneral::GetTitle() const
{
    return language.GetString(Text::kTitle);
}

void COptionsPageGeneral::BuildControls(QWidget* page)
{
    CSettingsGeneral& general = settings->general;
    QVBoxLayout* layout = AddGroup(page, Text::kGroup);
    // The options the program adds have no meaning a user could know from elsewhere.
    const auto AddTip = [this](QCheckBox* box, int textId, const QString& english) {
        box->setToolTip(LanguageTextOr(language, textId, english));
    };
    AddFlag(layout, u"rememberFileList"_s, Text::kRememberFileList, general.rememberFileList);
    AddFlag(layout, u"showWarnings"_s, Text::kShowWarnings, general.showWarnings);
    AddFlag(layout, u"addOnlyExists"_s, Text::kAddOnlyExists, general.addOnlyExists);
    AddTip(AddFlag(layout, u"copyTags"_s, Text::kCopyTags, general.copyTags), UiText::kCopyTagsTip,
           u"Carries the source's tags and cover picture over to each result."_s);
    AddTip(AddFlag(layout, u"atomicOutputs"_s, Text::kAtomicOutputs, general.atomicOutputs),
           UiText::kAtomicOutputsTip,
           u"A result gets its real name only once it is complete, so a stopped or failed run "
           u"never leaves a half-written file under that name."_s);
    AddTip(AddFlag(layout, u"skipUpToDate"_s, Text::kSkipUpToDate, general.skipUpToDate),
           UiText::kSkipUpToDateTip,
           u"Start leaves out a file whose result exists and is newer than the file."_s);
    AddTip(AddFlag(layout, u"startLongFilesFirst"_s, Text::kStartLongFilesFirst,
                   general.startLongFilesFirst),
           UiText::kStartLongFilesFirstTip,
           u"The longest files start first, so that no long file runs alone at the end."_s);
    AddReplayGainControls(layout);
    AddFlag(layout, u"directInput"_s, Text::kDirectInput, general.directInput);
    AddFlag(layout, u"keepAwake"_s, Text::kKeepAwake, general.keepAwake);
    AddFlag(layout, u"notifyWhenDone"_s, Text::kNotifyWhenDone, general.notifyWhenDone);
    sameAsOriginal = AddFlag(layout, u"outputFolderSameAsOriginal"_s, Text::kSameAsOriginal,
                             general.outputFolderSameAsOriginal);

    auto* label = new QLabel(language.GetString(Text::kOutputFolder), page);
    outputFolder = new QLineEdit(general.outputFolder, page);
    outputFolder->setObjectName(u"outputFolder"_s);
    label->setBuddy(outputFolder);
    browseButton = new QPushButton(u"..."_s, page);
    browseButton->setObjectName(u"browseOutputFolder"_s);
    browseButton->setAutoDefault(false);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(outputFolder, 1);
    folderRow->addWidget(browseButton);
    layout->addSpacing(label->fontMetrics().height() / 2);
    layout->addWidget(label);
    layout->addLayout(folderRow);
    keepFolderStructure = AddFlag(layout, u"keepFolderStructure"_s, Text::kKeepFolderStructure,
                                  general.keepFolderStructure);
    AddTip(keepFolderStructure, UiText::kKeepFolderStructureTip,
           u"Results go to subfolders of the output folder that repeat where their sources lie "
           u"below the folder the sources share."_s);
    AddLibraryFolderControls(layout);
    AddCueSheetControls(layout);
    AddLanguageControls(layout);
    layout->addStretch(1);

    UpdateFolderControls();
    QObject::connect(sameAsOriginal, &QCheckBox::toggled, page, [this] { UpdateFolderControls(); });
    QObject::connect(keepFolderStructure, &QCheckBox::toggled, page,
                     [this] { UpdateFolderControls(); });
    QObject::connect(browseButton, &QPushButton::clicked, page, [this] { BrowseOutputFolder(); });
}

void COptionsPageGeneral::AddReplayGainControls(QVBoxLayout* layout)
{
    QCheckBox* write =
        AddFlag(layout, u"replayGain"_s, Text::kWriteReplayGain, settings->general.replayGain);
    replayGainScope = new QComboBox(layout->parentWidget());
    replayGainScope->setObjectName(u"replayGainScope"_s);
    replayGainScope->addItem(language.GetString(Text::kReplayGainTrack));
    replayGainScope->addItem(language.GetString(Text::kReplayGainAlbum));
    replayGainScope->setCurrentIndex(settings->general.replayGainAlbum != 0 ? 1 : 0);
    replayGainScope->setEnabled(write->isChecked());
    auto* row = new QHBoxLayout;
    row->addSpacing(write->fontMetrics().height() * 3 / 2);
    row->addWidget(replayGainScope);
    row->addStretch(1);
    layout->addLayout(row);
    QObject::connect(write, &QCheckBox::toggled, replayGainScope, &QWidget::setEnabled);
}

// The packs of the language folder by their own names; the choice is read at the next start.
void COptionsPageGeneral::AddLanguageControls(QVBoxLayout* layout)
{
    QWidget* page = layout->parentWidget();
    auto* label = new QLabel(
        LanguageTextOr(language, Text::kLanguage, u"Language (from the next start):"_s), page);
    languageChoice = new QComboBox(page);
    languageChoice->setObjectName(u"language"_s);
    label->setBuddy(languageChoice);
    languageChoice->addItem(
        LanguageTextOr(language, Text::kSystemLanguage, u"The system's language"_s), QString());
    for (const LanguageChoice& choice : AvailableLanguages(language.Folder()))
        languageChoice->addItem(choice.title, choice.name);
    const QString chosen = settings->general.language;
    int index = languageChoice->findData(chosen);
    if (index < 0 && !chosen.isEmpty()) {
        // A pack that is gone stays chosen until another is: start-up falls back by itself.
        languageChoice->addItem(chosen, chosen);
        index = languageChoice->count() - 1;
    }
    languageChoice->setCurrentIndex(qMax(0, index));
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(languageChoice);
    row->addStretch(1);
    layout->addSpacing(label->fontMetrics().height() / 2);
    layout->addLayout(row);
}

// Album images split by their cue sheets: where the gaps go, and the sheets' encoding when
// their bytes do not say it well.
void COptionsPageGeneral::AddCueSheetControls(QVBoxLayout* layout)
{
    QWidget* page = layout->parentWidget();
    auto* gapsLabel = new QLabel(
        LanguageTextOr(language, Text::kCueGaps, u"Album images, gaps between tracks:"_s), page);
    cueGaps = new QComboBox(page);
    cueGaps->setObjectName(u"cueGaps"_s);
    gapsLabel->setBuddy(cueGaps);
    cueGaps->addItem(
        LanguageTextOr(language, Text::kGapsToPrevious, u"at the end of the track before"_s));
    cueGaps->addItem(LanguageTextOr(language, Text::kGapsToOwn, u"at the start of their track"_s));
    cueGaps->addItem(LanguageTextOr(language, Text::kGapsLeftOut, u"left out"_s));
    cueGaps->setCurrentIndex(qBound(0, settings->general.cueGaps, 2));

    auto* encodingLabel =
        new QLabel(LanguageTextOr(language, Text::kCueEncoding, u"Cue sheet encoding:"_s), page);
    cueEncoding = new QComboBox(page);
    cueEncoding->setObjectName(u"cueEncoding"_s);
    cueEncoding->setEditable(true);
    encodingLabel->setBuddy(cueEncoding);
    cueEncoding->addItem(
        LanguageTextOr(language, Text::kEncodingFound, u"Found from the sheet's bytes"_s),
        QString());
    for (const char16_t* name : kSheetEncodings)
        cueEncoding->addItem(QString::fromUtf16(name), QString::fromUtf16(name));
    const QString chosen = settings->general.cueEncoding;
    int index = cueEncoding->findData(chosen);
    if (index < 0) {
        cueEncoding->addItem(chosen, chosen);
        index = cueEncoding->count() - 1;
    }
    cueEncoding->setCurrentIndex(index);

    auto* grid = new QGridLayout;
    grid->addWidget(gapsLabel, 0, 0);
    grid->addWidget(cueGaps, 0, 1);
    grid->addWidget(encodingLabel, 1, 0);
    grid->addWidget(cueEncoding, 1, 1);
    grid->setColumnStretch(2, 1);
    layout->addSpacing(gapsLabel->fontMetrics().height() / 2);
    layout->addLayout(grid);
}

// The folder is of no use while results go beside their sources, the library folder only
// while the structure is kept.
void COptionsPageGeneral::UpdateFolderControls()
{
    const bool ownFolder = !sameAsOriginal->isChecked();
    outputFolder->setEnabled(ownFolder);
    browseButton->setEnabled(ownFolder);
    keepFolderStructure->setEnabled(ownFolder);
    libraryFolder->setEnabled(ownFolder && keepFolderStructure->isChecked());
    browseLibraryButton->setEnabled(libraryFolder->isEnabled());
}

void COptionsPageGeneral::AddLibraryFolderControls(QVBoxLayout* layout)
{
    QWidget* page = layout->parentWidget();
    auto* label = new QLabel(LanguageTextOr(language, LibrarySyncText::kLibraryFolderOption,
                                            u"Library folder (files inside it keep the tree "
                                            u"below it):"_s),
                             page);
    libraryFolder = new QLineEdit(settings->library.libraryFolder, page);
    libraryFolder->setObjectName(u"libraryFolder"_s);
    libraryFolder->setToolTip(LanguageTextOr(
        language, LibrarySyncText::kLibraryFolderTip,
        u"With the folder structure kept, files inside this folder keep their place below it "
        u"in the output, whatever else the list holds."_s));
    label->setBuddy(libraryFolder);
    browseLibraryButton = new QPushButton(u"..."_s, page);
    browseLibraryButton->setObjectName(u"browseLibraryFolder"_s);
    browseLibraryButton->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addSpacing(20);
    row->addWidget(libraryFolder, 1);
    row->addWidget(browseLibraryButton);
    layout->addWidget(label);
    layout->addLayout(row);
    QObject::connect(browseLibraryButton, &QPushButton::clicked, page, [this, label] {
        const QString folder = QFileDialog::getExistingDirectory(
            Window(), label->text(), libraryFolder->text(), QFileDialog::ShowDirsOnly);
        if (!folder.isEmpty())
            libraryFolder->setText(folder);
    });
}

void COptionsPageGeneral::BrowseOutputFolder()
{
    QString folder =
        QFileDialog::getExistingDirectory(Window(), language.GetString(Text::kOutputFolder),
                                          outputFolder->text(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) {
        AddBackslash(folder);
        outputFolder->setText(folder);
    }
}

void COptionsPageGeneral::OnOK()
{
    settings->general.outputFolder = outputFolder->text();
    settings->library.libraryFolder = libraryFolder->text().trimmed();
    settings->general.replayGainAlbum = replayGainScope->currentIndex() == 1 ? 1 : 0;
    settings->general.language = languageChoice->currentData().toString();
    settings->general.cueGaps = cueGaps->currentIndex();
    // A typed name is the encoding itself; a listed one carries its name as its data.
    const QString typed = cueEncoding->currentText().trimmed();
    const int listed = cueEncoding->findText(typed);
    settings->general.cueEncoding = listed >= 0 ? cueEncoding->itemData(listed).toString() : typed;
}

#include "ui/options_page_general.h"

#include "extensions/language_pack.h"
#include "foundation/path_helpers.h"
#include "settings/settings_set.h"

#include <QCheckBox>
#include <QFileDialog>
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
constexpr int kDirectInput = 390;
} // namespace Text

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
    AddFlag(layout, u"rememberFileList"_s, Text::kRememberFileList, general.rememberFileList);
    AddFlag(layout, u"showWarnings"_s, Text::kShowWarnings, general.showWarnings);
    AddFlag(layout, u"addOnlyExists"_s, Text::kAddOnlyExists, general.addOnlyExists);
    AddFlag(layout, u"copyTags"_s, Text::kCopyTags, general.copyTags);
    AddFlag(layout, u"atomicOutputs"_s, Text::kAtomicOutputs, general.atomicOutputs);
    AddFlag(layout, u"skipUpToDate"_s, Text::kSkipUpToDate, general.skipUpToDate);
    AddFlag(layout, u"startLongFilesFirst"_s, Text::kStartLongFilesFirst,
            general.startLongFilesFirst);
    AddFlag(layout, u"directInput"_s, Text::kDirectInput, general.directInput);
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
    layout->addStretch(1);

    UpdateFolderControls();
    QObject::connect(sameAsOriginal, &QCheckBox::toggled, page, [this] { UpdateFolderControls(); });
    QObject::connect(browseButton, &QPushButton::clicked, page, [this] { BrowseOutputFolder(); });
}

// The folder is of no use while results go beside their sources.
void COptionsPageGeneral::UpdateFolderControls()
{
    const bool ownFolder = !sameAsOriginal->isChecked();
    outputFolder->setEnabled(ownFolder);
    browseButton->setEnabled(ownFolder);
    keepFolderStructure->setEnabled(ownFolder);
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
}

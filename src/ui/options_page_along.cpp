#include "ui/options_page_along.h"

#include "extensions/language_pack.h"
#include "settings/settings_set.h"
#include "ui/ui_texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 600;
constexpr int kCopyCovers = 601;
constexpr int kShrinkPictures = 602;
constexpr int kPixels = 603;
constexpr int kPatterns = 604;
constexpr int kNeverReplaced = 605;
constexpr int kCopySameFormat = 606;
constexpr int kLossyRule = 607;
constexpr int kLossyConvert = 608;
constexpr int kLossyCopy = 609;
constexpr int kLossyLeaveOut = 610;
} // namespace Text

// Below this a cover shows nothing; above it no player's screen is.
constexpr int kSmallestSide = 32;
constexpr int kLargestSide = 4096;

} // namespace

COptionsPageAlong::COptionsPageAlong(CLanguagePack& languagePack) : COptionsPage(languagePack)
{
}

QString COptionsPageAlong::GetTitle() const
{
    return LanguageTextOr(language, Text::kTitle, u"Covers and files along"_s);
}

void COptionsPageAlong::BuildControls(QWidget* page)
{
    CSettingsGeneral& general = settings->general;
    QVBoxLayout* layout = AddGroup(page, Text::kTitle);
    AddFlag(layout, u"copyCovers"_s, Text::kCopyCovers, general.copyCovers);
    QCheckBox* shrink =
        AddFlag(layout, u"shrinkPictures"_s, Text::kShrinkPictures, general.shrinkPictures);
    auto* sizeRow = new QHBoxLayout;
    pictureSize = new QSpinBox(page);
    pictureSize->setObjectName(u"pictureMaxSize"_s);
    pictureSize->setRange(kSmallestSide, kLargestSide);
    pictureSize->setValue(qBound(kSmallestSide, int(general.pictureMaxSize), kLargestSide));
    pictureSize->setEnabled(shrink->isChecked());
    sizeRow->addSpacing(20);
    sizeRow->addWidget(pictureSize);
    sizeRow->addWidget(new QLabel(LanguageTextOr(language, Text::kPixels, u"pixels"_s), page));
    sizeRow->addStretch(1);
    layout->addLayout(sizeRow);
    QObject::connect(shrink, &QCheckBox::toggled, pictureSize, &QWidget::setEnabled);
    auto* label = new QLabel(
        LanguageTextOr(language, Text::kPatterns, u"Also copy along (as *.log;*.pdf):"_s), page);
    patterns = new QLineEdit(general.copyAlongPatterns, page);
    patterns->setObjectName(u"copyAlongPatterns"_s);
    label->setBuddy(patterns);
    auto* note = new QLabel(LanguageTextOr(language, Text::kNeverReplaced,
                                           u"A file there that orvel did not write is never "
                                           u"replaced."_s),
                            page);
    note->setWordWrap(true);
    layout->addWidget(label);
    layout->addWidget(patterns);
    layout->addWidget(note);
    AddFlag(layout, u"copySameFormat"_s, Text::kCopySameFormat, general.copySameFormat);
    auto* lossyLabel =
        new QLabel(LanguageTextOr(language, Text::kLossyRule,
                                  u"Lossy sources (MP3, AAC, Vorbis, Opus) into a lossy coder:"_s),
                   page);
    lossyRule = new QComboBox(page);
    lossyRule->setObjectName(u"lossyToLossy"_s);
    // In the order of the setting's values.
    lossyRule->addItem(LanguageTextOr(language, Text::kLossyConvert, u"Convert them"_s));
    lossyRule->addItem(LanguageTextOr(language, Text::kLossyCopy, u"Copy them as they are"_s));
    lossyRule->addItem(LanguageTextOr(language, Text::kLossyLeaveOut, u"Leave them out"_s));
    lossyRule->setCurrentIndex(qBound(0, int(general.lossyToLossy), 2));
    lossyLabel->setBuddy(lossyRule);
    layout->addWidget(lossyLabel);
    layout->addWidget(lossyRule);
    layout->addStretch(1);
}

void COptionsPageAlong::OnOK()
{
    settings->general.pictureMaxSize = pictureSize->value();
    settings->general.copyAlongPatterns = patterns->text().trimmed();
    settings->general.lossyToLossy = lossyRule->currentIndex();
}

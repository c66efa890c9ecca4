#include "ui/options_page_device.h"

#include "extensions/language_pack.h"
#include "settings/settings_set.h"
#include "ui/ui_texts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 651;
constexpr int kSampleRate = 652;
constexpr int kKeep = 653;
constexpr int kBitDepth = 654;
constexpr int kSixteenBits = 655;
constexpr int kChannels = 656;
constexpr int kStereo = 657;
constexpr int kMono = 658;
constexpr int kVerify = 659;
constexpr int kHelp = 660;
} // namespace Text

// The settings' numbers in the order the drop-downs list them.
const QList<int> kRates{0, 96000, 48000, 44100};
const QList<int> kDepths{0, 24, 16};
const QList<int> kLayouts{0, 2, 1};

} // namespace

COptionsPageDevice::COptionsPageDevice(CLanguagePack& languagePack) : COptionsPage(languagePack)
{
}

QString COptionsPageDevice::GetTitle() const
{
    return LanguageTextOr(language, Text::kTitle, u"Device"_s);
}

QComboBox* COptionsPageDevice::AddChoice(QVBoxLayout* layout, const QString& objectName, int textId,
                                         const QStringList& items)
{
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(LanguageTextOr(language, textId, QString()), layout->parentWidget());
    auto* box = new QComboBox(layout->parentWidget());
    box->setObjectName(objectName);
    box->addItems(items);
    label->setBuddy(box);
    row->addWidget(label, 1);
    row->addWidget(box);
    layout->addLayout(row);
    return box;
}

void COptionsPageDevice::BuildControls(QWidget* page)
{
    const CSettingsDevice& device = settings->device;
    QVBoxLayout* layout = AddGroup(page, Text::kTitle);
    const QString keep = LanguageTextOr(language, Text::kKeep, u"as the source"_s);
    sampleRate = AddChoice(layout, u"maxSampleRate"_s, Text::kSampleRate,
                           {keep, u"96 kHz"_s, u"48 kHz"_s, u"44.1 kHz"_s});
    sampleRate->setCurrentIndex(int(std::max<qsizetype>(0, kRates.indexOf(device.maxSampleRate))));
    bitDepth = AddChoice(
        layout, u"maxBitDepth"_s, Text::kBitDepth,
        {keep, u"24"_s, LanguageTextOr(language, Text::kSixteenBits, u"16 (with dither)"_s)});
    bitDepth->setCurrentIndex(int(std::max<qsizetype>(0, kDepths.indexOf(device.maxBitDepth))));
    channels = AddChoice(layout, u"channels"_s, Text::kChannels,
                         {keep, LanguageTextOr(language, Text::kStereo, u"stereo (downmix)"_s),
                          LanguageTextOr(language, Text::kMono, u"mono"_s)});
    channels->setCurrentIndex(int(std::max<qsizetype>(0, kLayouts.indexOf(device.channels))));
    auto* help = new QLabel(LanguageTextOr(language, Text::kHelp, QString()), page);
    help->setWordWrap(true);
    help->setTextFormat(Qt::PlainText);
    layout->addWidget(help);
    AddFlag(layout, u"verifyLossless"_s, Text::kVerify, settings->device.verifyLossless);
    layout->addStretch(1);
}

void COptionsPageDevice::OnOK()
{
    CSettingsDevice& device = settings->device;
    device.maxSampleRate = kRates.value(sampleRate->currentIndex());
    device.maxBitDepth = kDepths.value(bitDepth->currentIndex());
    device.channels = kLayouts.value(channels->currentIndex());
}

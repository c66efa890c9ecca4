#include "ui/options_page_core.h"

#include "extensions/language_pack.h"
#include "settings/settings_set.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 115;
constexpr int kGroup = 137;
constexpr int kPriority = 138;
constexpr int kPriorityIdle = 139; // 139..142: idle, normal, high, real-time
constexpr int kProcessors = 143;
constexpr int kThreadsCount = 144;
} // namespace Text

QComboBox* AddList(QVBoxLayout* layout, const QString& objectName, const QString& label)
{
    auto* text = new QLabel(label, layout->parentWidget());
    auto* list = new QComboBox(layout->parentWidget());
    list->setObjectName(objectName);
    text->setBuddy(list);
    layout->addWidget(text);
    layout->addWidget(list);
    return list;
}

// A stored value outside the list shows the setting's default rather than no choice, so OK
// can never store a value the list does not offer.
int IndexOrDefault(int index, int count, int defaultIndex)
{
    return index >= 0 && index < count ? index : defaultIndex;
}

} // namespace

COptionsPageCore::COptionsPageCore(CLanguagePack& languagePack, int processors)
    : COptionsPage(languagePack), processorCount(processors)
{
}

QString COptionsPageCore::GetTitle() const
{
    return language.GetString(Text::kTitle);
}

void COptionsPageCore::BuildControls(QWidget* page)
{
    QVBoxLayout* layout = AddGroup(page, Text::kGroup);
    const CSettingsCore defaults;

    priority = AddList(layout, u"priority"_s, language.GetString(Text::kPriority));
    for (int i = 0; i < kPriorityCount; ++i) {
        priority->addItem(language.GetString(Text::kPriorityIdle + i));
    }
    priority->setCurrentIndex(
        IndexOrDefault(settings->core.priority, kPriorityCount, defaults.priority));

    layout->addSpacing(page->fontMetrics().height() / 2);
    threadsCount = AddList(layout, u"threadsCount"_s, language.GetString(Text::kThreadsCount));
    for (int count = 1; count <= kMaxThreads; ++count) {
        QString entry = QString::number(count);
        if (count == processorCount) {
            entry += u" ("_s + language.GetString(Text::kProcessors) + u')';
        }
        threadsCount->addItem(entry);
    }
    threadsCount->setCurrentIndex(
        IndexOrDefault(settings->core.threadsCount - 1, kMaxThreads, defaults.threadsCount - 1));
    layout->addStretch(1);
}

void COptionsPageCore::OnOK()
{
    settings->core.priority = priority->currentIndex();
    settings->core.threadsCount = threadsCount->currentIndex() + 1;
}

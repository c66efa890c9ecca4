#include "ui/options_page_database.h"

#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "settings/settings_set.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 177;
constexpr int kFindByFileName = 178;
constexpr int kRecords = 179; // one integer
constexpr int kDate = 180;    // one text
} // namespace Text

} // namespace

COptionsPageDatabase::COptionsPageDatabase(CLanguagePack& languagePack, int records,
                                           const QString& databaseDate)
    : COptionsPage(languagePack), recordCount(records), date(databaseDate)
{
}

QString COptionsPageDatabase::GetTitle() const
{
    return language.GetString(Text::kTitle);
}

void COptionsPageDatabase::BuildControls(QWidget* page)
{
    QVBoxLayout* layout = AddGroup(page, Text::kTitle);
    auto* info = new QLabel(
        FormatLanguageText(language.GetString(Text::kRecords), {QString::number(recordCount)}) +
            u'\n' + FormatLanguageText(language.GetString(Text::kDate), {date}),
        page);
    info->setObjectName(u"databaseInfo"_s);
    info->setTextFormat(Qt::PlainText);
    layout->addWidget(info);
    layout->addSpacing(info->fontMetrics().height() / 2);
    AddFlag(layout, u"findByFileName"_s, Text::kFindByFileName, settings->database.findByFileName);
    layout->addStretch(1);
}

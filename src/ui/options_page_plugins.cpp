#include "ui/options_page_plugins.h"

#include "extensions/language_pack.h"
#include "extensions/plugin.h"
#include "report/size_text.h"
#include "ui/sort_list_view_ex.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kTitle = 116;
constexpr int kLoaded = 145;
constexpr int kVersion = 146;
constexpr int kName = 147;
constexpr int kFileName = 102;
constexpr int kSize = 103;
} // namespace Text

constexpr int kSizeDecimals = 2;

} // namespace

COptionsPagePlugins::COptionsPagePlugins(CLanguagePack& languagePack,
                                         const CPluginList& loadedPlugins)
    : COptionsPage(languagePack), plugins(loadedPlugins)
{
}

QString COptionsPagePlugins::GetTitle() const
{
    return language.GetString(Text::kTitle);
}

void COptionsPagePlugins::BuildControls(QWidget* page)
{
    QVBoxLayout* layout = AddGroup(page, Text::kTitle);
    auto* count = new QLabel(
        language.GetString(Text::kLoaded) + QString::asprintf(": %d", plugins.Count()), page);
    count->setObjectName(u"pluginCount"_s);
    layout->addWidget(count);

    auto* list = new CSortListViewEx(page);
    list->setObjectName(u"pluginList"_s);
    list->SetGridLines(true);
    list->InsertColumn(0, language.GetString(Text::kName));
    list->InsertColumn(1, language.GetString(Text::kVersion));
    list->InsertColumn(2, language.GetString(Text::kFileName));
    list->InsertColumn(3, language.GetString(Text::kSize), Qt::AlignRight);
    for (int i = 0; i < plugins.Count(); ++i) {
        const CPlugin& plugin = plugins.At(i);
        list->SetCell(i, 0, plugin.name);
        list->SetCell(i, 1, plugin.version);
        list->SetCell(i, 2, plugin.fileName);
        list->SetCell(i, 3, FormatSize(qint32(plugin.fileSize), kSizeModeAutomatic, kSizeDecimals));
    }
    list->AutoSizeColumns(-1);
    layout->addWidget(list, 1);
}

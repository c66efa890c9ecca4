#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "support/notifier_recorder.h"
#include "support/test_paths.h"

#include <QMap>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Every string id the program asks a pack for.
QList<int> RequiredStringIds()
{
    QList<int> ids;
    const auto addRange = [&ids](int first, int last) {
        for (int id = first; id <= last; ++id)
            ids.append(id);
    };
    addRange(101, 147);
    addRange(149, 153);
    ids.append(156);
    addRange(158, 172);
    addRange(177, 184);
    addRange(190, 193);
    addRange(300, 310);
    addRange(470, 478);
    addRange(500, 503);
    return ids;
}

// The texts used as formats and what their users pass: the start-up time in milliseconds,
// the number of database records, the database's date and a share's number. Every other text
// takes nothing.
const QMap<int, QList<FormatArgument>> kFormatStrings = {
    {113, {FormatArgument::Integer}},
    {179, {FormatArgument::Integer}},
    {180, {FormatArgument::Text}},
    {191, {FormatArgument::Text}},
    {192, {FormatArgument::Text}},
    {300, {FormatArgument::Text}},
    {310, {FormatArgument::Text}},
    {501, {FormatArgument::Text}},
    // A missing program: the coder, its package (twice, in the command to install it).
    {470, {FormatArgument::Text, FormatArgument::Text, FormatArgument::Text}},
    {471, {FormatArgument::Text}},
    {472, {FormatArgument::Text, FormatArgument::Text}},
    {473, {FormatArgument::Text}},
    {475, {FormatArgument::Text}},
    {477, {FormatArgument::Text}},
};

// A menu's structure without its texts: kinds and command ids, pop-ups nested.
QString Shape(const LanguageMenu& menu)
{
    QString shape;
    for (const LanguageMenuItem& item : menu) {
        switch (item.kind) {
        case LanguageMenuItem::Kind::Command:
            shape += QString::number(item.commandId) + u' ';
            break;
        case LanguageMenuItem::Kind::Separator:
            shape += u"- "_s;
            break;
        case LanguageMenuItem::Kind::Popup:
            shape += u"[ "_s + Shape(item.items) + u"] "_s;
            break;
        }
    }
    return shape;
}

bool AllItemsHaveText(const LanguageMenu& menu)
{
    for (const LanguageMenuItem& item : menu) {
        if (item.kind == LanguageMenuItem::Kind::Separator)
            continue;
        if (item.text.isEmpty() || !AllItemsHaveText(item.items))
            return false;
    }
    return true;
}

// The access keys of one pop-up's items ("&&" is a plain "&"), lower-cased; pop-ups nested in it
// are checked on their own.
void ExpectUniqueAccessKeys(const LanguageMenu& items, const QString& where)
{
    QMap<QChar, QString> owners;
    for (const LanguageMenuItem& item : items) {
        if (item.kind == LanguageMenuItem::Kind::Popup)
            ExpectUniqueAccessKeys(item.items, where + u" > "_s + item.text);
        for (qsizetype i = 0; i + 1 < item.text.size(); ++i) {
            if (item.text[i] != u'&')
                continue;
            if (item.text[i + 1] != u'&') {
                const QChar key = item.text[i + 1].toLower();
                EXPECT_FALSE(owners.contains(key))
                    << where.toStdString() << ": \"" << item.text.toStdString() << "\" and \""
                    << owners.value(key).toStdString() << "\"";
                owners.insert(key, item.text);
            }
            ++i;
        }
    }
}

class ShippedLanguagePackTest : public testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        const QString name = QString::fromLatin1(GetParam());
        ASSERT_TRUE(
            pack.LoadLanguage(SourceTreePath(u"data/Languages/"_s + name + u".json"_s), name));
        ASSERT_EQ(recorder.Count(), 0) << recorder.Messages().value(0).text.toStdString();
        ASSERT_TRUE(pack.IsLoaded());
    }

    NotifierRecorder recorder;
    CLanguagePack pack;
};

} // namespace

TEST_P(ShippedLanguagePackTest, HoldsEveryStringTheProgramAsksFor)
{
    for (int id : RequiredStringIds())
        EXPECT_FALSE(pack.GetString(id).trimmed().isEmpty()) << "string " << id;
}

TEST_P(ShippedLanguagePackTest, FormatStringsTakeExactlyTheArgumentsTheirUsersPass)
{
    for (int id : RequiredStringIds()) {
        const std::optional<QList<FormatArgument>> arguments = FormatArguments(pack.GetString(id));
        ASSERT_TRUE(arguments.has_value()) << "string " << id << " has an unknown conversion";
        EXPECT_EQ(*arguments, kFormatStrings.value(id)) << "string " << id;
    }
}

TEST_P(ShippedLanguagePackTest, MenusHoldEveryCommandInTheProgramsOrder)
{
    for (int menuId : {kMainMenuId, kFileListMenuId}) {
        SCOPED_TRACE(menuId);
        const LanguageMenu menu = pack.GetMenu(menuId);
        EXPECT_EQ(Shape(menu), Shape(BuiltInMenu(menuId)));
        EXPECT_TRUE(AllItemsHaveText(menu));
    }
    EXPECT_EQ(Shape(pack.GetMenu(kMainMenuId)), u"[ 32777 32778 32807 32808 - 32776 ] "
                                                u"[ 32781 32782 - 32784 32785 - [ 32787 32788 "
                                                u"32789 ] - 32791 32792 32793 - 32850 - 32851 ] "
                                                u"[ 32809 32810 32796 ] "_s);
    EXPECT_EQ(Shape(pack.GetMenu(kFileListMenuId)), u"[ 32799 32800 32791 - 32801 32802 ] "_s);
}

TEST_P(ShippedLanguagePackTest, AccessKeysAreUniqueWithinEachPopup)
{
    LanguageMenu bar = pack.GetMenu(kMainMenuId);
    // The Plugins pop-up joins the bar when plugins are found.
    bar.insert(bar.end() - 1, LanguageMenuItem::Popup(pack.GetString(116), {}));
    ExpectUniqueAccessKeys(bar, u"menu bar"_s);
    ExpectUniqueAccessKeys(pack.GetMenu(kFileListMenuId), u"file list menu"_s);
}

INSTANTIATE_TEST_SUITE_P(Packs, ShippedLanguagePackTest, testing::Values("English", "german"));

TEST(LanguageFormatTest, ConversionsAreReadAndFilledInOrder)
{
    using enum FormatArgument;
    const struct
    {
        const char16_t* format;
        std::optional<QList<FormatArgument>> arguments;
        QStringList values;
        const char16_t* result;
    } cases[] = {
        {u"Start-up took %d ms.", QList{Integer}, {u"12"_s}, u"Start-up took 12 ms."},
        {u"%s: %d%%", QList{Text, Integer}, {u"a"_s, u"5"_s}, u"a: 5%"},
        {u"100%%", QList<FormatArgument>{}, {}, u"100%"},
        {u"no arguments", QList<FormatArgument>{}, {u"unused"_s}, u"no arguments"},
        // What a broken pack might hold: shown as written, never read past the arguments.
        {u"%d and %s", QList{Integer, Text}, {u"1"_s}, u"1 and %s"},
        {u"%x %5d %", std::nullopt, {u"1"_s}, u"%x %5d %"},
        {u"%s%s", QList{Text, Text}, {u"%d"_s, u"%s"_s}, u"%d%s"},
    };
    for (const auto& c : cases) {
        const QString format = QString::fromUtf16(c.format);
        SCOPED_TRACE(format.toStdString());
        EXPECT_EQ(FormatArguments(format), c.arguments);
        EXPECT_EQ(FormatLanguageText(format, c.values), QString::fromUtf16(c.result));
    }
}

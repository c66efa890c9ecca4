#include "codecs/command_template.h"

#include <QList>
#include <gtest/gtest.h>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

struct ExpansionCase
{
    const char* name;
    QString commandTemplate;
    TemplateValues values;
    QString expected;
};

TEST(CommandTemplateTest, ExpandsEveryPlaceholder)
{
    const TemplateValues paths{u"C:\\a b\\x.flac"_s, u"C:\\o\\x.ogg"_s, 44100, 2};
    const TemplateValues tricky{u"/m/%in% 100%.wav"_s, u"/o/%out%.ogg"_s, 48000, 2};
    const QList<ExpansionCase> cases = {
        {"empty", u""_s, paths, u""_s},
        {"no placeholder", u"  -q 5 -  "_s, paths, u"  -q 5 -  "_s},
        {"in and out", u"-q 5 %in% %out%"_s, paths, u"-q 5 \"C:\\a b\\x.flac\" \"C:\\o\\x.ogg\""_s},
        {"repeated", u"%in%%in%"_s, paths, u"\"C:\\a b\\x.flac\"\"C:\\a b\\x.flac\""_s},
        {"inserted text is not expanded again", u"%in% %out%"_s, tricky,
         u"\"/m/%in% 100%.wav\" \"/o/%out%.ogg\""_s},
        {"rate in hertz", u"-r %orig_sr_hz%"_s, paths, u"-r 44100"_s},
        {"no rate", u"%orig_sr_hz%"_s, TemplateValues{}, u"0"_s},
        {"kilohertz", u"--resample %orig_sr_khz%"_s, paths, u"--resample 44.1"_s},
    };
    for (const ExpansionCase& c : cases) {
        SCOPED_TRACE(c.name);
        QString result = u"previous"_s;
        ASSERT_TRUE(ExpandTemplate(c.commandTemplate, result, c.values));
        EXPECT_EQ(result, c.expected);
    }
}

TEST(CommandTemplateTest, KilohertzHasThePointThreeDigitsFromTheEnd)
{
    const QList<QPair<qint32, QString>> rates = {
        {44100, u"44.1"_s},
        {48000, u"48.0"_s},
        {22050, u"22.05"_s},
        {11025, u"11.025"_s},
        {8000, u"8.0"_s},
        {192000, u"192.0"_s},
        {0, u"0.0"_s},
        {500, u"0.5"_s},
        {7, u"0.007"_s},
        {-44100, u"-44.1"_s},
        {std::numeric_limits<qint32>::min(), u"-2147483.648"_s},
    };
    for (const auto& [rate, text] : rates) {
        QString result;
        TemplateValues values;
        values.sampleRate = rate;
        ASSERT_TRUE(ExpandTemplate(u"%orig_sr_khz%"_s, result, values));
        EXPECT_EQ(result, text) << rate;
    }
}

TEST(CommandTemplateTest, UnknownOrUnclosedPlaceholdersFailAndKeepTheResult)
{
    const TemplateValues values{u"/in.flac"_s, u"/out.ogg"_s, 44100, 2};
    for (const QString& bad : {u"%IN%"_s, u"%in% %%"_s, u"-q 5 %"_s, u"%in% 50%"_s, u"%channels%"_s,
                               u"%out% %Orig_SR_Hz%"_s}) {
        QString result = u"previous"_s;
        EXPECT_FALSE(ExpandTemplate(bad, result, values)) << bad.toStdString();
        EXPECT_EQ(result, u"previous"_s);
    }
}

} // namespace

#include "foundation/command_line.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(CommandLineTest, SplitsByTheRuntimeRules)
{
    struct Case
    {
        QString line;
        QStringList arguments;
    };
    const QList<Case> cases = {
        {u""_s, {}},
        {u" \t "_s, {}},
        {u" -q 5  x"_s, {u"-q"_s, u"5"_s, u"x"_s}},
        {u"\"a b\" c"_s, {u"a b"_s, u"c"_s}},
        {u"a\"b c\"d"_s, {u"ab cd"_s}},
        {u"\"\" x"_s, {u""_s, u"x"_s}},
        {u"a\"b\"\" c d"_s, {u"ab\" c d"_s}},
        {u"\"\"\"\" x"_s, {u"\""_s, u"x"_s}},
        {u"a\\\\b"_s, {u"a\\\\b"_s}},
        {u"a\\\"b"_s, {u"a\"b"_s}},
        {u"a\\\\\"b c\""_s, {u"a\\b c"_s}},
        {u"a\\\\\\\"b"_s, {u"a\\\"b"_s}},
        {u"\"C:\\dir\\\\\""_s, {u"C:\\dir\\"_s}},
        {u"\"unclosed  tail"_s, {u"unclosed  tail"_s}},
        {u"line\nbreak"_s, {u"line\nbreak"_s}},
        {u"trailing\\"_s, {u"trailing\\"_s}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line.toStdString();
}

TEST(CommandLineTest, QuotingLeavesPlainPathsAsTheyStand)
{
    EXPECT_EQ(QuoteArgument(u"/music/a b.flac"_s), u"\"/music/a b.flac\""_s);
    EXPECT_EQ(QuoteArgument(u"C:\\a b\\x.flac"_s), u"\"C:\\a b\\x.flac\""_s);
    EXPECT_EQ(QuoteArgument(u""_s), u"\"\""_s);
    EXPECT_EQ(QuoteArgument(u"a\"b"_s), u"\"a\\\"b\""_s);
    EXPECT_EQ(QuoteArgument(u"a\\\"b"_s), u"\"a\\\\\\\"b\""_s);
    EXPECT_EQ(QuoteArgument(u"dir\\"_s), u"\"dir\\\\\""_s);
}

TEST(CommandLineTest, SplittingAQuotedArgumentGivesItBackExactly)
{
    // Characters that matter to the splitter, and some that matter to shells, weighted up.
    const QString alphabet = u"\\\\\\\"\"  \t\n%$()'-aZ9ü€\u00A0;&|*?"_s;
    QRandomGenerator random(20240607);
    for (int round = 0; round < 5000; ++round) {
        QStringList arguments;
        const int count = random.bounded(1, 4);
        for (int a = 0; a < count; ++a) {
            QString argument;
            const int length = random.bounded(0, 12);
            for (int i = 0; i < length; ++i)
                argument += alphabet[random.bounded(int(alphabet.size()))];
            arguments.append(argument);
        }
        QString line;
        for (const QString& argument : arguments)
            line += u' ' + QuoteArgument(argument);
        ASSERT_EQ(SplitCommandLine(line), arguments) << line.toStdString();
    }
}

} // namespace

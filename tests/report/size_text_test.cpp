#include "report/size_text.h"

#include <gtest/gtest.h>
#include <limits>

using namespace Qt::StringLiterals;

TEST(SizeTextTest, FormatsSizesAsTheListsShowThem)
{
    const struct
    {
        qint64 bytes;
        qint32 mode;
        qint32 decimals;
        const char16_t* text;
    } cases[] = {
        // Automatic units scale only while the value is above 1024.
        {500, 0, 2, u"500,00 B"},
        {0, 0, 2, u"0,00 B"},
        {1024, 0, 2, u"1024,00 B"},
        {1025, 0, 2, u"1,00 KB"},
        {1536, 0, 2, u"1,50 KB"},
        {1048576, 0, 2, u"1024,00 KB"},
        {1024 * 1024 + 1, 0, 2, u"1,00 MB"},
        {1073741824, 0, 2, u"1024,00 MB"},
        {std::numeric_limits<qint32>::max(), 0, 2, u"2,00 GB"},
        {1536, 0, 0, u"2 KB"},
        {1536, 0, 3, u"1,500 KB"},
        // 2 GiB and more is a plain size too.
        {3LL << 30, 0, 2, u"3,00 GB"},
        {5000000000LL, 1, 0, u"5 000 000 000 B"},
        // A failed size query is negative: never scaled.
        {-1, 0, 2, u"-1,00 B"},
        {std::numeric_limits<qint32>::min(), 0, 2, u"-2147483648,00 B"},
        // Exact bytes: groups of three, decimals ignored, no decimal comma.
        {999, 1, 1, u"999 B"},
        {1000, 1, 1, u"1 000 B"},
        {1234567, 1, 2, u"1 234 567 B"},
        {123456, 1, 0, u"123 456 B"},
        {0, 1, 2, u"0 B"},
        {-1, 1, 2, u"-1 B"},
        {-123456, 1, 2, u"-123 456 B"},
        {std::numeric_limits<qint32>::min(), 1, 2, u"-2 147 483 648 B"},
        // Any other mode: the plain number.
        {1234, 2, 2, u"1234,00"},
        {-5, 7, 1, u"-5,0"},
        // Decimals out of range cannot produce nonsense formats.
        {1536, 0, -3, u"2 KB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.bytes << " mode " << c.mode << " decimals " << c.decimals);
        EXPECT_EQ(FormatSize(c.bytes, c.mode, c.decimals), QString::fromUtf16(c.text));
    }
}

TEST(SizeTextTest, DecimalCommaReplacesEveryPoint)
{
    QString text = u"1.5 of 2.25."_s;
    UseDecimalComma(text);
    EXPECT_EQ(text, u"1,5 of 2,25,"_s);
}

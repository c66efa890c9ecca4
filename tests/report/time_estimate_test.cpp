#include "report/time_estimate.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(TimeEstimateTest, StatusLineShowsAnEstimateOnceEnoughIsDone)
{
    const struct
    {
        qint64 elapsedMs;
        AudioProgress progress;
        const char16_t* text;
    } cases[] = {
        {0, {0, 0}, u"Elapsed: 0:00   Left: estimating"},
        {2000, {50000, 100000}, u"Elapsed: 0:02   Left: estimating"}, // too early to tell
        {60000, {4000, 100000}, u"Elapsed: 1:00   Left: estimating"}, // too little done
        {60000, {25000, 100000}, u"Elapsed: 1:00   Left: 3:00"},
        {3599000, {50000, 100000}, u"Elapsed: 59:59   Left: 59:59"},
        {4000000, {40000, 100000}, u"Elapsed: 1:06:40   Left: 1:40:00"},
        {900, {100000, 100000}, u"Elapsed: 0:00   Left: 0:00"}, // all done: nothing left
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elapsedMs);
        EXPECT_EQ(TimeStatusText(u"Elapsed"_s, u"Left"_s, u"estimating"_s, c.elapsedMs, c.progress),
                  QString::fromUtf16(c.text));
    }
}

TEST(TimeEstimateTest, UnknownLengthsWeighTheAverageKnownOne)
{
    EXPECT_EQ(AudioWeights({30000, 0, 10000}), (QList<qint64>{30000, 20000, 10000}));
    EXPECT_EQ(AudioWeights({0, 0}), (QList<qint64>{1, 1}));
    EXPECT_TRUE(AudioWeights({}).isEmpty());
}

} // namespace

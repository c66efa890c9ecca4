#include "planning/device_limits.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct LimitCase
{
    const char* name;
    int rate, bits, channels;
    DeviceLimits limits;
    int expectedRate, expectedBits, expectedChannels;
    QString soxEffects; // the arguments after "%out%"; empty: no sox run
};

// Each family goes to its own highest member under the limit; what has no member there, or
// belongs to no family, goes to the limit; sources within every limit need no run at all.
TEST(DeviceLimitsTest, SourcesAreBroughtWithinTheLimitsByTheirFamilyAndOnlyThen)
{
    const DeviceLimits cd{48000, 16, 2};
    const LimitCase cases[] = {
        {"CD within", 44100, 16, 2, cd, 44100, 16, 2, {}},
        {"96 to 48", 96000, 24, 2, cd, 48000, 16, 2, u"rate -v 48000 dither"_s},
        {"176.4 to 44.1", 176400, 24, 2, cd, 44100, 16, 2, u"rate -v 44100 dither"_s},
        {"192 under 96", 192000, 24, 2, {96000, 0, 0}, 96000, 24, 2, u"rate -v 96000"_s},
        {"352.8 under 96", 352800, 24, 2, {96000, 0, 0}, 88200, 24, 2, u"rate -v 88200"_s},
        {"48 under 44.1", 48000, 16, 2, {44100, 0, 0}, 44100, 16, 2, u"rate -v 44100"_s},
        {"odd rate", 50000, 16, 2, cd, 48000, 16, 2, u"rate -v 48000"_s},
        {"lossy names no depth", 48000, 0, 2, cd, 48000, 0, 2, {}},
        {"5.1 to stereo", 48000, 16, 6, cd, 48000, 16, 2,
         u"remix 1,3v0.7071,5v0.7071 2,3v0.7071,6v0.7071"_s},
        {"5.1 to mono",
         48000,
         16,
         6,
         {0, 0, 1},
         48000,
         16,
         1,
         u"remix 1,3v0.7071,5v0.7071 2,3v0.7071,6v0.7071 remix 1v0.5,2v0.5"_s},
        {"stereo to mono", 44100, 16, 2, {0, 0, 1}, 44100, 16, 1, u"remix 1v0.5,2v0.5"_s},
        {"keep all", 192000, 32, 8, {}, 192000, 32, 8, {}},
    };
    for (const LimitCase& c : cases) {
        const LimitedFormat format = LimitedFormatOf(c.rate, c.bits, c.channels, c.limits);
        EXPECT_EQ(format.sampleRate, c.expectedRate) << c.name;
        EXPECT_EQ(format.bitDepth, c.expectedBits) << c.name;
        EXPECT_EQ(format.channels, c.expectedChannels) << c.name;
        EXPECT_EQ(format.Changes(), !c.soxEffects.isEmpty()) << c.name;
        if (format.Changes()) {
            const QString arguments = LimiterArguments(format, c.channels);
            EXPECT_EQ(arguments.section(u"%out% "_s, 1), c.soxEffects) << c.name;
            EXPECT_EQ(arguments.contains(u"-b 16 %out%"_s), format.reduced) << c.name;
        }
    }
    // A number no choice offers (a hand-edited file) keeps the source's.
    EXPECT_EQ(DeviceLimitsOf(22050, 20, 6), DeviceLimits{});
}

} // namespace

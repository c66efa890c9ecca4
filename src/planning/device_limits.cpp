#include "planning/device_limits.h"

#include "planning/file_info.h"

#include <QStringList>
#include <algorithm>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFamilies[] = {44100, 48000};

// The sums of the ITU downmix for each channel count in the WAV order (front left, front
// right, centre, LFE, back or side pairs), as sox's remix effect takes them.
QString StereoDownmix(int channels)
{
    switch (channels) {
    case 3: // L R C
        return u"remix 1,3v0.7071 2,3v0.7071"_s;
    case 4: // L R Ls Rs
        return u"remix 1,3v0.7071 2,4v0.7071"_s;
    case 5: // L R C Ls Rs
        return u"remix 1,3v0.7071,4v0.7071 2,3v0.7071,5v0.7071"_s;
    case 6: // L R C LFE Ls Rs
        return u"remix 1,3v0.7071,5v0.7071 2,3v0.7071,6v0.7071"_s;
    case 7: // L R C LFE Cs Ls Rs
        return u"remix 1,3v0.7071,5v0.5,6v0.7071 2,3v0.7071,5v0.5,7v0.7071"_s;
    case 8: // L R C LFE Lb Rb Ls Rs
        return u"remix 1,3v0.7071,5v0.7071,7v0.7071 2,3v0.7071,6v0.7071,8v0.7071"_s;
    default:
        return u"channels 2"_s;
    }
}

} // namespace

DeviceLimits DeviceLimitsOf(int maxSampleRate, int maxBitDepth, int channels)
{
    const auto offered = [](int value, std::initializer_list<int> choices) {
        return std::find(choices.begin(), choices.end(), value) != choices.end() ? value : 0;
    };
    return {offered(maxSampleRate, {96000, 48000, 44100}), offered(maxBitDepth, {24, 16}),
            offered(channels, {2, 1})};
}

int LimitedSampleRate(int sampleRate, int maxSampleRate)
{
    if (maxSampleRate <= 0 || sampleRate <= maxSampleRate)
        return sampleRate;
    for (const int base : kFamilies) {
        if (sampleRate % base != 0)
            continue;
        int rate = base;
        while (rate * 2 <= maxSampleRate)
            rate *= 2;
        return rate <= maxSampleRate ? rate : maxSampleRate;
    }
    return maxSampleRate;
}

LimitedFormat LimitedFormatOf(int sampleRate, int bitDepth, int channels,
                              const DeviceLimits& limits)
{
    LimitedFormat format{sampleRate, bitDepth, channels};
    if (sampleRate > 0) {
        format.sampleRate = LimitedSampleRate(sampleRate, limits.maxSampleRate);
        format.resampled = format.sampleRate != sampleRate;
    }
    // A lossy source names no depth: its decoder's words are kept.
    if (limits.maxBitDepth > 0 && bitDepth > limits.maxBitDepth) {
        format.bitDepth = limits.maxBitDepth;
        format.reduced = true;
    }
    if (limits.channels > 0 && channels > limits.channels) {
        format.channels = limits.channels;
        format.remixed = true;
    }
    return format;
}

LimitedFormat LimitedFormatOf(const CFileInfo& file, const DeviceLimits& limits)
{
    return LimitedFormatOf(file.sampleRate, file.resolution, file.channels, limits);
}

QString LimiterArguments(const LimitedFormat& format, int sourceChannels)
{
    QStringList arguments{u"-G"_s, u"-V1"_s, u"%in%"_s};
    if (format.reduced)
        arguments << u"-b"_s << QString::number(format.bitDepth);
    arguments << u"%out%"_s;
    if (format.remixed) {
        if (sourceChannels > 2)
            arguments << StereoDownmix(sourceChannels);
        if (format.channels == 1)
            arguments << u"remix 1v0.5,2v0.5"_s;
    }
    if (format.resampled)
        arguments << u"rate -v"_s << QString::number(format.sampleRate);
    if (format.reduced)
        arguments << u"dither"_s;
    return arguments.join(u' ');
}

#pragma once

#include <QString>

class CFileInfo;

// What the device that plays the results takes at most; 0 keeps the source's.
struct DeviceLimits
{
    int maxSampleRate = 0; // 96000, 48000 or 44100
    int maxBitDepth = 0;   // 24 or 16
    int channels = 0;      // 2 (a downmix) or 1

    bool operator==(const DeviceLimits&) const = default;
};

// Limits from stored numbers: one that no choice offers keeps the source's.
DeviceLimits DeviceLimitsOf(int maxSampleRate, int maxBitDepth, int channels);

// The format a source is brought to: its own where it is within the limits.
struct LimitedFormat
{
    int sampleRate = 0;
    int bitDepth = 0; // 0: as the decoder writes it (a lossy source names none)
    int channels = 0;
    bool resampled = false;
    bool reduced = false; // fewer bits, with dither
    bool remixed = false;

    bool Changes() const { return resampled || reduced || remixed; }
};

// The rate a source above the highest one is brought to: the highest member of its own family
// (multiples of 44.1 kHz, of 48 kHz) that does not exceed it, so 88.2 and 176.4 kHz go to 44.1
// and 96 and 192 kHz to 48 under a 48 kHz limit; a rate of neither family, or a family with no
// member under the limit, goes to the limit itself.
int LimitedSampleRate(int sampleRate, int maxSampleRate);

LimitedFormat LimitedFormatOf(int sampleRate, int bitDepth, int channels,
                              const DeviceLimits& limits);
LimitedFormat LimitedFormatOf(const CFileInfo& file, const DeviceLimits& limits);

// sox's arguments that bring a WAV of `sourceChannels` to the format, with "%in%" and "%out%"
// for the command template: the downmix first (less to resample), the rate, dither last.
// Five and more channels are downmixed with the ITU coefficients (centre and surrounds at
// -3 dB, the LFE left out); sox's gain guard keeps the sum from clipping.
QString LimiterArguments(const LimitedFormat& format, int sourceChannels);

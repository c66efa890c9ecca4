#include "loudness/true_peak.h"

#include "loudness/wide_vectors.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kTaps = 49;
constexpr size_t kLanes = 8;
constexpr size_t kStretch = 32; // the outputs the filter is skipped or run for at once
constexpr size_t kGroups = 4;   // vectors of outputs computed at once
using Lanes = float __attribute__((vector_size(kLanes * sizeof(float))));

ORVEL_ALWAYS_INLINE Lanes Load(const float* values)
{
    Lanes lanes;
    std::memcpy(&lanes, values, sizeof lanes);
    return lanes;
}

ORVEL_ALWAYS_INLINE Lanes Largest(Lanes a, Lanes b)
{
    return a > b ? a : b;
}

ORVEL_ALWAYS_INLINE Lanes Magnitude(Lanes values)
{
    return values < 0.0f ? -values : values;
}

ORVEL_ALWAYS_INLINE float LargestLane(Lanes lanes)
{
    float largest = lanes[0];
    for (size_t i = 1; i < kLanes; ++i)
        largest = std::max(largest, lanes[i]);
    return largest;
}

// The largest |value| among `count` values.
ORVEL_ALWAYS_INLINE float LargestMagnitude(const float* values, size_t count)
{
    Lanes largest = {};
    size_t n = 0;
    for (; n + kLanes <= count; n += kLanes)
        largest = Largest(largest, Magnitude(Load(values + n)));
    float result = LargestLane(largest);
    for (; n < count; ++n)
        result = std::max(result, std::fabs(values[n]));
    return result;
}

// The largest |output| between the `count` interleaved samples from `newest` on, whose
// earlier frames lie before it and kGroups vectors' worth of zeros after. The taps step a frame
// (`stride` samples) at a time, so every lane follows its own channel.
//
// The filter is folded: its middle phase is symmetric about its centre, and the two others
// (with four times oversampling) mirror each other. So each two samples equally far from the
// centre are added, and subtracted, once; each sum is multiplied once per phase; and of the
// mirrored pair's outputs E + O and E - O (their even and odd parts) the larger in magnitude
// is |E| + |O|.
template <bool MirroredPair>
ORVEL_ALWAYS_INLINE float FoldedPeak(const float* taps, size_t half, size_t stride,
                                     const float* newest, size_t count)
{
    constexpr size_t weights = MirroredPair ? 3 : 1;
    const size_t oldest = 2 * half - 1;
    const Lanes lane = {0, 1, 2, 3, 4, 5, 6, 7};
    Lanes largest = {};
    for (size_t n = 0; n < count; n += kGroups * kLanes) {
        // Side by side, so that no sum waits for the one before.
        Lanes middle[kGroups] = {};
        Lanes even[kGroups] = {};
        Lanes odd[kGroups] = {};
        for (size_t k = 0; k < half; ++k) {
            const float* weight = taps + k * weights * kLanes;
#pragma GCC unroll 4
            for (size_t group = 0; group < kGroups; ++group) {
                const float* at = newest + n + group * kLanes;
                const Lanes newer = Load(at - k * stride);
                const Lanes older = Load(at - (oldest - k) * stride);
                middle[group] += Load(weight) * (newer + older);
                if constexpr (MirroredPair) {
                    even[group] += Load(weight + kLanes) * (newer + older);
                    odd[group] += Load(weight + 2 * kLanes) * (newer - older);
                }
            }
        }
#pragma GCC unroll 4
        for (size_t group = 0; group < kGroups; ++group) {
            Lanes found = Magnitude(middle[group]);
            if constexpr (MirroredPair)
                found = Largest(found, Magnitude(even[group]) + Magnitude(odd[group]));
            // Lanes past the end are outputs of samples still to come.
            const float remaining = float(count - n) - float(group * kLanes);
            largest = Largest(largest, lane < remaining ? found : Lanes{});
        }
    }
    return LargestLane(largest);
}

ORVEL_WIDE_VECTORS float FourTimesPeak(const float* taps, size_t half, size_t stride,
                                       const float* newest, size_t count)
{
    return FoldedPeak<true>(taps, half, stride, newest, count);
}

ORVEL_WIDE_VECTORS float TwicePeak(const float* taps, size_t half, size_t stride,
                                   const float* newest, size_t count)
{
    return FoldedPeak<false>(taps, half, stride, newest, count);
}

ORVEL_WIDE_VECTORS float PeakOf(const float* samples, size_t count)
{
    return LargestMagnitude(samples, count);
}

// The largest |sample| of each stretch of `stretch` samples.
ORVEL_WIDE_VECTORS void StretchPeaks(const float* samples, size_t count, size_t stretch,
                                     std::vector<float>& peaks)
{
    peaks.clear();
    for (size_t start = 0; start < count; start += stretch)
        peaks.push_back(LargestMagnitude(samples + start, std::min(stretch, count - start)));
}

} // namespace

CTruePeak::CTruePeak(int channelCount, int sampleRate) : channels(channelCount)
{
    factor = sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
    history = size_t((kTaps + factor - 1) / factor - 1);
    // A Hann-windowed sinc, tap j belonging to phase j % factor and delaying by j / factor.
    // Phase 0 falls on the samples themselves (its other taps are zeros of the sinc, which
    // libebur128 leaves out too): its outputs are the samples.
    const size_t taps = size_t(kTaps / factor);
    std::vector<std::vector<double>> phases;
    phases.resize(size_t(factor));
    for (int j = 0; j < kTaps; ++j) {
        const double m = j - (kTaps - 1) / 2.0;
        const double sinc = std::sin(m * M_PI / factor) / (m * M_PI / factor);
        const double window = 0.5 * (1.0 - std::cos(2.0 * M_PI * j / (kTaps - 1)));
        if (j % factor != 0)
            phases[size_t(j % factor)].push_back(sinc * window);
    }
    for (size_t phase = 1; phase < phases.size(); ++phase) {
        double gain = 0.0;
        for (double tap : phases[phase])
            gain += std::fabs(tap);
        // A little more, for the rounding of the sums in floats.
        largestGain = std::max(largestGain, gain * 1.0001);
    }
    if (factor == 1)
        return;
    // Folded as FoldedPeak takes them: per distance k from the newest sample, the middle
    // phase's tap, then the even and odd parts of the first phase's taps k and its mirror.
    half = taps / 2;
    const size_t weights = factor == 4 ? 3 : 1;
    const std::vector<double>& middle = phases[size_t(factor / 2)];
    const std::vector<double>& first = phases[1];
    for (size_t k = 0; k < half; ++k) {
        const size_t mirror = taps - 1 - k;
        const double parts[3] = {middle[k], (first[k] + first[mirror]) / 2.0,
                                 (first[k] - first[mirror]) / 2.0};
        for (size_t w = 0; w < weights; ++w)
            laneTaps.insert(laneTaps.end(), kLanes, float(parts[w]));
    }
}

void CTruePeak::Add(const float* interleaved, size_t frames)
{
    const size_t stride = size_t(channels);
    const size_t kept = history * stride;
    const size_t count = frames * stride;
    line.resize(kept + count + kGroups * kLanes);
    std::copy(interleaved, interleaved + count, line.begin() + std::ptrdiff_t(kept));
    std::fill(line.end() - std::ptrdiff_t(kGroups * kLanes), line.end(), 0.0f);
    const float* newest = line.data() + kept;
    // The samples themselves first: they are outputs too, and the higher the peak found, the
    // more of the filter's work is skipped below.
    const size_t stretch = kStretch * stride;
    StretchPeaks(newest, count, stretch, stretchPeaks);
    for (float stretchPeak : stretchPeaks)
        peak = std::max(peak, double(stretchPeak));
    if (half > 0) {
        // No value between samples can pass the largest of the samples it is made of, times
        // the largest sum of a phase's |taps|: where that stays below the peak found so far,
        // nothing is to be found: quiet passages end here. The history is shorter
        // than a stretch, so a stretch and the one before hold all that its values are made of.
        float before = PeakOf(line.data(), kept);
        for (size_t index = 0, start = 0; start < count; ++index, start += stretch) {
            const float reach = std::max(before, stretchPeaks[index]);
            before = stretchPeaks[index];
            if (double(reach) * largestGain <= peak)
                continue;
            const size_t length = std::min(stretch, count - start);
            const float* taps = laneTaps.data();
            const float found = factor == 4
                                    ? FourTimesPeak(taps, half, stride, newest + start, length)
                                    : TwicePeak(taps, half, stride, newest + start, length);
            peak = std::max(peak, double(found));
        }
    }
    // The block's last frames are the next block's history.
    std::copy(newest + count - kept, newest + count, line.begin());
    line.resize(kept);
}

#include "engine/true_peak.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTaps = 49;
constexpr size_t kTile = 16; // a fixed count the compiler turns into vector operations

void MultiplyAdd(float* __restrict sum, const float* __restrict source, float factor, size_t count)
{
    size_t n = 0;
    for (; n + kTile <= count; n += kTile) {
        for (size_t i = 0; i < kTile; ++i)
            sum[n + i] += factor * source[n + i];
    }
    for (; n < count; ++n)
        sum[n] += factor * source[n];
}

// Kept per lane of a tile, so that no step waits for the one before.
float LargestMagnitude(const float* values, size_t count)
{
    float lanes[kTile] = {};
    size_t n = 0;
    for (; n + kTile <= count; n += kTile) {
        for (size_t i = 0; i < kTile; ++i)
            lanes[i] = std::max(lanes[i], std::fabs(values[n + i]));
    }
    float largest = *std::max_element(lanes, lanes + kTile);
    for (; n < count; ++n)
        largest = std::max(largest, std::fabs(values[n]));
    return largest;
}

} // namespace

CTruePeak::CTruePeak(int channelCount, int sampleRate) : channels(channelCount)
{
    factor = sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
    history = size_t((kTaps + factor - 1) / factor - 1);
    phases.assign(size_t(factor), {});
    // A Hann-windowed sinc, tap j belonging to phase j % factor and delaying by j / factor.
    for (int j = 0; j < kTaps; ++j) {
        const double m = j - (kTaps - 1) / 2.0;
        double c = 1.0;
        if (std::fabs(m) > 1e-6)
            c = std::sin(m * M_PI / factor) / (m * M_PI / factor);
        c *= 0.5 * (1.0 - std::cos(2.0 * M_PI * j / (kTaps - 1)));
        phases[size_t(j % factor)].push_back(float(c));
    }
    lines.assign(size_t(channels), std::vector<float>(history, 0.0f));
}

void CTruePeak::Add(const float* interleaved, size_t frames)
{
    if (frames == 0)
        return;
    sums.resize(frames);
    for (int channel = 0; channel < channels; ++channel) {
        std::vector<float>& line = lines[size_t(channel)];
        line.resize(history + frames);
        for (size_t n = 0; n < frames; ++n)
            line[history + n] = interleaved[n * size_t(channels) + size_t(channel)];
        float blockPeak = 0.0f;
        for (const std::vector<float>& taps : phases) {
            std::fill(sums.begin(), sums.end(), 0.0f);
            for (size_t age = 0; age < taps.size(); ++age) {
                const float tap = taps[age];
                MultiplyAdd(sums.data(), line.data() + history - age, tap, frames);
            }
            blockPeak = std::max(blockPeak, LargestMagnitude(sums.data(), frames));
        }
        peak = std::max(peak, double(blockPeak));
        // The block's last samples are the next block's history.
        std::copy(line.end() - std::ptrdiff_t(history), line.end(), line.begin());
        line.resize(history);
    }
}

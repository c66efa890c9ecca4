#pragma once

#include <cstddef>
#include <vector>

// The true peak of interleaved float samples (full scale 1.0): each channel oversampled with
// the interpolation filter of ITU-R BS.1770 as libebur128 builds it (49 taps; four times below
// 96 kHz, twice below 192 kHz, not at all above), so both give the same values. Computed in
// vector lanes, and only where the samples come near enough to the peak for a value between
// them to pass it: libebur128's own sample-by-sample filter costs about a third of what an
// MP3 encoder spends on the audio.
class CTruePeak
{
public:
    CTruePeak(int channels, int sampleRate);
    void Add(const float* interleaved, size_t frames);
    // Linear; 0 for silence.
    double Peak() const { return peak; }

private:
    int channels = 0;
    int factor = 1;
    size_t history = 0;          // earlier frames each output needs
    size_t half = 0;             // half the taps of a phase; 0: no oversampling
    std::vector<float> laneTaps; // the taps folded, each in every vector lane
    double largestGain = 0.0;    // of the phases: the largest sum of |tap|
    std::vector<float> line;     // the history's frames, the block's, then zeros
    std::vector<float> stretchPeaks;
    double peak = 0.0;
};

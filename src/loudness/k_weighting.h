#pragma once

#include <cstddef>
#include <vector>

// The K-weighted energy of interleaved float samples (full scale 1.0) as ITU-R BS.1770 defines
// it: each channel through the two filters of the standard (a high shelf near 1.7 kHz, then a
// high pass near 38 Hz), designed for the sample rate as libebur128 designs them, squared,
// and summed over the channels with the weights of libebur128's default channel map (the
// fourth of six or more channels, the LFE, counts nothing; surround channels count 1.41).
//
// The meter runs beside an MP3 encoder on a busy machine: libebur128's own filter runs one
// long chain of dependent operations per sample and costs about 7 % of the encoder's time.
// Here two channels step together and each filter's feedback is one multiply-add deep.
class CKWeighting
{
public:
    CKWeighting(int channels, int sampleRate);
    void Add(const float* interleaved, size_t frames);
    // The weighted mean square of the frames added since the last call; 0 when none were.
    double TakeMeanSquare();

    // A second-order section: y = b0 x + b1 x[-1] + b2 x[-2] - a1 y[-1] - a2 y[-2].
    struct Section
    {
        double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    };

    // What the filters remember of a channel (or of two, one in each lane of a vector).
    template <typename Value> struct State
    {
        Value x1{}, x2{}; // the input's last two samples
        Value s1{}, s2{}; // the shelf's last two outputs
        Value h1{}, h2{}; // the high pass's last two outputs
        Value sum{};      // squares since the last take
    };

private:
    struct Channel
    {
        double weight = 1.0;
        State<double> state;
    };

    void FilterPair(const float* interleaved, size_t frames, size_t first);
    void FilterOne(const float* interleaved, size_t frames, size_t index);

    Section shelf;
    Section highPass;
    std::vector<Channel> channels;
    size_t pending = 0; // frames since the last take
};

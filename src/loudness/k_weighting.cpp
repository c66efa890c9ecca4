#include "loudness/k_weighting.h"

#include "loudness/wide_vectors.h"

#include <cmath>

namespace {

// Two channels, one in each lane.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));

// The filters for one sample of one channel, or of two. The feedback of each filter is added
// last, so that from one sample to the next the chain is a single multiply and add.
template <typename Value>
ORVEL_ALWAYS_INLINE void Step(const CKWeighting::Section& shelf, const CKWeighting::Section& pass,
                              CKWeighting::State<Value>& s, Value x)
{
    const Value shelfIn = shelf.b0 * x + shelf.b1 * s.x1 + shelf.b2 * s.x2 - shelf.a2 * s.s2;
    const Value shelfOut = shelfIn - shelf.a1 * s.s1;
    const Value passIn = shelfOut - 2.0 * s.s1 + s.s2 - pass.a2 * s.h2;
    const Value passOut = passIn - pass.a1 * s.h1;
    s.x2 = s.x1;
    s.x1 = x;
    s.s2 = s.s1;
    s.s1 = shelfOut;
    s.h2 = s.h1;
    s.h1 = passOut;
    s.sum += passOut * passOut;
}

ORVEL_WIDE_VECTORS void FilterTwoChannels(const CKWeighting::Section& shelf,
                                          const CKWeighting::Section& pass,
                                          CKWeighting::State<Pair>& state, const float* samples,
                                          size_t stride, size_t frames)
{
    CKWeighting::State<Pair> s = state; // in registers through the loop
    for (size_t n = 0; n < frames; ++n, samples += stride)
        Step(shelf, pass, s, Pair{double(samples[0]), double(samples[1])});
    state = s;
}

ORVEL_WIDE_VECTORS void FilterOneChannel(const CKWeighting::Section& shelf,
                                         const CKWeighting::Section& pass,
                                         CKWeighting::State<double>& state, const float* samples,
                                         size_t stride, size_t frames)
{
    CKWeighting::State<double> s = state;
    for (size_t n = 0; n < frames; ++n, samples += stride)
        Step(shelf, pass, s, double(*samples));
    state = s;
}

// The channel's weight in libebur128's default map: four channels are L R Ls Rs, five are
// L R C Ls Rs, and otherwise L R C LFE Ls Rs, any further channel unused.
double ChannelWeight(int index, int count)
{
    constexpr double kSurround = 1.41;
    if (count == 4)
        return index < 2 ? 1.0 : kSurround;
    if (count == 5)
        return index < 3 ? 1.0 : kSurround;
    if (index < 3)
        return 1.0;
    return index == 4 || index == 5 ? kSurround : 0.0;
}

// Below this a filter's state only decays further, into denormals that are slow to compute
// and add nothing a gate could see.
constexpr double kNegligible = 1e-30;

void Flush(double& value)
{
    if (std::fabs(value) < kNegligible)
        value = 0.0;
}

} // namespace

CKWeighting::CKWeighting(int channelCount, int sampleRate)
{
    const double rate = double(sampleRate);
    // The shelf, from its analogue prototype by the bilinear transform.
    const double shelfK = std::tan(M_PI * 1681.974450955533 / rate);
    const double shelfQ = 0.7071752369554196;
    const double vh = std::pow(10.0, 3.999843853973347 / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double shelfA0 = 1.0 + shelfK / shelfQ + shelfK * shelfK;
    shelf.b0 = (vh + vb * shelfK / shelfQ + shelfK * shelfK) / shelfA0;
    shelf.b1 = 2.0 * (shelfK * shelfK - vh) / shelfA0;
    shelf.b2 = (vh - vb * shelfK / shelfQ + shelfK * shelfK) / shelfA0;
    shelf.a1 = 2.0 * (shelfK * shelfK - 1.0) / shelfA0;
    shelf.a2 = (1.0 - shelfK / shelfQ + shelfK * shelfK) / shelfA0;
    // The high pass; its numerator is 1, -2, 1 unscaled, as the standard gives it, and
    // written out in Step.
    const double passK = std::tan(M_PI * 38.13547087602444 / rate);
    const double passQ = 0.5003270373238773;
    const double passA0 = 1.0 + passK / passQ + passK * passK;
    highPass.a1 = 2.0 * (passK * passK - 1.0) / passA0;
    highPass.a2 = (1.0 - passK / passQ + passK * passK) / passA0;

    channels.resize(size_t(channelCount));
    for (int i = 0; i < channelCount; ++i)
        channels[size_t(i)].weight = ChannelWeight(i, channelCount);
}

void CKWeighting::Add(const float* interleaved, size_t frames)
{
    size_t index = 0;
    for (; index + 1 < channels.size(); index += 2)
        FilterPair(interleaved, frames, index);
    if (index < channels.size())
        FilterOne(interleaved, frames, index);
    pending += frames;
}

void CKWeighting::FilterPair(const float* interleaved, size_t frames, size_t first)
{
    State<double>& left = channels[first].state;
    State<double>& right = channels[first + 1].state;
    State<Pair> both{{left.x1, right.x1},  {left.x2, right.x2}, {left.s1, right.s1},
                     {left.s2, right.s2},  {left.h1, right.h1}, {left.h2, right.h2},
                     {left.sum, right.sum}};
    FilterTwoChannels(shelf, highPass, both, interleaved + first, channels.size(), frames);
    for (int lane = 0; lane < 2; ++lane) {
        State<double>& one = lane == 0 ? left : right;
        one = {both.x1[lane], both.x2[lane], both.s1[lane], both.s2[lane],
               both.h1[lane], both.h2[lane], both.sum[lane]};
    }
}

void CKWeighting::FilterOne(const float* interleaved, size_t frames, size_t index)
{
    FilterOneChannel(shelf, highPass, channels[index].state, interleaved + index, channels.size(),
                     frames);
}

double CKWeighting::TakeMeanSquare()
{
    double energy = 0.0;
    for (Channel& channel : channels) {
        State<double>& state = channel.state;
        energy += channel.weight * state.sum;
        state.sum = 0.0;
        for (double* value : {&state.s1, &state.s2, &state.h1, &state.h2})
            Flush(*value);
    }
    const double mean = pending > 0 ? energy / double(pending) : 0.0;
    pending = 0;
    return mean;
}

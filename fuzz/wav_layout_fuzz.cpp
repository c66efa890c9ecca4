// The WAV reader behind the loudness meter on any bytes: a layout it accepts lies inside the
// file, and measuring the file reads nothing beyond it (the sanitizers watch the mapping).
#include "audio/wav_layout.h"
#include "fuzz_support.h"
#include "loudness/loudness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WavLayout layout;
    QString error;
    if (ReadWavLayout(data, qint64(size), layout, &error)) {
        const qint64 end = layout.dataOffset + layout.frameCount * layout.BytesPerFrame();
        if (layout.frameCount < 1 || layout.dataOffset < 12 || end > qint64(size))
            FuzzFail("the samples lie outside the file", QString::number(end));
    } else if (error.isEmpty()) {
        FuzzFail("a refusal without a reason");
    }
    const QString path = WriteFuzzFile("input.wav", data, size);
    CTrackLoudness loudness;
    if (MeasureWavLoudness(path, loudness, &error) && !(loudness.truePeak >= 0.0))
        FuzzFail("a peak below zero");
    return 0;
}

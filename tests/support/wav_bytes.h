#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cmath>

// A whole 16-bit mono PCM WAV file in memory: a square wave of period 50 samples, or silence.
inline QByteArray WavBytes(quint32 rate, quint32 samples, bool silent)
{
    QByteArray wav;
    auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav += char((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&](quint16 v) {
        wav += char(v & 0xFF);
        wav += char(v >> 8);
    };
    wav += "RIFF";
    put32(36 + samples * 2);
    wav += "WAVEfmt ";
    put32(16);
    put16(1); // PCM
    put16(1); // channels
    put32(rate);
    put32(rate * 2);
    put16(2); // bytes per frame
    put16(16);
    wav += "data";
    put32(samples * 2);
    for (quint32 i = 0; i < samples; ++i)
        put16(silent ? 0 : ((i / 25) % 2 ? 8000 : quint16(-8000)));
    return wav;
}

// A whole 16-bit PCM WAV file in memory: a 440 Hz tone, the same in every channel, that every
// encoder accepts.
inline QByteArray ToneWavBytes(quint32 rate, quint16 channels, quint32 frames)
{
    QByteArray wav;
    const auto put = [&wav](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav += char((value >> (8 * i)) & 0xFF);
    };
    const quint32 dataBytes = frames * channels * 2;
    wav += "RIFF";
    put(36 + dataBytes, 4);
    wav += "WAVEfmt ";
    put(16, 4);
    put(1, 2); // PCM
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * 2, 4);
    put(channels * 2, 2);
    put(16, 2);
    wav += "data";
    put(dataBytes, 4);
    for (quint32 i = 0; i < frames; ++i) {
        const auto sample = quint16(qint16(8000 * std::sin(i * 440.0 * 2 * M_PI / rate)));
        for (int c = 0; c < channels; ++c)
            put(sample, 2);
    }
    return wav;
}

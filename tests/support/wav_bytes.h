#pragma once

#include <QByteArray>
#include <QtGlobal>

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

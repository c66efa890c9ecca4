#pragma once

#include <QString>
#include <QtGlobal>

// Whether a file a program wrote holds the audio it should. An exit code of 0 proves nothing:
// encoders that hit a full disk write a third of the audio, or an empty file, and still exit 0.

// The duration of a file's audio stream in milliseconds, read from its own headers where they
// state it exactly; -1 where they do not (a format the tag library does not read, an MP3
// without a frame count) or where the file cannot be read. A WAV counts only the sample
// frames actually present, so a WAV cut short reads short whatever its header promised.
qint64 StreamDurationMs(const QString& path);

// True when the tag library reads files of this kind (by extension): such a file whose stream
// cannot be read is damaged, not merely unknown.
bool IsReadableAudioKind(const QString& path);

struct ResultCheck
{
    enum class Verdict
    {
        Passed,
        Missing,     // no file at all
        Empty,       // a file of 0 bytes
        Unreadable,  // a kind of file the tag library reads, whose stream it cannot read
        WrongLength, // durationMs differs from expectedMs by more than the tolerance
    };
    Verdict verdict = Verdict::Passed;
    qint64 durationMs = -1;
    qint64 expectedMs = -1;

    bool Passed() const { return verdict == Verdict::Passed; }
};

// How far a result may differ from its source: encoders add or trim a few frames of padding.
qint64 LengthToleranceMs(qint64 expectedMs);

// Checks a result against the duration its input had (expectedMs, -1 when unknown: then only
// existence, size and readability are checked).
ResultCheck CheckResult(const QString& path, qint64 expectedMs);

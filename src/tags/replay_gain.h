#pragma once

#include "loudness/loudness.h"

#include <QString>

namespace TagLib {
class File;
class PropertyMap;
} // namespace TagLib

// Which ReplayGain values the results get.
enum class ReplayGainMode
{
    Off,
    Track,         // each file's own gain and peak
    TrackAndAlbum, // and those of its album: the files of one folder sharing an album title
};

// The mode the two settings choose: whether to write values, and album values with them.
inline ReplayGainMode ReplayGainModeOf(qint32 write, qint32 album)
{
    if (write == 0)
        return ReplayGainMode::Off;
    return album != 0 ? ReplayGainMode::TrackAndAlbum : ReplayGainMode::Track;
}

// Planning's question: a coder may read its source directly only when nothing has to be
// measured from the decoded audio on its way.
inline bool LoudnessNeedsDecodedAudio(ReplayGainMode mode)
{
    return mode != ReplayGainMode::Off;
}

// What is written into one result. Loudness in LUFS, peaks linear (1.0 is full scale).
struct ReplayGainValues
{
    double trackLoudness = 0.0;
    double trackPeak = 0.0;
    bool hasAlbum = false;
    double albumLoudness = 0.0;
    double albumPeak = 0.0;
};

// A track's values, with its album's when it has one.
inline ReplayGainValues ReplayGainValuesOf(const CTrackLoudness& track,
                                           const CAlbumLoudness* album = nullptr)
{
    return {track.Loudness(), track.truePeak, album != nullptr, album ? album->loudness : 0.0,
            album ? album->peak : 0.0};
}

// ReplayGain 2.0 plays at -18 LUFS; Opus players (RFC 7845) level to -23 LUFS.
inline constexpr double kReplayGainReference = -18.0;
inline constexpr double kOpusReference = -23.0;

// "-4.52 dB": the gain that brings the loudness to the ReplayGain reference.
QString ReplayGainText(double loudness);
// "0.988312": the peak as the players read it.
QString PeakText(double peak);
// The Opus form: the gain to -23 LUFS in 1/256 dB (Q7.8), as a whole number.
QString R128GainText(double loudness);

// Replaces every loudness field in `fields` (ReplayGain and R128 ones, also those a source
// carried) by the values, in the form the target's format defines: R128_* in Opus files,
// REPLAYGAIN_* in all others.
void ApplyReplayGain(TagLib::File* target, TagLib::PropertyMap& fields,
                     const ReplayGainValues& values);

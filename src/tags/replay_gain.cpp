#include "tags/replay_gain.h"

#include <cmath>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>

using namespace Qt::StringLiterals;

namespace {

const char* const kLoudnessFields[] = {
    "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK",         "REPLAYGAIN_ALBUM_GAIN",
    "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_REFERENCE_LOUDNESS", "R128_TRACK_GAIN",
    "R128_ALBUM_GAIN"};

void Set(TagLib::PropertyMap& fields, const char* name, const QString& value)
{
    fields.replace(name,
                   TagLib::StringList(TagLib::String(value.toStdString(), TagLib::String::UTF8)));
}

} // namespace

QString ReplayGainText(double loudness)
{
    return QString::asprintf("%.2f dB", kReplayGainReference - loudness);
}

QString PeakText(double peak)
{
    return QString::asprintf("%.6f", peak);
}

QString R128GainText(double loudness)
{
    const double q78 = std::round((kOpusReference - loudness) * 256.0);
    return QString::number(qint64(std::clamp(q78, -32768.0, 32767.0)));
}

void ApplyReplayGain(TagLib::File* target, TagLib::PropertyMap& fields,
                     const ReplayGainValues& values)
{
    for (const char* name : kLoudnessFields)
        fields.erase(name);
    if (dynamic_cast<TagLib::Ogg::Opus::File*>(target)) {
        // Opus players apply R128 gains on top of the header's output gain, which opusenc
        // leaves at 0; peaks have no Opus field.
        Set(fields, "R128_TRACK_GAIN", R128GainText(values.trackLoudness));
        if (values.hasAlbum)
            Set(fields, "R128_ALBUM_GAIN", R128GainText(values.albumLoudness));
        return;
    }
    Set(fields, "REPLAYGAIN_TRACK_GAIN", ReplayGainText(values.trackLoudness));
    Set(fields, "REPLAYGAIN_TRACK_PEAK", PeakText(values.trackPeak));
    if (values.hasAlbum) {
        Set(fields, "REPLAYGAIN_ALBUM_GAIN", ReplayGainText(values.albumLoudness));
        Set(fields, "REPLAYGAIN_ALBUM_PEAK", PeakText(values.albumPeak));
    }
}

#include "library/sync_signature.h"

#include "codecs/codec.h"
#include "settings/settings_set.h"

#include <QStringList>

using namespace Qt::StringLiterals;

QString SyncSignature(CCoder& coder, int presetIndex, const CSettingsSet& settings)
{
    const CSettingsGeneral& general = settings.general;
    QStringList parts{u"coder=%1"_s.arg(coder.GetName())};
    if (presetIndex >= 0) {
        const CodecEntry& preset = coder.GetEntries().at(presetIndex);
        parts << u"preset=%1"_s.arg(preset.name) << u"command=%1"_s.arg(preset.commandLine)
              << u"extension=%1"_s.arg(preset.extension);
    }
    parts << u"replaygain=%1/%2"_s.arg(general.replayGain)
                 .arg(general.replayGain != 0 ? general.replayGainAlbum : 0)
          << u"tags=%1"_s.arg(general.copyTags);
    const CSettingsDevice& device = settings.device;
    if (device.maxSampleRate != 0 || device.maxBitDepth != 0 || device.channels != 0)
        parts << u"device=%1/%2/%3"_s.arg(device.maxSampleRate)
                     .arg(device.maxBitDepth)
                     .arg(device.channels);
    return parts.join(u'\n');
}

QString CopySignature()
{
    return u"copy"_s;
}

#include "tags/picture_shrinker.h"

namespace {

std::unique_ptr<IPictureShrinker>& Installed()
{
    static std::unique_ptr<IPictureShrinker> shrinker;
    return shrinker;
}

bool IsFrameMarker(unsigned char marker)
{
    // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

} // namespace

void InstallPictureShrinker(std::unique_ptr<IPictureShrinker> shrinker)
{
    Installed() = std::move(shrinker);
}

const IPictureShrinker* PictureShrinker()
{
    return Installed().get();
}

bool IsBaselineJpeg(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype size = data.size();
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    // Walk the marker segments up to the first frame header.
    qsizetype at = 2;
    while (at + 4 <= size) {
        if (bytes[at] != 0xFF)
            return false;
        const unsigned char marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (IsFrameMarker(marker))
            return marker == 0xC0 || marker == 0xC1;
        if (marker == 0xD9 || marker == 0xDA)
            return false; // image end or scan before any frame
        at += 2 + ((qsizetype(bytes[at + 2]) << 8) | bytes[at + 3]);
    }
    return false;
}

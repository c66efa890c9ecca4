#pragma once

#include <QByteArray>
#include <memory>

// A picture made small for players that cannot show large ones: a baseline JPEG (progressive
// ones, and PNGs, many of them cannot decode) at most maxSide pixels on its longer side.
struct ShrunkPicture
{
    QByteArray data; // empty: the picture could not be read
    int width = 0;
    int height = 0;
};

// Making pictures smaller needs Qt's image classes, which the core does not link: each front end
// installs the shrinker once at start, before any run; without one, pictures stay as they are.
class IPictureShrinker
{
public:
    virtual ~IPictureShrinker() = default;
    // A picture already within maxSide that is a baseline JPEG comes back as given. Called on
    // the core's worker threads.
    virtual ShrunkPicture Shrink(const QByteArray& picture, int maxSide) const = 0;
};

void InstallPictureShrinker(std::unique_ptr<IPictureShrinker> shrinker);
// Null when no front end installed one.
const IPictureShrinker* PictureShrinker();

// True for JPEG bytes whose frame is baseline (SOF0 or SOF1), false for progressive or
// lossless frames and for anything that is no JPEG.
bool IsBaselineJpeg(const QByteArray& data);

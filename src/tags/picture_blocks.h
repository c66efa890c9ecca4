#pragma once

#include <taglib/flacpicture.h>
#include <taglib/tbytevector.h>
#include <taglib/tfile.h>
#include <taglib/tstring.h>
#include <vector>

// One embedded picture, in the terms every format's picture block shares (the ID3 picture
// types are also FLAC's).
struct Picture
{
    int type = TagLib::FLAC::Picture::FrontCover;
    TagLib::String mimeType;
    TagLib::String description;
    TagLib::ByteVector data;
    int width = 0;
    int height = 0;
    int colorDepth = 0;
    int numColors = 0;
};
using Pictures = std::vector<Picture>;

// The pictures a file embeds, from its format's own picture blocks (FLAC and Ogg pictures,
// ID3v2 APIC, MP4 covr, APE cover items). The caller holds the tag library's lock.
Pictures ReadPictures(TagLib::File* file);
// Writes the pictures into the file's own picture blocks; false when its format has none.
bool WritePictures(TagLib::File* file, const Pictures& pictures);

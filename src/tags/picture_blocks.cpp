#include "tags/picture_blocks.h"

#include <QByteArray>
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

namespace {

// The APE cover item names by picture type, as the tools that write them spell them.
const char* const kApeCoverNames[] = {"Other",
                                      "Png Icon",
                                      "Icon",
                                      "Front",
                                      "Back",
                                      "Leaflet",
                                      "Media",
                                      "Lead Artist",
                                      "Artist",
                                      "Conductor",
                                      "Band",
                                      "Composer",
                                      "Lyricist",
                                      "Recording Location",
                                      "During Recording",
                                      "During Performance",
                                      "Video Capture",
                                      "Fish",
                                      "Illustration",
                                      "Band Logotype",
                                      "Publisher Logotype"};
constexpr int kApeCoverNameCount = int(sizeof kApeCoverNames / sizeof kApeCoverNames[0]);

TagLib::String ApeCoverKey(int type)
{
    const int index = type >= 0 && type < kApeCoverNameCount ? type : 0;
    return TagLib::String("Cover Art (") + kApeCoverNames[index] + ")";
}

// The picture type an APE cover item name stands for; -1 for an item that is no cover.
int ApeCoverType(const TagLib::String& key)
{
    for (int type = 0; type < kApeCoverNameCount; ++type) {
        if (key.upper() == ApeCoverKey(type).upper())
            return type;
    }
    return -1;
}

// The image format from the data itself, for the formats that do not record it.
TagLib::String SniffMimeType(const TagLib::ByteVector& data)
{
    if (data.startsWith(TagLib::ByteVector("\xFF\xD8\xFF", 3)))
        return "image/jpeg";
    if (data.startsWith(TagLib::ByteVector("\x89PNG", 4)))
        return "image/png";
    if (data.startsWith("GIF8"))
        return "image/gif";
    if (data.startsWith("BM"))
        return "image/bmp";
    return TagLib::String();
}

Picture FromFlacPicture(const TagLib::FLAC::Picture& picture)
{
    Picture copy;
    copy.type = picture.type();
    copy.mimeType = picture.mimeType();
    copy.description = picture.description();
    copy.data = picture.data();
    copy.width = picture.width();
    copy.height = picture.height();
    copy.colorDepth = picture.colorDepth();
    copy.numColors = picture.numColors();
    return copy;
}

TagLib::FLAC::Picture* ToFlacPicture(const Picture& picture)
{
    auto* block = new TagLib::FLAC::Picture;
    block->setType(TagLib::FLAC::Picture::Type(picture.type));
    block->setMimeType(picture.mimeType);
    block->setDescription(picture.description);
    block->setData(picture.data);
    block->setWidth(picture.width);
    block->setHeight(picture.height);
    block->setColorDepth(picture.colorDepth);
    block->setNumColors(picture.numColors);
    return block;
}

Pictures ReadId3v2Pictures(TagLib::ID3v2::Tag* tag)
{
    Pictures pictures;
    if (!tag)
        return pictures;
    for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        auto* apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!apic)
            continue;
        Picture picture;
        picture.type = apic->type();
        picture.mimeType = apic->mimeType();
        picture.description = apic->description();
        picture.data = apic->picture();
        pictures.push_back(picture);
    }
    return pictures;
}

void WriteId3v2Pictures(TagLib::ID3v2::Tag* tag, const Pictures& pictures)
{
    tag->removeFrames("APIC");
    for (const Picture& picture : pictures) {
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setTextEncoding(TagLib::String::UTF8);
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::Type(picture.type));
        frame->setMimeType(picture.mimeType);
        frame->setDescription(picture.description);
        frame->setPicture(picture.data);
        tag->addFrame(frame);
    }
}

Pictures ReadXiphPictures(TagLib::Ogg::XiphComment* comment)
{
    Pictures pictures;
    if (!comment)
        return pictures;
    for (TagLib::FLAC::Picture* picture : comment->pictureList())
        pictures.push_back(FromFlacPicture(*picture));
    return pictures;
}

void WriteXiphPictures(TagLib::Ogg::XiphComment* comment, const Pictures& pictures)
{
    comment->removeAllPictures();
    for (const Picture& picture : pictures)
        comment->addPicture(ToFlacPicture(picture));
}

Pictures ReadMp4Pictures(TagLib::MP4::Tag* tag)
{
    Pictures pictures;
    if (!tag || !tag->contains("covr"))
        return pictures;
    // MP4 keeps neither types nor descriptions: the first picture is taken for the cover.
    for (const TagLib::MP4::CoverArt& art : tag->item("covr").toCoverArtList()) {
        Picture picture;
        picture.type =
            pictures.empty() ? TagLib::FLAC::Picture::FrontCover : TagLib::FLAC::Picture::Other;
        picture.data = art.data();
        switch (art.format()) {
        case TagLib::MP4::CoverArt::JPEG:
            picture.mimeType = "image/jpeg";
            break;
        case TagLib::MP4::CoverArt::PNG:
            picture.mimeType = "image/png";
            break;
        case TagLib::MP4::CoverArt::GIF:
            picture.mimeType = "image/gif";
            break;
        case TagLib::MP4::CoverArt::BMP:
            picture.mimeType = "image/bmp";
            break;
        default:
            picture.mimeType = SniffMimeType(picture.data);
            break;
        }
        pictures.push_back(picture);
    }
    return pictures;
}

void WriteMp4Pictures(TagLib::MP4::Tag* tag, const Pictures& pictures)
{
    TagLib::MP4::CoverArtList list;
    for (const Picture& picture : pictures) {
        // Only the four image formats MP4 names can go in; another one is left out.
        const TagLib::String mime = picture.mimeType.isEmpty() ? SniffMimeType(picture.data).upper()
                                                               : picture.mimeType.upper();
        TagLib::MP4::CoverArt::Format format = TagLib::MP4::CoverArt::Unknown;
        if (mime == "IMAGE/JPEG" || mime == "IMAGE/JPG")
            format = TagLib::MP4::CoverArt::JPEG;
        else if (mime == "IMAGE/PNG")
            format = TagLib::MP4::CoverArt::PNG;
        else if (mime == "IMAGE/GIF")
            format = TagLib::MP4::CoverArt::GIF;
        else if (mime == "IMAGE/BMP")
            format = TagLib::MP4::CoverArt::BMP;
        if (format != TagLib::MP4::CoverArt::Unknown)
            list.append(TagLib::MP4::CoverArt(format, picture.data));
    }
    if (list.isEmpty())
        tag->removeItem("covr");
    else
        tag->setItem("covr", TagLib::MP4::Item(list));
}

Pictures ReadApePictures(TagLib::APE::Tag* tag)
{
    Pictures pictures;
    if (!tag)
        return pictures;
    for (const auto& [key, item] : tag->itemListMap()) {
        const int type = ApeCoverType(key);
        if (type < 0 || item.type() != TagLib::APE::Item::Binary)
            continue;
        // The item is a file name, a zero byte and the image.
        const TagLib::ByteVector value = item.binaryData();
        const int zero = value.find('\0');
        if (zero < 0)
            continue;
        Picture picture;
        picture.type = type;
        picture.description = TagLib::String(value.mid(0, uint(zero)), TagLib::String::UTF8);
        picture.data = value.mid(uint(zero) + 1);
        picture.mimeType = SniffMimeType(picture.data);
        pictures.push_back(picture);
    }
    return pictures;
}

void WriteApePictures(TagLib::APE::Tag* tag, const Pictures& pictures)
{
    for (int type = 0; type < kApeCoverNameCount; ++type)
        tag->removeItem(ApeCoverKey(type));
    for (const Picture& picture : pictures) {
        const TagLib::String key = ApeCoverKey(picture.type);
        // One picture per type: a second of the same type is left out.
        if (tag->itemListMap().contains(key.upper()))
            continue;
        TagLib::ByteVector value = picture.description.data(TagLib::String::UTF8);
        value.append('\0');
        value.append(picture.data);
        tag->setItem(key, TagLib::APE::Item(key, value, true));
    }
}

} // namespace

Pictures ReadPictures(TagLib::File* file)
{
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        Pictures pictures;
        for (TagLib::FLAC::Picture* picture : flac->pictureList())
            pictures.push_back(FromFlacPicture(*picture));
        return pictures;
    }
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        return mpeg->hasID3v2Tag() ? ReadId3v2Pictures(mpeg->ID3v2Tag()) : Pictures();
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file))
        return ReadMp4Pictures(mp4->tag());
    if (auto* wavPack = dynamic_cast<TagLib::WavPack::File*>(file))
        return wavPack->hasAPETag() ? ReadApePictures(wavPack->APETag()) : Pictures();
    if (auto* ape = dynamic_cast<TagLib::APE::File*>(file))
        return ape->hasAPETag() ? ReadApePictures(ape->APETag()) : Pictures();
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        return wav->hasID3v2Tag() ? ReadId3v2Pictures(wav->ID3v2Tag()) : Pictures();
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file))
        return aiff->hasID3v2Tag() ? ReadId3v2Pictures(aiff->tag()) : Pictures();
    // Ogg Vorbis, Opus, Speex and Ogg FLAC all keep a Xiph comment.
    return ReadXiphPictures(dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag()));
}

bool WritePictures(TagLib::File* file, const Pictures& pictures)
{
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        flac->removePictures();
        for (const Picture& picture : pictures)
            flac->addPicture(ToFlacPicture(picture));
        return true;
    }
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        WriteId3v2Pictures(mpeg->ID3v2Tag(true), pictures);
        return true;
    }
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        WriteMp4Pictures(mp4->tag(), pictures);
        return true;
    }
    if (auto* wavPack = dynamic_cast<TagLib::WavPack::File*>(file)) {
        WriteApePictures(wavPack->APETag(true), pictures);
        return true;
    }
    if (auto* ape = dynamic_cast<TagLib::APE::File*>(file)) {
        WriteApePictures(ape->APETag(true), pictures);
        return true;
    }
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        WriteId3v2Pictures(wav->ID3v2Tag(), pictures);
        return true;
    }
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
        WriteId3v2Pictures(aiff->tag(), pictures);
        return true;
    }
    if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag())) {
        WriteXiphPictures(comment, pictures);
        return true;
    }
    return false;
}

#include "tags/tag_copy.h"

#include "audio/tag_library_lock.h"
#include "tags/replay_gain.h"

#include <QFile>
#include <mutex>
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

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

// ReplayGain has no MP4 atom of its own; the players that read it agree on these iTunes
// free-form names, which the tag library's property map does not know.
const char* const kMp4ReplayGainFields[] = {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK",
                                            "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK"};

// The free-form item name of a ReplayGain field, in the lower case the players write.
TagLib::String Mp4FreeFormName(const char* field)
{
    QByteArray name = QByteArray("----:com.apple.iTunes:") + QByteArray(field).toLower();
    return TagLib::String(name.constData());
}

void ReadMp4ReplayGain(TagLib::File* file, TagLib::PropertyMap& fields)
{
    auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file);
    if (!mp4 || !mp4->tag())
        return;
    for (const char* field : kMp4ReplayGainFields) {
        const TagLib::String wanted = Mp4FreeFormName(field).upper();
        for (const auto& [name, item] : mp4->tag()->itemMap()) {
            if (name.upper() == wanted && !fields.contains(field))
                fields.replace(field, item.toStringList());
        }
    }
}

// Writes the ReplayGain fields an MP4 result could not take as properties.
void WriteMp4ReplayGain(TagLib::File* file, const TagLib::PropertyMap& unwritten)
{
    auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file);
    if (!mp4 || !mp4->tag())
        return;
    for (const char* field : kMp4ReplayGainFields) {
        if (unwritten.contains(field))
            mp4->tag()->setItem(Mp4FreeFormName(field), TagLib::MP4::Item(unwritten[field]));
    }
}

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

// Writes the pictures into the result's own picture blocks; false when its format has none.
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

// ID3v2 and MP4 keep a number and its total in one field ("3/12"); Xiph and APE tags keep the
// total in a field of its own. Each result gets the form its format defines.
bool KeepsTotalsInNumber(TagLib::File* file)
{
    return dynamic_cast<TagLib::MPEG::File*>(file) || dynamic_cast<TagLib::MP4::File*>(file) ||
           dynamic_cast<TagLib::RIFF::WAV::File*>(file) ||
           dynamic_cast<TagLib::RIFF::AIFF::File*>(file);
}

void JoinTotal(TagLib::PropertyMap& properties, const char* number, const char* total)
{
    if (!properties.contains(total))
        return;
    const TagLib::String count = properties[total].front();
    properties.erase(total);
    if (properties.contains(number) && !properties[number].isEmpty() &&
        properties[number].front().find("/") == -1)
        properties.replace(number, TagLib::StringList(properties[number].front() + "/" + count));
}

void SplitTotal(TagLib::PropertyMap& properties, const char* number, const char* total)
{
    if (!properties.contains(number) || properties[number].isEmpty())
        return;
    const TagLib::String value = properties[number].front();
    const int slash = value.find("/");
    if (slash < 0)
        return;
    properties.replace(number, TagLib::StringList(value.substr(0, uint(slash))));
    if (!properties.contains(total))
        properties.replace(total, TagLib::StringList(value.substr(uint(slash) + 1)));
}

TagLib::PropertyMap FieldsFor(TagLib::File* target, TagLib::PropertyMap fields)
{
    fields.removeEmpty();
    // The channel mask of the WAV the source was made from describes the source's audio, not
    // the result's; copied, it contradicts the result's layout and MediaInfo then gives no
    // channel count for it.
    fields.erase("WAVEFORMATEXTENSIBLE_CHANNEL_MASK");
    if (KeepsTotalsInNumber(target)) {
        JoinTotal(fields, "TRACKNUMBER", "TRACKTOTAL");
        JoinTotal(fields, "DISCNUMBER", "DISCTOTAL");
    } else {
        SplitTotal(fields, "TRACKNUMBER", "TRACKTOTAL");
        SplitTotal(fields, "DISCNUMBER", "DISCTOTAL");
    }
    // The encoder's own fields stay unless the source has the same field.
    TagLib::PropertyMap merged = target->properties();
    for (const auto& [key, values] : fields)
        merged.replace(key, values);
    return merged;
}

bool Save(TagLib::File* file)
{
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        return mpeg->save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v4,
                          TagLib::File::DoNotDuplicate);
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        return wav->save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone,
                         TagLib::ID3v2::v4);
    return file->save();
}

QString Quoted(const QString& path)
{
    return u'"' + path + u'"';
}

} // namespace

bool CopyTags(const QString& sourcePath, const QString& targetPath, QString* error,
              const ReplayGainValues* gains)
{
    QString ignored;
    QString& reason = error ? *error : ignored;
    reason.clear();

    std::lock_guard lock(TagLibraryLock());
    TagLib::PropertyMap fields;
    Pictures pictures;
    TagLib::FileRef source;
    if (!sourcePath.isEmpty())
        source = TagLib::FileRef(QFile::encodeName(sourcePath).constData(), false);
    // A format without tags (or one the library does not know) has none to copy.
    if (!source.isNull() && source.file()->isValid()) {
        fields = source.file()->properties();
        ReadMp4ReplayGain(source.file(), fields);
        pictures = ReadPictures(source.file());
    }
    if (fields.isEmpty() && pictures.empty() && !gains)
        return true;

    const QByteArray targetName = QFile::encodeName(targetPath);
    TagLib::FileRef target(targetName.constData(), false);
    if (target.isNull() || !target.file()->isValid()) {
        reason =
            u"the tags of %1 cannot be written: its format holds none the tag library knows"_s.arg(
                Quoted(targetPath));
        return false;
    }
    if (target.file()->readOnly()) {
        reason =
            u"the tags of %1 cannot be written: the file is read-only"_s.arg(Quoted(targetPath));
        return false;
    }
    TagLib::File* file = target.file();
    // Fields the format has no place for come back unwritten: they are left out.
    TagLib::PropertyMap merged = FieldsFor(file, fields);
    if (gains)
        ApplyReplayGain(file, merged, *gains);
    WriteMp4ReplayGain(file, file->setProperties(merged));
    const bool picturesWritten = pictures.empty() || WritePictures(file, pictures);
    if (!Save(file)) {
        reason = u"the tags of %1 could not be saved"_s.arg(Quoted(targetPath));
        return false;
    }
    if (!picturesWritten) {
        reason = u"the pictures of %1 cannot be written: its format holds none the tag library "
                 u"knows"_s.arg(Quoted(targetPath));
        return false;
    }
    return true;
}

QString ReadAlbumTitle(const QString& path)
{
    std::lock_guard lock(TagLibraryLock());
    const QByteArray name = QFile::encodeName(path);
    TagLib::FileRef file(name.constData(), false);
    if (file.isNull() || !file.tag())
        return {};
    return QString::fromStdString(file.tag()->album().to8Bit(true)).trimmed();
}

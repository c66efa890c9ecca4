#include "tags/tag_copy.h"

#include "audio/tag_library_lock.h"
#include "foundation/os.h"
#include "tags/picture_blocks.h"
#include "tags/picture_shrinker.h"
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

void Replace(TagLib::PropertyMap& fields, const TagFields& replaced)
{
    for (auto it = replaced.begin(); it != replaced.end(); ++it) {
        const TagLib::String key(it.key().toUtf8().constData(), TagLib::String::UTF8);
        if (it.value().isEmpty())
            fields.erase(key);
        else
            fields.replace(key, TagLib::StringList(TagLib::String(it.value().toUtf8().constData(),
                                                                  TagLib::String::UTF8)));
    }
}

// A picture that cannot be read stays as it was: a player may still show it, and dropping it
// would lose what the source holds.
void ShrinkPictures(Pictures& pictures, int maxSide)
{
    const IPictureShrinker* shrinker = PictureShrinker();
    if (maxSide <= 0 || !shrinker)
        return;
    for (Picture& picture : pictures) {
        const QByteArray data(picture.data.data(), qsizetype(picture.data.size()));
        const ShrunkPicture shrunk = shrinker->Shrink(data, maxSide);
        if (shrunk.data.isEmpty())
            continue;
        picture.data = TagLib::ByteVector(shrunk.data.constData(), uint(shrunk.data.size()));
        picture.mimeType = "image/jpeg";
        picture.width = shrunk.width;
        picture.height = shrunk.height;
        picture.colorDepth = 24;
        picture.numColors = 0;
    }
}

} // namespace

bool CopyTags(const QString& sourcePath, const QString& targetPath, QString* error,
              const ReplayGainValues* gains, const TagFields* replaced, int pictureMaxSide)
{
    QString ignored;
    QString& reason = error ? *error : ignored;
    reason.clear();

    std::lock_guard lock(TagLibraryLock());
    TagLib::PropertyMap fields;
    Pictures pictures;
    TagLib::FileRef source;
    if (!sourcePath.isEmpty())
        source = TagLib::FileRef(os::SystemName(sourcePath).constData(), false);
    // A format without tags (or one the library does not know) has none to copy.
    if (!source.isNull() && source.file()->isValid()) {
        fields = source.file()->properties();
        ReadMp4ReplayGain(source.file(), fields);
        pictures = ReadPictures(source.file());
        ShrinkPictures(pictures, pictureMaxSide);
    }
    if (replaced)
        Replace(fields, *replaced);
    if (fields.isEmpty() && pictures.empty() && !gains)
        return true;

    const QByteArray targetName = os::SystemName(targetPath);
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
    const QByteArray name = os::SystemName(path);
    TagLib::FileRef file(name.constData(), false);
    if (file.isNull() || !file.tag())
        return {};
    return QString::fromStdString(file.tag()->album().to8Bit(true)).trimmed();
}

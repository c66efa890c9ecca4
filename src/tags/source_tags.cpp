#include "tags/source_tags.h"

#include "audio/tag_library_lock.h"
#include "foundation/number_text.h"
#include "foundation/os.h"

#include <QFile>
#include <mutex>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

namespace {

QString Text(const TagLib::String& text)
{
    return QString::fromUtf8(text.toCString(true)).trimmed();
}

// The first value of a property ("ALBUMARTIST", "DISCNUMBER"), or empty.
QString Property(const TagLib::PropertyMap& properties, const char* key)
{
    const auto found = properties.find(key);
    if (found == properties.end() || found->second.isEmpty())
        return {};
    return Text(found->second.front());
}

int Number(qint64 value)
{
    return value > 0 && value < 100000 ? int(value) : 0;
}

} // namespace

SourceTags ReadSourceTags(const QString& path)
{
    SourceTags tags;
    const QByteArray name = os::SystemName(path);
    std::lock_guard lock(TagLibraryLock());
    // Audio properties are MediaInfo's job; reading only the tags keeps this cheap.
    const TagLib::FileRef file(name.constData(), false);
    if (file.isNull() || !file.tag())
        return tags;
    const TagLib::Tag* tag = file.tag();
    tags.artist = Text(tag->artist());
    tags.album = Text(tag->album());
    tags.title = Text(tag->title());
    tags.genre = Text(tag->genre());
    tags.year = Number(tag->year());
    tags.track = Number(tag->track());
    const TagLib::PropertyMap properties = file.file()->properties();
    tags.albumArtist = Property(properties, "ALBUMARTIST");
    tags.composer = Property(properties, "COMPOSER");
    // "1/2" counts as disc 1.
    tags.disc = Number(ParseLeadingInteger(Property(properties, "DISCNUMBER")));
    return tags;
}

#include "tags/cue_track_tags.h"

#include "foundation/number_text.h"

using namespace Qt::StringLiterals;

namespace {

const CueSheetTrack* TrackAt(const CueSheet& sheet, int sheetIndex)
{
    return sheetIndex >= 0 && sheetIndex < sheet.tracks.size() ? &sheet.tracks.at(sheetIndex)
                                                               : nullptr;
}

// A field the sheet states replaces the image's; one it does not state keeps the image's.
void Put(TagFields& fields, const QString& key, const QString& value)
{
    if (!value.isEmpty())
        fields.insert(key, value);
}

} // namespace

TagFields CueTrackFields(const CueSheet& sheet, int sheetIndex, int trackNumber, int trackCount)
{
    const CueSheetTrack* track = TrackAt(sheet, sheetIndex);
    TagFields fields;
    // The image's own title and sheet name the whole album, never one of its tracks.
    fields.insert(u"TITLE"_s, track ? track->title : QString());
    fields.insert(u"CUESHEET"_s, QString());
    fields.insert(u"ISRC"_s, track ? track->isrc : QString());
    fields.insert(u"TRACKNUMBER"_s, QString::number(trackNumber));
    fields.insert(u"TRACKTOTAL"_s, QString::number(trackCount));
    Put(fields, u"ALBUM"_s, sheet.title);
    Put(fields, u"ALBUMARTIST"_s, sheet.performer);
    Put(fields, u"ARTIST"_s,
        track && !track->performer.isEmpty() ? track->performer : sheet.performer);
    Put(fields, u"COMPOSER"_s,
        track && !track->songwriter.isEmpty() ? track->songwriter : sheet.songwriter);
    Put(fields, u"DATE"_s, sheet.date);
    Put(fields, u"GENRE"_s, sheet.genre);
    Put(fields, u"COMMENT"_s, sheet.comment);
    if (sheet.discNumber > 0)
        fields.insert(u"DISCNUMBER"_s, QString::number(sheet.discNumber));
    if (sheet.discCount > 0)
        fields.insert(u"DISCTOTAL"_s, QString::number(sheet.discCount));
    return fields;
}

SourceTags CueTrackSourceTags(const CueSheet& sheet, int sheetIndex, int trackNumber,
                              const SourceTags& image)
{
    const CueSheetTrack* track = TrackAt(sheet, sheetIndex);
    SourceTags tags = image;
    const auto either = [](const QString& first, const QString& second) {
        return first.isEmpty() ? second : first;
    };
    tags.title = track ? track->title : QString();
    tags.track = trackNumber;
    tags.album = either(sheet.title, image.album);
    tags.albumArtist = either(sheet.performer, image.albumArtist);
    tags.artist =
        either(track ? track->performer : QString(), either(sheet.performer, image.artist));
    tags.composer =
        either(track ? track->songwriter : QString(), either(sheet.songwriter, image.composer));
    tags.genre = either(sheet.genre, image.genre);
    if (const qint64 year = ParseLeadingInteger(sheet.date); year > 0 && year < 10000)
        tags.year = int(year);
    if (sheet.discNumber > 0)
        tags.disc = sheet.discNumber;
    return tags;
}

#pragma once

#include "audio/cue_sheet.h"
#include "tags/source_tags.h"
#include "tags/tag_copy.h"

#include <QString>

// The tags of one track of an album image (by its index in the sheet's tracks; -1 for a hidden
// first track): the sheet's album and track fields over the image's own, the track's number
// and the album's count of tracks. The image's own CUESHEET does not go to its tracks.
TagFields CueTrackFields(const CueSheet& sheet, int sheetIndex, int trackNumber, int trackCount);

// The same track's tags as names are made from them.
SourceTags CueTrackSourceTags(const CueSheet& sheet, int sheetIndex, int trackNumber,
                              const SourceTags& image);

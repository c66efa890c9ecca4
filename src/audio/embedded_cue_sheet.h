#pragma once

#include "audio/cue_sheet.h"

#include <QString>
#include <optional>

// The cue sheet an album image carries inside itself: a CUESHEET tag (a Vorbis comment or an
// APEv2 item, with the titles a ripper wrote), else a FLAC file's CUESHEET block (positions
// and ISRCs only). Every FILE it names is the image itself. Empty when the file carries none;
// one that is damaged gives its reason in *error.
std::optional<CueSheet> ReadEmbeddedCueSheet(const QString& path, QString* error = nullptr,
                                             const QString& encoding = {});

// A FLAC file's CUESHEET metadata block alone, read in blocks from the file's start.
std::optional<CueSheet> ReadFlacCueSheetBlock(const QString& path, QString* error = nullptr);

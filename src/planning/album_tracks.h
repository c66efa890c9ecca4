#pragma once

#include "audio/cue_tracks.h"
#include "planning/album_image.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

// The rows of the tracks an audio file of a sheet holds (all of them for an album image, those
// that start in it for a sheet of several files), made from the file's own row and the sheet:
// each with the file's properties, its own length, name and tags. Empty, with the reason in
// *error, when the sheet cannot split it (no FILE is it, an unknown sample rate, a track past
// its end).
std::vector<std::unique_ptr<CFileInfo>> TrackRowsOf(const CFileInfo& image, const AlbumImage& album,
                                                    CueGapMode gaps, QString* error);

// Plans a track as PlanFile plans a file: the image's decoder (none for a WAV image, whose
// tracks are cut from it as it is) writes the image's WAV, its own track is cut from that to
// the WAV its coder reads (or, decoding only, to its result), and the coder takes the track's
// length and tags.
// Under device limits sox brings the whole image within them before the cut, and the track's
// stretch is found at the same place in the new rate.
bool PlanTrack(CFileInfo& file, const PlannedDecoders& decoders, CCoder* coder, int presetIndex,
               const QString& outputFolder, bool decodeOnly, const ResultNaming& naming = {},
               const QString& tempFolder = {}, const AudioChain& chain = {});

// One decode per image: of the tracks about to run, in order, the first of each image decodes
// it and cuts every track's WAV; the others' coders wait for that decoder instead of their
// own, which is not queued. Planned again at each start, for the tracks of that run.
void ShareImageDecoders(const QList<CFileInfo*>& files);

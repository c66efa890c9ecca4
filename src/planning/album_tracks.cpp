#include "planning/album_tracks.h"

#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "planning/name_pattern.h"
#include "tags/cue_track_tags.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

QString TrackNumberText(int number)
{
    return u"%1"_s.arg(number, 2, 10, QChar(u'0'));
}

// "Album - 03 - Title.flac" beside the image: a result named after its source is the track's.
QString NamingPathOf(const CFileInfo& image, int number, const QString& title)
{
    QString stem = FileNamePart(CleanedPath(image.path));
    const QString extension = ExtensionPart(stem);
    RemoveExtension(stem);
    stem += u" - "_s + TrackNumberText(number);
    if (!title.isEmpty())
        stem += u" - "_s + title;
    const QString dotted = extension.isEmpty() ? QString() : u'.' + extension;
    return AppendPath(image.folder, SafeNameComponent(stem, false, dotted) + dotted);
}

// The FILE of the sheet that names the audio file.
QString SheetNameOf(const AlbumImage& album, const QString& audioPath)
{
    const QList<QString> named = album.sheet.Files();
    if (named.size() == 1)
        return named.front();
    for (const QString& name : named) {
        if (IsSameFile(album.files.value(name), audioPath))
            return name;
    }
    return {};
}

std::unique_ptr<CFileInfo> RowOf(const CFileInfo& image, const AlbumImage& album,
                                 const CueTrackCut& cut, int trackCount, qint64 imageFrames,
                                 bool ownName)
{
    const CuePiece& piece = cut.pieces.front();
    auto row = std::make_unique<CFileInfo>();
    row->sampleRate = image.sampleRate;
    row->bitRate = image.bitRate;
    row->channels = image.channels;
    row->fileType = image.fileType;
    row->format = image.format;
    row->resolution = image.resolution;
    row->path = image.path;
    row->folder = image.folder;
    const qint64 end = piece.end < 0 ? imageFrames : piece.end;
    row->duration = (end - piece.start) * 1000 / image.sampleRate;
    row->size = imageFrames > 0
                    ? qint64(double(image.size) * double(end - piece.start) / double(imageFrames))
                    : image.size;
    row->tags = CueTrackSourceTags(album.sheet, cut.sheetIndex, cut.number, image.tags);
    auto track = std::make_shared<CueTrackSource>();
    track->sheetPath = album.sheetPath;
    track->number = cut.number;
    track->start = piece.start;
    track->end = piece.end;
    track->durationMs = row->duration;
    track->imageDurationMs = image.duration;
    track->fields = CueTrackFields(album.sheet, cut.sheetIndex, cut.number, trackCount);
    const QString title = track->fields.value(u"TITLE"_s);
    track->namingPath = ownName ? image.path : NamingPathOf(image, cut.number, title);
    row->fileName = ownName ? image.fileName
                            : image.fileName + u" - "_s + TrackNumberText(cut.number) +
                                  (title.isEmpty() ? QString() : u" - "_s + title);
    row->track = std::move(track);
    return row;
}

} // namespace

std::vector<std::unique_ptr<CFileInfo>> TrackRowsOf(const CFileInfo& image, const AlbumImage& album,
                                                    CueGapMode gaps, QString* error)
{
    std::vector<std::unique_ptr<CFileInfo>> rows;
    const QString name = SheetNameOf(album, image.path);
    if (name.isEmpty()) {
        *error = u"its cue sheet names no FILE that is this file"_s;
        return rows;
    }
    if (image.sampleRate <= 0 || image.duration <= 0) {
        *error = u"the image's sample rate and length are not known"_s;
        return rows;
    }
    const qint64 imageFrames = image.duration * image.sampleRate / 1000;
    // Every track is counted, wherever its file; the rows are those this file holds.
    const QList<CueTrackCut> all = CutCueTracks(album.sheet, image.sampleRate, gaps);
    int trackCount = 0;
    QList<CueTrackCut> cuts;
    for (const CueTrackCut& cut : all) {
        trackCount += cut.number > 0 ? 1 : 0;
        if (!cut.pieces.isEmpty() && cut.pieces.front().file == name)
            cuts << cut;
    }
    if (cuts.isEmpty()) {
        *error = u"its cue sheet starts no track in %1"_s.arg(name);
        return rows;
    }
    if (!CheckCueCuts(cuts, {{name, imageFrames}}, error))
        return rows;
    // A file of a rip to one file per track keeps its own name for its one track.
    const bool ownName = album.sheet.Files().size() > 1 && cuts.size() == 1;
    for (const CueTrackCut& cut : cuts)
        rows.push_back(RowOf(image, album, cut, trackCount, imageFrames, ownName));
    return rows;
}

namespace {

// The same instant in another rate; every track's bounds are moved by the one rule, so the
// tracks still join without a gap or an overlap.
qint64 FramesAtRate(qint64 frames, int rate, int newRate)
{
    if (rate <= 0 || newRate == rate)
        return frames;
    return (frames * newRate + rate / 2) / rate;
}

} // namespace

bool PlanTrack(CFileInfo& file, const PlannedDecoders& decoders, CCoder* coder, int presetIndex,
               const QString& outputFolder, bool decodeOnly, const ResultNaming& naming,
               const QString& tempFolder, const AudioChain& chain)
{
    if (!file.track)
        return false;
    if (!decodeOnly && !(coder && presetIndex >= 0 && presetIndex < coder->GetEntries().size())) {
        ResetJobs(file);
        return true;
    }
    const QString folder = tempFolder.isEmpty() ? os::TemporaryFolder() : tempFolder;
    if (!PrepareDecoder(file, decoders, outputFolder, false, naming, folder)) {
        if (file.fileType != kSourceWav)
            return false;
        // No program: the WAV image is cut as it is, and never written.
        file.decoder = std::make_unique<CDecoder>();
        file.decoder->SetInputFile(file.path);
        file.decoderInput = file.path;
    }
    const QString trackWav = decodeOnly ? ResultPathOf(file, outputFolder, u".wav"_s, naming)
                                        : MakeTempFileName(folder, u".wav"_s);
    if (trackWav.isEmpty())
        return false;
    CDecoder& decoder = *file.decoder;
    decoder.SetTempFile(trackWav);
    decoder.trackCuts = {{file.track->start, file.track->end, trackWav}};
    if (decodeOnly) {
        AssignCoder(nullptr, file);
        file.presetName.clear();
        return true;
    }
    if (!AddLimiter(file, chain, folder))
        return false;
    const LimitedFormat limited = LimitedFormatOf(file, chain.limits);
    if (limited.resampled && !chain.limiterProgram.isEmpty()) {
        TrackCut& cut = file.decoder->trackCuts.first();
        cut.start = FramesAtRate(cut.start, file.sampleRate, limited.sampleRate);
        cut.end = cut.end < 0 ? -1 : FramesAtRate(cut.end, file.sampleRate, limited.sampleRate);
    }
    const CodecEntry entry = coder->GetEntries().at(presetIndex);
    if (!AssignCoder(coder, file) || !PrepareCoder(file, entry.commandLine, outputFolder, naming))
        return false;
    if (chain.verifyLossless)
        AddVerification(*file.coder, decoders);
    file.coder->expectedMs = file.track->durationMs;
    file.coder->tagFields = file.track->fields;
    file.presetName = entry.name;
    return true;
}

void ShareImageDecoders(const QList<CFileInfo*>& files)
{
    QHash<QString, CDecoder*> decoderOfImage;
    for (CFileInfo* file : files) {
        if (!file->track || !file->decoder)
            continue;
        CDecoder* own = file->decoder.get();
        // Its own stretch comes first: in the image's rate, or in the rate sox brings it to.
        const TrackCut cut =
            own->trackCuts.isEmpty()
                ? TrackCut{file->track->start, file->track->end, own->GetTempFile()}
                : own->trackCuts.first();
        own->trackCuts = {cut};
        // Decoding only, each track has no coder to wait: it decodes and cuts on its own.
        if (!file->coder)
            continue;
        file->coder->decoder = own;
        CDecoder*& shared = decoderOfImage[file->path];
        if (!shared) {
            shared = own;
            continue;
        }
        shared->trackCuts << cut;
        file->coder->decoder = shared;
    }
}

// The cue sheet reader on any bytes: a sheet it accepts has tracks with positions, and its
// cuts lie in order inside the files; a refusal always has a reason.
#include "audio/cue_sheet.h"
#include "audio/cue_tracks.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const std::optional<CueSheet> sheet = ReadCueSheet(bytes, &error);
    if (!sheet) {
        if (error.isEmpty())
            FuzzFail("a refusal without a reason");
        return 0;
    }
    if (sheet->tracks.isEmpty())
        FuzzFail("a sheet without tracks");
    for (const int rate : {44100, 32000}) {
        for (const CueGapMode gaps :
             {CueGapMode::ToPreviousTrack, CueGapMode::ToOwnTrack, CueGapMode::LeftOut}) {
            const QList<CueTrackCut> cuts = CutCueTracks(*sheet, rate, gaps);
            QHash<QString, qint64> lengths;
            for (const QString& file : sheet->Files())
                lengths.insert(file, qint64(rate) * 3600);
            for (const CueTrackCut& cut : cuts) {
                for (const CuePiece& piece : cut.pieces) {
                    if (piece.start < 0 || (piece.end >= 0 && piece.end <= piece.start))
                        FuzzFail("a piece out of order", QString::number(cut.number));
                }
            }
            CheckCueCuts(cuts, lengths, &error);
        }
    }
    return 0;
}

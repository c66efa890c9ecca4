#include "run/result_finishing.h"

#include "codecs/codec.h"
#include "run/run_files.h"
#include "tags/replay_gain.h"
#include "tags/tag_copy.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

void AppendLine(QString& text, const QString& line)
{
    text += (text.isEmpty() ? u""_s : u"\n"_s) + line;
}

} // namespace

QString SourceOf(CCoder& coder)
{
    return coder.decoder ? coder.decoder->GetInputFile() : coder.GetInputFile();
}

QString AlbumFolderOf(const QString& sourceFile)
{
    return QFileInfo(sourceFile).absolutePath();
}

QStringList SourceFoldersOf(const QList<IProcess*>& queue)
{
    QStringList folders;
    for (IProcess* process : queue) {
        if (auto* coder = dynamic_cast<CCoder*>(process))
            folders.append(AlbumFolderOf(SourceOf(*coder)));
    }
    return folders;
}

void CRunMeter::Finish(bool stopped)
{
    if (thread.Started())
        measured = thread.Finish(stopped, loudness, error);
}

bool FinishResult(CResultFinish& finish, const QString& writtenFile, const QString& outputFile,
                  const ResultOptions& options)
{
    const CRunMeter& meter = finish.meter;
    const ReplayGainValues gains = ReplayGainValuesOf(meter.loudness);
    // A failed tag copy is reported; the audio is still the result.
    const QString tagSource = options.copyTags ? finish.sourceFile : QString();
    const TagFields* fields =
        options.copyTags && !finish.fields.isEmpty() ? &finish.fields : nullptr;
    if (!tagSource.isEmpty() || meter.measured)
        CopyTags(tagSource, writtenFile, &finish.tagError, meter.measured ? &gains : nullptr,
                 fields, options.pictureMaxSide);
    if (!meter.error.isEmpty())
        AppendLine(finish.tagError, meter.error);
    if (meter.measured && options.replayGain == ReplayGainMode::TrackAndAlbum) {
        finish.album = finish.fields.value(u"ALBUM"_s, ReadAlbumTitle(finish.sourceFile));
        finish.held = true;
        return true;
    }
    return PlaceOrDiscard(writtenFile, outputFile);
}

#include "planning/album_image.h"

#include "audio/embedded_cue_sheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// Sheets are small; anything larger is not one.
constexpr qint64 kMaxSheetBytes = 1 << 20;

const QStringList& AudioExtensions()
{
    static const QStringList extensions{u"flac"_s, u"ape"_s, u"wv"_s,  u"wav"_s,  u"tta"_s,
                                        u"tak"_s,  u"m4a"_s, u"ogg"_s, u"opus"_s, u"aiff"_s,
                                        u"aif"_s,  u"mp3"_s, u"ofr"_s};
    return extensions;
}

// The entry of the folder named so, whatever the case of its letters; empty when none.
QString EntryNamed(const QDir& folder, const QString& name)
{
    if (QFileInfo(folder.filePath(name)).isFile())
        return folder.filePath(name);
    for (const QString& entry : folder.entryList(QDir::Files)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    }
    return {};
}

QString AudioFileFor(const QDir& folder, const QString& named)
{
    // A sheet written on Windows may name "sub\Album.wav".
    const QString name = QString(named).replace(u'\\', u'/');
    if (const QString found = EntryNamed(folder, name); !found.isEmpty())
        return found;
    const QString base = QFileInfo(name).completeBaseName();
    for (const QString& extension : AudioExtensions()) {
        if (const QString found = EntryNamed(folder, base + u'.' + extension); !found.isEmpty())
            return found;
    }
    return {};
}

std::optional<QByteArray> SheetBytes(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"%1: %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxSheetBytes) {
        *error = u"%1 is too large for a cue sheet"_s.arg(path);
        return std::nullopt;
    }
    return file.readAll();
}

bool SameFile(const QString& one, const QString& other)
{
    return QFileInfo(one).canonicalFilePath() == QFileInfo(other).canonicalFilePath();
}

struct Candidate
{
    QString path;
    bool namedAfterAudio = false; // a sheet named after the file is meant for it
};

// The sheets of the folder that may split the audio file, the likeliest first.
QList<Candidate> CandidateSheets(const QFileInfo& audio)
{
    const QDir folder = audio.dir();
    QList<Candidate> sheets;
    QStringList seen;
    for (const QString& name :
         {audio.completeBaseName() + u".cue"_s, audio.fileName() + u".cue"_s}) {
        if (const QString found = EntryNamed(folder, name);
            !found.isEmpty() && !seen.contains(found)) {
            sheets << Candidate{found, true};
            seen << found;
        }
    }
    for (const QString& entry : folder.entryList({u"*.cue"_s}, QDir::Files)) {
        if (!seen.contains(folder.filePath(entry)))
            sheets << Candidate{folder.filePath(entry), false};
    }
    return sheets;
}

} // namespace

QString AlbumImage::Image() const
{
    const QList<QString> named = sheet.Files();
    return named.isEmpty() ? QString() : files.value(named.front());
}

std::optional<AlbumImage> ReadAlbumImageSheet(const QString& cuePath, QString* error,
                                              const QString& encoding)
{
    QString ignored;
    QString& reason = error ? *error : ignored;
    const std::optional<QByteArray> bytes = SheetBytes(cuePath, &reason);
    if (!bytes)
        return std::nullopt;
    std::optional<CueSheet> sheet = ReadCueSheet(*bytes, &reason, encoding);
    if (!sheet) {
        reason = u"%1: %2"_s.arg(cuePath, reason);
        return std::nullopt;
    }
    AlbumImage image{cuePath, *sheet, {}};
    const QDir folder = QFileInfo(cuePath).dir();
    for (const QString& named : sheet->Files()) {
        const QString found = AudioFileFor(folder, named);
        if (found.isEmpty()) {
            reason = u"%1 names the file %2, which is not there"_s.arg(cuePath, named);
            return std::nullopt;
        }
        image.files.insert(named, found);
    }
    return image;
}

std::optional<AlbumImage> FindAlbumImageOfAudio(const QString& audioPath, QString* error,
                                                const QString& encoding)
{
    QString ignored;
    QString& reason = error ? *error : ignored;
    reason.clear();
    const QFileInfo audio(audioPath);
    for (const Candidate& candidate : CandidateSheets(audio)) {
        QString why;
        std::optional<AlbumImage> image = ReadAlbumImageSheet(candidate.path, &why, encoding);
        if (!image) {
            if (candidate.namedAfterAudio) {
                reason = why;
                return std::nullopt;
            }
            continue;
        }
        for (const QString& file : std::as_const(image->files)) {
            if (SameFile(file, audioPath))
                return image;
        }
    }
    QString why;
    std::optional<CueSheet> embedded = ReadEmbeddedCueSheet(audioPath, &why, encoding);
    if (!embedded) {
        reason = why;
        return std::nullopt;
    }
    const QString name = embedded->Files().value(0);
    return AlbumImage{{}, *embedded, {{name, audioPath}}};
}

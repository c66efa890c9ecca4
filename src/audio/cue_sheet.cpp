#include "audio/cue_sheet.h"

#include "audio/sheet_text.h"

#include <QRegularExpression>
#include <QStringList>
#include <libcue.h>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// libcue's parser keeps its state in globals.
std::mutex& CueLibraryLock()
{
    static std::mutex lock;
    return lock;
}

// A line's words; a quoted word keeps its spaces and loses its quotes, and an unclosed quote
// runs to the end of the line.
QStringList Words(const QString& line)
{
    QStringList words;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && line.at(i).isSpace())
            ++i;
        if (i >= line.size())
            break;
        if (line.at(i) == u'"') {
            const qsizetype close = line.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? line.size() : close;
            words << line.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        qsizetype end = i;
        while (end < line.size() && !line.at(end).isSpace())
            ++end;
        words << line.mid(i, end - i);
        i = end;
    }
    return words;
}

// What one of the sheet's lines says, read before libcue sees the text.
class CSheetScan
{
public:
    bool Scan(const QString& text, CueSheet& sheet, QString* error);

private:
    bool Line(const QStringList& words, CueSheet& sheet);
    bool Index(const QStringList& words, CueSheetTrack& track);
    void Remark(const QStringList& words, CueSheet& sheet);
    bool Fail(const QString& reason);

    QString currentFile;
    int lineNumber = 0;
    QString failure;
};

bool CSheetScan::Fail(const QString& reason)
{
    failure = u"line %1: %2"_s.arg(lineNumber).arg(reason);
    return false;
}

bool CSheetScan::Scan(const QString& text, CueSheet& sheet, QString* error)
{
    static const QRegularExpression breaks(u"\r\n|\r|\n"_s);
    for (const QString& line : text.split(breaks)) {
        ++lineNumber;
        const QStringList words = Words(line);
        if (!words.isEmpty() && !Line(words, sheet)) {
            *error = failure;
            return false;
        }
    }
    if (sheet.tracks.isEmpty()) {
        *error = u"the sheet lists no track"_s;
        return false;
    }
    for (const CueSheetTrack& track : sheet.tracks) {
        if (track.start.frames < 0) {
            *error = u"track %1 has no INDEX 01"_s.arg(track.number);
            return false;
        }
    }
    return true;
}

bool CSheetScan::Line(const QStringList& words, CueSheet& sheet)
{
    static const QStringList ignored{
        u"CATALOG"_s,   u"CDTEXTFILE"_s, u"FLAGS"_s,   u"ISRC"_s,     u"PERFORMER"_s,
        u"POSTGAP"_s,   u"SONGWRITER"_s, u"TITLE"_s,   u"COMPOSER"_s, u"ARRANGER"_s,
        u"MESSAGE"_s,   u"DISC_ID"_s,    u"UPC_EAN"_s, u"GENRE"_s,    u"SIZE_INFO"_s,
        u"TOC_INFO1"_s, u"TOC_INFO2"_s};
    const QString command = words.front().toUpper();
    if (command == u"REM"_s) {
        Remark(words, sheet);
        return true;
    }
    if (command == u"FILE"_s) {
        if (words.size() < 2 || words.at(1).isEmpty())
            return Fail(u"FILE names no file"_s);
        currentFile = words.at(1);
        return true;
    }
    if (command == u"TRACK"_s) {
        bool ok = false;
        const int number = words.value(1).toInt(&ok);
        if (!ok || number < 0 || number > 99)
            return Fail(u"TRACK needs a number from 1 to 99"_s);
        if (currentFile.isEmpty())
            return Fail(u"track %1 comes before any FILE"_s.arg(number));
        static const QStringList types{
            u"AUDIO"_s,      u"CDG"_s,        u"MODE1/2048"_s, u"MODE1/2352"_s, u"MODE2/2048"_s,
            u"MODE2/2324"_s, u"MODE2/2336"_s, u"MODE2/2352"_s, u"CDI/2336"_s,   u"CDI/2352"_s};
        if (!types.contains(words.value(2), Qt::CaseInsensitive))
            return Fail(u"track %1 has no type libcue knows (AUDIO, MODE1/2352 ...)"_s.arg(number));
        CueSheetTrack track;
        track.number = number;
        track.audio = words.value(2).compare(u"AUDIO"_s, Qt::CaseInsensitive) == 0;
        track.start = {currentFile, -1};
        sheet.tracks << track;
        return true;
    }
    if (command == u"INDEX"_s || command == u"PREGAP"_s) {
        if (sheet.tracks.isEmpty())
            return Fail(u"%1 comes before any TRACK"_s.arg(command));
        CueSheetTrack& track = sheet.tracks.back();
        if (command == u"INDEX"_s)
            return Index(words, track);
        track.pregapFrames = ParseCueTime(words.value(1));
        return track.pregapFrames >= 0 || Fail(u"PREGAP needs a time MM:SS:FF"_s);
    }
    if (ignored.contains(command))
        return true;
    return Fail(u"unknown command %1"_s.arg(words.front()));
}

bool CSheetScan::Index(const QStringList& words, CueSheetTrack& track)
{
    bool ok = false;
    const int number = words.value(1).toInt(&ok);
    const qint64 frames = ParseCueTime(words.value(2));
    if (!ok || number < 0 || number > 99 || frames < 0)
        return Fail(u"INDEX needs a number and a time MM:SS:FF"_s);
    // Indexes past 01 mark places inside the track: it goes on.
    if (number == 0)
        track.gapStart = CuePosition{currentFile, frames};
    else if (number == 1)
        track.start = {currentFile, frames};
    return true;
}

void CSheetScan::Remark(const QStringList& words, CueSheet& sheet)
{
    // Only album-wide remarks, before the first track, name the album.
    if (!sheet.tracks.isEmpty() || words.size() < 3)
        return;
    const QString key = words.at(1).toUpper();
    const QString value = words.mid(2).join(u' ');
    if (key == u"GENRE"_s)
        sheet.genre = value;
    else if (key == u"COMMENT"_s)
        sheet.comment = value;
    else if (key == u"DATE"_s)
        sheet.date = value;
    else if (key == u"DISCNUMBER"_s)
        sheet.discNumber = qMax(0, value.toInt());
    else if (key == u"TOTALDISCS"_s)
        sheet.discCount = qMax(0, value.toInt());
}

QString Text(const char* text)
{
    return text ? QString::fromUtf8(text).trimmed() : QString();
}

// libcue's reading of the text: CD-TEXT and ISRC for the album and its tracks.
bool TakeCdText(const QString& text, CueSheet& sheet, QString* error)
{
    std::lock_guard lock(CueLibraryLock());
    const std::unique_ptr<Cd, decltype(&cd_delete)> cd(cue_parse_string(text.toUtf8().constData()),
                                                       &cd_delete);
    if (!cd || cd_get_ntrack(cd.get()) != sheet.tracks.size()) {
        *error = u"the sheet is damaged"_s;
        return false;
    }
    if (const Cdtext* album = cd_get_cdtext(cd.get())) {
        sheet.title = Text(cdtext_get(PTI_TITLE, album));
        sheet.performer = Text(cdtext_get(PTI_PERFORMER, album));
        sheet.songwriter = Text(cdtext_get(PTI_SONGWRITER, album));
    }
    for (qsizetype i = 0; i < sheet.tracks.size(); ++i) {
        const Track* track = cd_get_track(cd.get(), int(i + 1));
        CueSheetTrack& into = sheet.tracks[i];
        into.isrc = Text(track_get_isrc(track));
        if (const Cdtext* cdText = track_get_cdtext(track)) {
            into.title = Text(cdtext_get(PTI_TITLE, cdText));
            into.performer = Text(cdtext_get(PTI_PERFORMER, cdText));
            into.songwriter = Text(cdtext_get(PTI_SONGWRITER, cdText));
        }
    }
    return true;
}

bool InOrder(const CueSheet& sheet, QString* error)
{
    for (qsizetype i = 1; i < sheet.tracks.size(); ++i) {
        const CueSheetTrack& before = sheet.tracks.at(i - 1);
        const CueSheetTrack& track = sheet.tracks.at(i);
        const CuePosition& from = track.gapStart ? *track.gapStart : track.start;
        const bool sameFile = from.file == before.start.file;
        if ((sameFile && from.frames < before.start.frames) ||
            (track.gapStart && track.gapStart->file == track.start.file &&
             track.start.frames < track.gapStart->frames)) {
            *error = u"track %1 starts before track %2"_s.arg(track.number).arg(before.number);
            return false;
        }
    }
    return true;
}

} // namespace

QList<QString> CueSheet::Files() const
{
    QList<QString> files;
    for (const CueSheetTrack& track : tracks) {
        for (const QString& file :
             {track.gapStart ? track.gapStart->file : QString(), track.start.file}) {
            if (!file.isEmpty() && !files.contains(file))
                files << file;
        }
    }
    return files;
}

qint64 ParseCueTime(const QString& text)
{
    static const QRegularExpression time(u"^(\\d{1,4}):(\\d{1,2}):(\\d{1,2})$"_s);
    const QRegularExpressionMatch match = time.match(text);
    if (!match.hasMatch())
        return -1;
    const qint64 minutes = match.captured(1).toLongLong();
    const qint64 seconds = match.captured(2).toLongLong();
    const qint64 frames = match.captured(3).toLongLong();
    if (seconds > 59 || frames > 74)
        return -1;
    return (minutes * 60 + seconds) * 75 + frames;
}

std::optional<CueSheet> ReadCueSheet(const QByteArray& bytes, QString* error,
                                     const QString& encoding)
{
    QString ignored;
    QString& reason = error ? *error : ignored;
    const SheetText text = DecodeSheetText(bytes, encoding);
    CueSheet sheet;
    sheet.encoding = text.encoding;
    CSheetScan scan;
    if (!scan.Scan(text.text, sheet, &reason) || !InOrder(sheet, &reason) ||
        !TakeCdText(text.text, sheet, &reason))
        return std::nullopt;
    return sheet;
}

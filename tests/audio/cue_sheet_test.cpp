#include "audio/cue_sheet.h"
#include "audio/cue_tracks.h"
#include "audio/embedded_cue_sheet.h"
#include "audio/sheet_text.h"
#include "support/audio_fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The sheet's text in a code page, as a ripper on such a system wrote it.
QByteArray Encoded(const QString& text, const char* encoding)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(encoding, &status);
    QByteArray bytes(text.size() * 4 + 4, '\0');
    const int32_t length = ucnv_fromUChars(converter, bytes.data(), int32_t(bytes.size()),
                                           reinterpret_cast<const UChar*>(text.utf16()),
                                           int32_t(text.size()), &status);
    ucnv_close(converter);
    EXPECT_TRUE(U_SUCCESS(status)) << encoding;
    bytes.truncate(length);
    return bytes;
}

QString SheetWithTitles(const QString& album, const QStringList& titles)
{
    QString text = u"PERFORMER \"%1\"\nTITLE \"%1\"\nFILE \"Album.flac\" WAVE\n"_s.arg(album);
    for (qsizetype i = 0; i < titles.size(); ++i)
        text += u"  TRACK %1 AUDIO\n    TITLE \"%2\"\n    INDEX 01 %3:00:00\n"_s
                    .arg(i + 1, 2, 10, QChar(u'0'))
                    .arg(titles.at(i))
                    .arg(i * 4, 2, 10, QChar(u'0'));
    return text;
}

CueSheet Read(const QString& text)
{
    QString error;
    const std::optional<CueSheet> sheet = ReadCueSheet(text.toUtf8(), &error);
    EXPECT_TRUE(sheet) << qPrintable(error);
    return sheet.value_or(CueSheet{});
}

} // namespace

TEST(CueSheetTest, TitlesReadRightInTheEncodingsRippersWrite)
{
    struct Case
    {
        const char* encoding;
        QString album;
        QStringList titles;
    };
    const Case cases[] = {
        {"windows-1252",
         u"Cafés de París"_s,
         {u"Déjà vu à l'été"_s, u"Señor García"_s, u"Über die Brücke"_s, u"Crème brûlée"_s}},
        {"windows-1251",
         u"Кино Группа крови"_s,
         {u"Группа крови"_s, u"Закрой за мной дверь, я ухожу"_s, u"Война"_s, u"Спокойная ночь"_s,
          u"Мама, мы все тяжело больны"_s}},
        {"Shift_JIS",
         u"日本の歌のアルバム"_s,
         {u"さくらさくら"_s, u"ふるさとの歌"_s, u"夜明けの街で"_s, u"東京の空は青い"_s}},
        {"GBK",
         u"中文歌曲精选集"_s,
         {u"月亮代表我的心"_s, u"甜蜜蜜在这里"_s, u"我只在乎你的爱"_s, u"北京欢迎你们"_s}},
        {"UTF-8", u"Ünïcödé — 日本"_s, {u"Ωmega"_s, u"Straße"_s}},
    };
    for (const Case& c : cases) {
        const QByteArray bytes = Encoded(SheetWithTitles(c.album, c.titles), c.encoding);
        QString error;
        const std::optional<CueSheet> sheet = ReadCueSheet(bytes, &error);
        ASSERT_TRUE(sheet) << c.encoding << ": " << qPrintable(error);
        EXPECT_EQ(sheet->title, c.album)
            << c.encoding << " read as " << qPrintable(sheet->encoding);
        ASSERT_EQ(sheet->tracks.size(), c.titles.size()) << c.encoding;
        for (qsizetype i = 0; i < c.titles.size(); ++i)
            EXPECT_EQ(sheet->tracks.at(i).title, c.titles.at(i)) << c.encoding;
    }
}

TEST(CueSheetTest, MarksAndAChosenEncodingComeBeforeTheGuess)
{
    const QString text = SheetWithTitles(u"Mötley"_s, {u"Ça va"_s});
    QByteArray utf16 = "\xFF\xFE";
    utf16 += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(DecodeSheetText(utf16).text, text);
    EXPECT_EQ(DecodeSheetText("\xEF\xBB\xBF" + text.toUtf8()).text, text);
    // Bytes valid in UTF-8 and in a code page read as UTF-8 unless the user names the page.
    const QByteArray bytes = u"TITLE \"Ã©\""_s.toUtf8();
    EXPECT_EQ(DecodeSheetText(bytes).text, u"TITLE \"Ã©\""_s);
    EXPECT_EQ(DecodeSheetText(bytes, u"windows-1252"_s).text, u"TITLE \"ÃƒÂ©\""_s);
    EXPECT_EQ(DecodeSheetText(bytes, u"no-such-encoding"_s).text, u"TITLE \"Ã©\""_s);
}

TEST(CueSheetTest, AlbumAndTrackFieldsComeFromTheSheet)
{
    const CueSheet sheet = Read(uR"(REM GENRE "Progressive Rock"
REM DATE 1973
REM DISCNUMBER 2
REM TOTALDISCS 3
REM COMMENT "ExactAudioCopy v1.6"
PERFORMER "The Band"
SONGWRITER "Someone"
TITLE "The Album"
FILE "The Album.wav" WAVE
  TRACK 01 AUDIO
    TITLE "Opening"
    PERFORMER "Guest"
    SONGWRITER "Writer"
    ISRC GBAYE7300001
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Second"
    REM COMMENT "not the album's"
    INDEX 00 03:58:70
    INDEX 01 04:00:00
    INDEX 02 04:30:00
)"_s);
    EXPECT_EQ(sheet.genre, u"Progressive Rock"_s);
    EXPECT_EQ(sheet.date, u"1973"_s);
    EXPECT_EQ(sheet.discNumber, 2);
    EXPECT_EQ(sheet.discCount, 3);
    EXPECT_EQ(sheet.comment, u"ExactAudioCopy v1.6"_s);
    EXPECT_EQ(sheet.performer, u"The Band"_s);
    EXPECT_EQ(sheet.songwriter, u"Someone"_s);
    EXPECT_EQ(sheet.title, u"The Album"_s);
    ASSERT_EQ(sheet.tracks.size(), 2);
    const CueSheetTrack& first = sheet.tracks.at(0);
    EXPECT_EQ(first.title, u"Opening"_s);
    EXPECT_EQ(first.performer, u"Guest"_s);
    EXPECT_EQ(first.songwriter, u"Writer"_s);
    EXPECT_EQ(first.isrc, u"GBAYE7300001"_s);
    const CueSheetTrack& second = sheet.tracks.at(1);
    EXPECT_EQ(second.start, (CuePosition{u"The Album.wav"_s, 4 * 60 * 75}));
    EXPECT_EQ(second.gapStart, (CuePosition{u"The Album.wav"_s, (3 * 60 + 58) * 75 + 70}));
    EXPECT_EQ(sheet.Files(), QList<QString>{u"The Album.wav"_s});
}

TEST(CueSheetTest, DamagedSheetsGiveTheirReason)
{
    const struct
    {
        QString text;
        QString reason;
    } cases[] = {
        {u""_s, u"the sheet lists no track"_s},
        {u"FILE \"a.wav\" WAVE\n"_s, u"the sheet lists no track"_s},
        {u"TRACK 01 AUDIO\nINDEX 01 00:00:00\n"_s, u"line 1: track 1 comes before any FILE"_s},
        {u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"x\"\n"_s, u"track 1 has no INDEX 01"_s},
        {u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:61:00\n"_s,
         u"line 3: INDEX needs a number and a time MM:SS:FF"_s},
        {u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 05:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 01:00:00\n"_s,
         u"track 2 starts before track 1"_s},
        {u"\x01\x02garbage\nFILE \"a.wav\" WAVE\n"_s, u"line 1: unknown command \x01\x02garbage"_s},
        {u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK AUDIO\n"_s,
         u"line 4: TRACK needs a number from 1 to 99"_s},
        {u"FILE \"a.ape\" WAVE\nTRACK 1 [UDIO\nINDEX 1 0:0:0\n"_s,
         u"line 2: track 1 has no type libcue knows (AUDIO, MODE1/2352 ...)"_s},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(ReadCueSheet(c.text.toUtf8(), &error)) << qPrintable(c.text);
        EXPECT_EQ(error, c.reason) << qPrintable(c.text);
    }
}

TEST(CueSheetTest, TracksAreCutAtTheirSamples)
{
    // 44.1 kHz: a frame is 588 samples. Track 2's gap runs from 3:00:00 to 3:02:00, and its
    // PREGAP is silence that no file holds.
    const CueSheet single = Read(uR"(FILE "a.flac" WAVE
  TRACK 01 AUDIO
    INDEX 01 00:01:00
  TRACK 02 AUDIO
    PREGAP 00:01:00
    INDEX 00 03:00:00
    INDEX 01 03:02:00
  TRACK 03 AUDIO
    INDEX 01 05:00:00
)"_s);
    const qint64 gap = 180 * 75 * 588, two = 182 * 75 * 588, three = 300 * 75 * 588;
    const QString a = u"a.flac"_s;
    EXPECT_EQ(CutCueTracks(single, 44100, CueGapMode::ToPreviousTrack),
              (QList<CueTrackCut>{
                  {1, 0, {{a, 0, two}}}, {2, 1, {{a, two, three}}}, {3, 2, {{a, three, -1}}}}));
    EXPECT_EQ(CutCueTracks(single, 44100, CueGapMode::ToOwnTrack),
              (QList<CueTrackCut>{
                  {1, 0, {{a, 0, gap}}}, {2, 1, {{a, gap, three}}}, {3, 2, {{a, three, -1}}}}));
    EXPECT_EQ(CutCueTracks(single, 44100, CueGapMode::LeftOut),
              (QList<CueTrackCut>{
                  {1, 0, {{a, 0, gap}}}, {2, 1, {{a, two, three}}}, {3, 2, {{a, three, -1}}}}));

    // A hidden first track longer than a few seconds is track 0; one file per track, the gap
    // kept at the end of the file before.
    const CueSheet multi = Read(uR"(FILE "01.wav" WAVE
  TRACK 01 AUDIO
    INDEX 00 00:00:00
    INDEX 01 01:00:00
  TRACK 02 AUDIO
    INDEX 00 04:10:20
FILE "02.wav" WAVE
    INDEX 01 00:00:00
  TRACK 03 AUDIO
    INDEX 01 03:00:00
)"_s);
    const QString f1 = u"01.wav"_s, f2 = u"02.wav"_s;
    const qint64 hidden = 60 * 75 * 640, gap2 = (250 * 75 + 20) * 640, t3 = 180 * 75 * 640;
    EXPECT_EQ(CutCueTracks(multi, 48000, CueGapMode::ToPreviousTrack),
              (QList<CueTrackCut>{{0, -1, {{f1, 0, hidden}}},
                                  {1, 0, {{f1, hidden, -1}}},
                                  {2, 1, {{f2, 0, t3}}},
                                  {3, 2, {{f2, t3, -1}}}}));
    // No track is cut across files: that gap stays in the track before even when gaps go to
    // their own tracks, and audio that opens a file before its track's INDEX leads it in.
    EXPECT_EQ(CutCueTracks(multi, 48000, CueGapMode::ToOwnTrack).mid(1, 2),
              (QList<CueTrackCut>{{1, 0, {{f1, hidden, -1}}}, {2, 1, {{f2, 0, t3}}}}));
    const CueSheet leadInOfFile =
        Read(u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"b.wav\" WAVE\n"
             "TRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n"_s);
    EXPECT_EQ(CutCueTracks(leadInOfFile, 48000, CueGapMode::ToPreviousTrack),
              (QList<CueTrackCut>{{1, 0, {{u"a.wav"_s, 0, -1}}}, {2, 1, {{u"b.wav"_s, 0, -1}}}}));
    EXPECT_EQ(CutCueTracks(leadInOfFile, 48000, CueGapMode::LeftOut).at(1),
              (CueTrackCut{2, 1, {{u"b.wav"_s, 2 * 48000, -1}}}));
    EXPECT_EQ(CutCueTracks(multi, 48000, CueGapMode::LeftOut).at(1),
              (CueTrackCut{1, 0, {{f1, hidden, gap2}}}));
    EXPECT_EQ(multi.Files(), (QList<QString>{f1, f2}));

    // Two seconds of lead-in join track 1; a data track holds no sound.
    const CueSheet leadIn = Read(u"FILE \"b.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:02:00\n"
                                 "TRACK 02 MODE1/2352\nINDEX 01 01:00:00\n"_s);
    EXPECT_EQ(CutCueTracks(leadIn, 44100, CueGapMode::ToPreviousTrack),
              (QList<CueTrackCut>{{1, 0, {{u"b.wav"_s, 0, 60 * 75 * 588}}}}));
}

TEST(CueSheetTest, FramesBecomeSamplesAtEveryRate)
{
    EXPECT_EQ(CueFramesToSamples(1, 44100), 588);
    EXPECT_EQ(CueFramesToSamples(75, 96000), 96000);
    EXPECT_EQ(CueFramesToSamples(1, 88200), 1176);
    // 32 kHz is no multiple of 75: 426.67 samples a frame round to the nearest.
    EXPECT_EQ(CueFramesToSamples(1, 32000), 427);
    EXPECT_EQ(CueFramesToSamples(2, 32000), 853);
    EXPECT_EQ(CueFramesToSamples(3, 32000), 1280);
    EXPECT_EQ(CueFramesToSamples(1, 22050), 294);
}

TEST(CueSheetTest, CutsPastTheAudioAreRefused)
{
    const CueSheet sheet =
        Read(u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
             "INDEX 01 10:00:00\n"_s);
    const QList<CueTrackCut> cuts = CutCueTracks(sheet, 44100, CueGapMode::ToPreviousTrack);
    QString error;
    EXPECT_TRUE(CheckCueCuts(cuts, {{u"a.wav"_s, 601 * 44100}}, &error));
    EXPECT_FALSE(CheckCueCuts(cuts, {{u"a.wav"_s, 599 * 44100}}, &error));
    EXPECT_EQ(error, u"track 2 starts past the end of the audio in a.wav"_s);
    EXPECT_FALSE(CheckCueCuts(cuts, {}, &error));
    EXPECT_EQ(error, u"a.wav, named by track 1, holds no audio"_s);
}

TEST(CueSheetTest, AnImageCarriesItsSheetAsABlockOrATag)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(u"image.wav"_s), flac = dir.filePath(u"Album.flac"_s);
    const QString cue = dir.filePath(u"Album.cue"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 12));
    QFile sheet(cue);
    ASSERT_TRUE(sheet.open(QIODevice::WriteOnly));
    sheet.write("TITLE \"Träume\"\nFILE \"image.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Eins\"\n"
                "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Zwei\"\n"
                "    ISRC DEA123456789\n    INDEX 00 00:05:00\n    INDEX 01 00:06:30\n");
    sheet.close();
    ASSERT_TRUE(
        fixtures::Run(u"flac"_s, {u"-s"_s, u"-f"_s, u"--cuesheet"_s, cue, wav, u"-o"_s, flac}));

    // The block: positions in samples and ISRCs, every track in the image itself.
    QString error;
    std::optional<CueSheet> block = ReadEmbeddedCueSheet(flac, &error);
    ASSERT_TRUE(block) << qPrintable(error);
    ASSERT_EQ(block->tracks.size(), 2);
    EXPECT_EQ(block->tracks.at(1).gapStart, (CuePosition{u"Album.flac"_s, 0, 5 * 44100}));
    EXPECT_EQ(block->tracks.at(1).start, (CuePosition{u"Album.flac"_s, 0, (6 * 75 + 30) * 588}));
    EXPECT_EQ(block->tracks.at(1).isrc, u"DEA123456789"_s);
    EXPECT_EQ(CutCueTracks(*block, 44100, CueGapMode::ToPreviousTrack).at(0).pieces,
              (QList<CuePiece>{{u"Album.flac"_s, 0, (6 * 75 + 30) * 588}}));

    // The tag, where a ripper put the whole sheet: its titles too.
    ASSERT_TRUE(fixtures::Run(u"metaflac"_s, {u"--set-tag-from-file=CUESHEET="_s + cue, flac}));
    std::optional<CueSheet> tagged = ReadEmbeddedCueSheet(flac, &error);
    ASSERT_TRUE(tagged) << qPrintable(error);
    EXPECT_EQ(tagged->title, u"Träume"_s);
    EXPECT_EQ(tagged->tracks.at(1).title, u"Zwei"_s);
    EXPECT_EQ(tagged->tracks.at(1).start, (CuePosition{u"Album.flac"_s, 6 * 75 + 30}));

    EXPECT_FALSE(ReadEmbeddedCueSheet(wav, &error));
}

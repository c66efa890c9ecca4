#include "faults/fault_fixtures.h"
#include "foundation/os.h"
#include "tags/cue_track_tags.h"
#include "tags/tag_copy.h"

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

using namespace Qt::StringLiterals;
using namespace faults;

namespace {

// The common fields a library carries, with text that needs more than ASCII.
const QList<std::pair<const char*, QString>> kFields = {
    {"TITLE", u"Überall – the title"_s},
    {"ARTIST", u"Ærø Ensemble"_s},
    {"ALBUM", u"Songs of 東京"_s},
    {"ALBUMARTIST", u"Various"_s},
    {"TRACKNUMBER", u"3"_s},
    {"DISCNUMBER", u"2"_s},
    {"DATE", u"2021-05-04"_s},
    {"GENRE", u"Jazz"_s},
    {"COMMENT", u"kept across"_s},
    {"COMPOSER", u"J. S. Bach"_s},
    {"MUSICBRAINZ_TRACKID", u"8f3471b5-7e6a-48da-86a9-c1c07a0f47ae"_s},
    {"REPLAYGAIN_TRACK_GAIN", u"-6.50 dB"_s},
};

TagLib::String Text(const QString& text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

QByteArray Bytes(const TagLib::ByteVector& data)
{
    return QByteArray(data.data(), qsizetype(data.size()));
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Through our own spawn, not QProcess: its fork confuses ThreadSanitizer about the core's lock.
bool MakeImage(const QString& path, const QString& size)
{
    const qint64 pid = os::SpawnProcess(Program(u"ffmpeg"_s),
                                        {u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                         u"testsrc=size="_s + size, u"-frames:v"_s, u"1"_s, path},
                                        false);
    if (pid <= 0 || !os::WaitForExitWithoutReaping(pid))
        return false;
    const os::ExitStatus status = os::ReapProcess(pid);
    return status.kind == os::ExitStatus::Kind::Exited && status.code == 0;
}

// The pictures of a file in the order it keeps them, read through each format's own API.
QList<QByteArray> PicturesOf(const QString& path)
{
    QList<QByteArray> pictures;
    const QByteArray name = QFile::encodeName(path);
    TagLib::FileRef ref(name.constData(), false);
    TagLib::File* file = ref.file();
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        for (auto* picture : flac->pictureList())
            pictures << Bytes(picture->data());
    } else if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        for (auto* frame : mpeg->ID3v2Tag(true)->frameList("APIC"))
            pictures << Bytes(static_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame)->picture());
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        for (const auto& art : mp4->tag()->item("covr").toCoverArtList())
            pictures << Bytes(art.data());
    } else if (auto* wavPack = dynamic_cast<TagLib::WavPack::File*>(file)) {
        for (const char* key : {"COVER ART (FRONT)", "COVER ART (BACK)"}) {
            const auto& items = wavPack->APETag(true)->itemListMap();
            if (items.contains(key)) {
                const TagLib::ByteVector value = items[key].binaryData();
                pictures << Bytes(value.mid(uint(value.find('\0')) + 1));
            }
        }
    } else if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(ref.tag())) {
        for (auto* picture : comment->pictureList())
            pictures << Bytes(picture->data());
    }
    return pictures;
}

// One conversion: the source (a file of this test, or the result of an earlier row), the
// coder and the folder its result goes to.
struct TagCase
{
    QString source;
    QString program;
    QString commandLine;
    QString extension;
};

// FLAC with every field and a cover to each target format, and MP3 and M4A results onward:
// each field and picture reads back from every result, the pictures byte for byte.
TEST(TagCopyTest, FieldsAndPicturesSurviveEveryConversion)
{
    CScratchFolder root;
    ASSERT_TRUE(root.isValid());
    const QString cover = root.filePath(u"cover.jpg"_s);
    const QString back = root.filePath(u"back.png"_s);
    ASSERT_TRUE(MakeImage(cover, u"600x600"_s));
    ASSERT_TRUE(MakeImage(back, u"64x48"_s));
    const QString wav = root.filePath(u"song.wav"_s);
    const QString source = root.filePath(u"song.flac"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 0.5));
    ASSERT_TRUE(fixtures::MakeFlac(wav, source));
    {
        TagLib::FLAC::File flac(QFile::encodeName(source).constData());
        TagLib::PropertyMap fields;
        for (const auto& [key, value] : kFields)
            fields.replace(key, TagLib::StringList(Text(value)));
        fields.replace("WAVEFORMATEXTENSIBLE_CHANNEL_MASK", TagLib::StringList("0x0003"));
        flac.setProperties(fields);
        for (const auto& [path, type, mime] :
             {std::tuple{cover, TagLib::FLAC::Picture::FrontCover, "image/jpeg"},
              std::tuple{back, TagLib::FLAC::Picture::BackCover, "image/png"}}) {
            auto* picture = new TagLib::FLAC::Picture;
            picture->setType(type);
            picture->setMimeType(mime);
            picture->setDescription(Text(QFileInfo(path).fileName()));
            const QByteArray data = ReadAll(path);
            picture->setData(TagLib::ByteVector(data.constData(), uint(data.size())));
            flac.addPicture(picture);
        }
        ASSERT_TRUE(flac.save());
    }
    const QList<QByteArray> pictures = {ReadAll(cover), ReadAll(back)};
    ASSERT_GT(pictures[0].size(), 1000);

    PlannedDecoders decoders;
    decoders.push_back(
        MakeCodec<CDecoder>(Program(u"flac"_s), u"-d -s -f -o %out% %in%"_s, u"flac"_s));
    decoders.push_back(
        MakeCodec<CDecoder>(Program(u"lame"_s), u"--decode --quiet %in% %out%"_s, u"mp3"_s));
    decoders.push_back(
        MakeCodec<CDecoder>(Program(u"ffmpeg"_s), u"-v error -y -i %in% %out%"_s, u"m4a"_s));
    const QString out = root.filePath(u"out/"_s);
    const QList<TagCase> cases = {
        {source, u"lame"_s, u"-V 5 --quiet %in% %out%"_s, u"mp3"_s},
        {source, u"oggenc"_s, u"-Q -q 3 -o %out% %in%"_s, u"ogg"_s},
        {source, u"opusenc"_s, u"--quiet --bitrate 64 %in% %out%"_s, u"opus"_s},
        {source, u"flac"_s, u"-s -f -o %out% %in%"_s, u"flac"_s},
        {source, u"wavpack"_s, u"-q -y %in% -o %out%"_s, u"wv"_s},
        {source, u"ffmpeg"_s, u"-v error -i %in% -c:a aac -b:a 128k %out%"_s, u"m4a"_s},
        {out + u"mp3/song.mp3"_s, u"flac"_s, u"-s -f -o %out% %in%"_s, u"flac"_s},
        {out + u"m4a/song.m4a"_s, u"lame"_s, u"-V 5 --quiet %in% %out%"_s, u"mp3"_s},
    };
    for (const TagCase& row : cases) {
        const QString from = QFileInfo(row.source).suffix();
        const QString label = from + u" to "_s + row.extension;
        SCOPED_TRACE(label.toStdString());
        const QString folder =
            out + (from == u"flac"_s ? row.extension : from + u'-' + row.extension);
        QDir().mkpath(folder);
        auto coder = MakeCodec<CCoder>(Program(row.program), row.commandLine, row.extension);
        CFileInfo file;
        ASSERT_TRUE(file.Load(row.source));
        ASSERT_TRUE(Plan(file, decoders, *coder, folder + u'/'));
        CCore core;
        Queue(core, file);
        ASSERT_TRUE(RunToIdle(core));
        ASSERT_TRUE(core.GetFailedRuns().isEmpty());
        for (const RunResult& run : core.GetRunResults())
            EXPECT_TRUE(run.tagError.isEmpty()) << run.tagError.toStdString();

        const QString result = file.coder->GetOutputFile();
        const QByteArray name = QFile::encodeName(result);
        TagLib::FileRef ref(name.constData(), false);
        ASSERT_FALSE(ref.isNull());
        TagLib::PropertyMap fields = ref.file()->properties();
        // MP4 keeps ReplayGain in a free-form item the property map does not show.
        if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(ref.file()))
            fields.replace(
                "REPLAYGAIN_TRACK_GAIN",
                mp4->tag()->item("----:com.apple.iTunes:replaygain_track_gain").toStringList());
        for (const auto& [key, value] : kFields) {
            const QString read = fields.contains(key)
                                     ? QString::fromStdString(fields[key].toString().to8Bit(true))
                                     : u"(missing)"_s;
            EXPECT_EQ(read, value) << key;
        }
        EXPECT_EQ(PicturesOf(result), pictures);
        EXPECT_FALSE(fields.contains("WAVEFORMATEXTENSIBLE_CHANNEL_MASK")); // the source's own
    }
}

// A source without tags leaves the result as its encoder wrote it; a result whose format
// holds no tags is reported, and its audio stays.
TEST(TagCopyTest, NothingToCopyChangesNothingAndAnUntaggableResultIsReported)
{
    CScratchFolder root;
    ASSERT_TRUE(root.isValid());
    const QString wav = root.filePath(u"plain.wav"_s);
    const QString flac = root.filePath(u"plain.flac"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 22050, 1, 16, 0.2));
    ASSERT_TRUE(fixtures::MakeFlac(wav, flac));
    const QByteArray before = ReadAll(flac);
    QString error;
    EXPECT_TRUE(CopyTags(wav, flac, &error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(ReadAll(flac), before);

    {
        TagLib::FLAC::File tagged(QFile::encodeName(flac).constData());
        TagLib::PropertyMap title;
        title.replace("TITLE", TagLib::StringList("a title"));
        tagged.setProperties(title);
        ASSERT_TRUE(tagged.save());
    }
    const QString raw = root.filePath(u"result.raw"_s);
    QFile(raw).open(QIODevice::WriteOnly);
    EXPECT_FALSE(CopyTags(flac, raw, &error));
    EXPECT_TRUE(error.contains(raw)) << error.toStdString();
}

} // namespace

// A track cut from an album image takes the sheet's title, number and album over the image's
// own, keeps the image's other fields, and never its sheet.
TEST(TagCopyTest, ATrackOfAnImageTakesItsFieldsFromTheSheet)
{
    CScratchFolder root;
    ASSERT_TRUE(root.isValid());
    const QString wav = root.filePath(u"image.wav"_s), image = root.filePath(u"image.flac"_s);
    const QString track = root.filePath(u"track.mp3"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 0.5));
    ASSERT_TRUE(fixtures::MakeFlac(wav, image));
    ASSERT_TRUE(fixtures::Run(u"lame"_s, {u"--quiet"_s, wav, track}));
    const QByteArray sheetText =
        "PERFORMER \"Sheet Band\"\nTITLE \"Sheet Album\"\nREM DATE 1994\n"
        "FILE \"image.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    TITLE \"Zweiter Titel\"\n"
        "    PERFORMER \"Gast\"\n    INDEX 01 00:00:20\n";
    {
        TagLib::FLAC::File flac(QFile::encodeName(image).constData());
        TagLib::PropertyMap fields;
        for (const auto& [key, value] : kFields)
            fields.replace(key, TagLib::StringList(Text(value)));
        fields.replace("CUESHEET", TagLib::StringList(sheetText.constData()));
        flac.setProperties(fields);
        ASSERT_TRUE(flac.save());
    }
    QString error;
    const std::optional<CueSheet> sheet = ReadCueSheet(sheetText, &error);
    ASSERT_TRUE(sheet) << qPrintable(error);
    const TagFields fields = CueTrackFields(*sheet, 1, 2, 2);
    ASSERT_TRUE(CopyTags(image, track, &error, nullptr, &fields)) << qPrintable(error);

    TagLib::FileRef ref(QFile::encodeName(track).constData(), false);
    const TagLib::PropertyMap read = ref.file()->properties();
    const auto value = [&](const char* key) {
        return read.contains(key) ? QString::fromStdString(read[key].toString().to8Bit(true))
                                  : u"(missing)"_s;
    };
    EXPECT_EQ(value("TITLE"), u"Zweiter Titel"_s);
    EXPECT_EQ(value("ARTIST"), u"Gast"_s);
    EXPECT_EQ(value("ALBUM"), u"Sheet Album"_s);
    EXPECT_EQ(value("ALBUMARTIST"), u"Sheet Band"_s);
    EXPECT_EQ(value("TRACKNUMBER"), u"2/2"_s);
    EXPECT_EQ(value("DATE"), u"1994"_s);
    EXPECT_EQ(value("GENRE"), u"Jazz"_s);
    EXPECT_EQ(value("CUESHEET"), u"(missing)"_s);
    const SourceTags names = CueTrackSourceTags(*sheet, 1, 2, ReadSourceTags(image));
    EXPECT_EQ(names.title, u"Zweiter Titel"_s);
    EXPECT_EQ(names.artist, u"Gast"_s);
    EXPECT_EQ(names.albumArtist, u"Sheet Band"_s);
    EXPECT_EQ(names.track, 2);
    EXPECT_EQ(names.year, 1994);
    EXPECT_EQ(names.genre, u"Jazz"_s);
}

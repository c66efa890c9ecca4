#include "planning/album_image.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

void Put(const QString& path, const QByteArray& bytes = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Sheet(const QByteArray& file)
{
    return "FILE \"" + file +
           "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    INDEX 01 01:00:00\n";
}

} // namespace

TEST(AlbumImageTest, AnImageFindsTheSheetThatSplitsIt)
{
    const struct
    {
        const char* sheetName;
        QByteArray named; // what its FILE line says
        const char* image;
        bool found;
        const char* reason;
    } cases[] = {
        {"Album.cue", "Album.flac", "Album.flac", true, ""},
        // Ripped to WAV, the image was compressed afterwards and the sheet kept its line.
        {"Album.cue", "Album.wav", "Album.flac", true, ""},
        {"album.CUE", "ALBUM.FLAC", "Album.flac", true, ""},
        {"Album.flac.cue", "Album.flac", "Album.flac", true, ""},
        {"Any name.cue", "Album.ape", "Album.ape", true, ""},
        {"Any name.cue", "CD2.flac", "Album.flac", false, ""},
        {"Album.cue", "Elsewhere.wav", "Album.flac", false,
         "names the file Elsewhere.wav, which is not there"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString image = dir.filePath(QString::fromUtf8(c.image));
        Put(image);
        Put(dir.filePath(u"CD2.flac"_s).replace(u"CD2"_s, u"Other"_s));
        Put(dir.filePath(QString::fromUtf8(c.sheetName)), Sheet(c.named));
        QString error;
        const std::optional<AlbumImage> album = FindAlbumImageOfAudio(image, &error);
        EXPECT_EQ(album.has_value(), c.found) << c.sheetName << " " << c.named.constData();
        if (*c.reason)
            EXPECT_TRUE(error.endsWith(QString::fromUtf8(c.reason))) << qPrintable(error);
        else
            EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
        if (album) {
            EXPECT_EQ(album->Image(), image);
            EXPECT_EQ(album->sheet.tracks.size(), 2);
        }
    }
}

TEST(AlbumImageTest, ASheetOfSeveralFilesFindsEachOfThem)
{
    QTemporaryDir dir;
    for (const char* name : {"01.flac", "02.flac"})
        Put(dir.filePath(QString::fromUtf8(name)));
    const QString cue = dir.filePath(u"Album.cue"_s);
    Put(cue, "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
             "    INDEX 00 04:00:00\nFILE \"02.wav\" WAVE\n    INDEX 01 00:00:00\n");
    QString error;
    const std::optional<AlbumImage> album = ReadAlbumImageSheet(cue, &error);
    ASSERT_TRUE(album) << qPrintable(error);
    EXPECT_EQ(album->files.value(u"01.wav"_s), dir.filePath(u"01.flac"_s));
    EXPECT_EQ(album->files.value(u"02.wav"_s), dir.filePath(u"02.flac"_s));
    EXPECT_EQ(FindAlbumImageOfAudio(dir.filePath(u"02.flac"_s), &error)->sheetPath, cue);

    Put(cue, "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n");
    EXPECT_FALSE(ReadAlbumImageSheet(cue, &error));
    EXPECT_EQ(error, cue + u": track 1 has no INDEX 01"_s);
}

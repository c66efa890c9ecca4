#include "planning/companion_files.h"
#include "tags/picture_shrinker.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(CompanionFilesTest, TheCoverIsPickedByItsNameThenAsTheFirstPicture)
{
    const struct
    {
        QStringList names; // in listing order
        const char16_t* cover;
    } cases[] = {
        {{u"01.flac"_s, u"back.jpg"_s, u"Folder.JPG"_s}, u"Folder.JPG"},
        // "folder" before "cover" before "front", whatever the listing order.
        {{u"cover.png"_s, u"folder.jpeg"_s, u"front.jpg"_s}, u"folder.jpeg"},
        {{u"Front.png"_s, u"COVER.jpg"_s}, u"COVER.jpg"},
        // A named one that is no JPEG or PNG does not count as named.
        {{u"folder.gif"_s, u"scan.png"_s}, u"folder.gif"},
        {{u"folder.txt"_s, u"booklet.pdf"_s, u"inlay.webp"_s}, u"inlay.webp"},
        // "folder.jpg.bak" and "my cover.jpg" are not the named covers.
        {{u"folder.jpg.bak"_s, u"my cover.jpg"_s}, u"my cover.jpg"},
        {{u"rip.log"_s, u"album.cue"_s}, u""},
        {{}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names.join(u' ').toStdString());
        EXPECT_EQ(PickCover(c.names), QString::fromUtf16(c.cover));
    }
}

TEST(CompanionFilesTest, PatternsMatchWholeNamesInAnyCase)
{
    const struct
    {
        const char16_t* name;
        const char16_t* patterns;
        bool matches;
    } cases[] = {
        {u"rip.LOG", u"*.log;*.pdf", true},
        {u"booklet.pdf", u" *.log ; *.pdf ", true},
        {u"rip.log.txt", u"*.log", false},
        {u"album.cue", u"", false},
        {u"album.cue", u";;", false},
        {u"a [1].txt", u"a [1].txt", false}, // brackets are a wildcard's set
        {u"a1.txt", u"a [1].txt;a?.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.name).toStdString());
        EXPECT_EQ(MatchesCopyPatterns(QString::fromUtf16(c.name), QString::fromUtf16(c.patterns)),
                  c.matches);
    }
}

TEST(CompanionFilesTest, OnlyBaselineJpegFramesCountAsBaseline)
{
    const auto jpeg = [](unsigned char frame) {
        // SOI, an APP0 segment of 4 bytes, then the frame header's marker.
        return QByteArray("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF", 9) + char(frame) +
               QByteArray("\x00\x08", 2);
    };
    EXPECT_TRUE(IsBaselineJpeg(jpeg(0xC0)));
    EXPECT_TRUE(IsBaselineJpeg(jpeg(0xC1)));
    EXPECT_FALSE(IsBaselineJpeg(jpeg(0xC2))); // progressive
    EXPECT_FALSE(IsBaselineJpeg(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    EXPECT_FALSE(IsBaselineJpeg(QByteArray("\xFF\xD8\xFF\xE0\x7F\xFF", 6))); // cut short
}

} // namespace

#include "planning/name_pattern.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

NameFields Tagged()
{
    NameFields fields;
    fields.tags = {u"Artist"_s,   u"Band"_s, u"Album"_s, u"Song"_s, u"Rock"_s,
                   u"Composer"_s, 1999,      7,          2};
    fields.fileName = u"01 source"_s;
    fields.folderName = u"Rips"_s;
    return fields;
}

TEST(NamePatternTest, FieldsOptionalPartsAndPadding)
{
    NameFields untagged;
    untagged.fileName = u"take 3"_s;
    untagged.folderName = u"Rips"_s;
    NameFields soloArtist = Tagged();
    soloArtist.tags.albumArtist.clear();
    soloArtist.tags.disc = 0;
    struct Case
    {
        const char16_t* pattern;
        const NameFields& fields;
        const char16_t* expected;
    };
    const NameFields tagged = Tagged();
    const Case cases[] = {
        {u"<artist>|<albumartist>|<album>|<title>|<genre>|<composer>|<year>", tagged,
         u"Artist|Band|Album|Song|Rock|Composer|1999.mp3"},
        {u"<track> <disc> <track:3> <disc:1>", tagged, u"07 02 007 2.mp3"},
        {u"<filename> in <folder>", tagged, u"01 source in Rips.mp3"},
        {u"<albumartist>/<album>/[<disc>-]<track> - <title>", tagged,
         u"Band/Album/02-07 - Song.mp3"},
        // albumartist falls back to the artist, the disc's optional part drops out.
        {u"<albumartist>/[<disc>-]<track> - <title>", soloArtist, u"Artist/07 - Song.mp3"},
        // Without tags: the title is the file name, empty folders and leading separators go.
        {u"<album>/[<track> - ]<title>", untagged, u"take 3.mp3"},
        {u"<artist> - <title>", untagged, u"take 3.mp3"},
        {u"[<year> [(<album>)]]<title>", tagged, u"1999 (Album)Song.mp3"},
        {u"[<year> [(<genre>)]]<title>", soloArtist, u"1999 (Rock)Song.mp3"},
        // A pattern that leaves no file name keeps the source's; "..", "/" at the start stay
        // inside.
        {u"<album>/", tagged, u"Album/01 source.mp3"},
        {u"/../<TITLE>", tagged, u"Song.mp3"},
    };
    for (const Case& c : cases) {
        const CNamePattern pattern(QString::fromUtf16(c.pattern));
        SCOPED_TRACE(QString::fromUtf16(c.pattern).toStdString());
        ASSERT_TRUE(pattern.IsValid()) << pattern.Error().toStdString();
        EXPECT_EQ(pattern.ResultPath(c.fields, u"mp3"_s, false), QString::fromUtf16(c.expected));
    }
}

TEST(NamePatternTest, ValuesNeverMakeUnsafeNames)
{
    NameFields fields = Tagged();
    const CNamePattern pattern(u"<artist>/<title>"_s);
    struct Case
    {
        QString artist;
        QString title;
        bool fatSafe;
        QString expected;
    };
    const QString japanese = QString(100, QChar(0x66F2)); // 300 bytes of UTF-8
    const Case cases[] = {
        {u"AC/DC"_s, u"AC/DC: Live?"_s, false, u"AC_DC/AC_DC: Live?.flac"_s},
        {u"AC/DC"_s, u"AC/DC: Live?"_s, true, u"AC_DC/AC_DC_ Live_.flac"_s},
        {u"Con"_s, u"aux.live"_s, true, u"Con_/aux_.live.flac"_s},
        {u"Con"_s, u"Lpt1"_s, false, u"Con/Lpt1.flac"_s},
        {u"Console"_s, u"nul "_s, true, u"Console/nul_.flac"_s},
        {u"..hidden"_s, u"-rf ."_s, false, u"hidden/rf.flac"_s},
        {u"a\u0001b\nc"_s, u"x\u0000y \t. "_s, false, u"abc/x_y.flac"_s},
        {u"."_s, u".."_s, false, u"01 source.flac"_s},
        // 85 whole characters (255 bytes) fit a folder; the file name keeps its extension.
        {japanese, japanese, false, japanese.left(85) + u'/' + japanese.left(83) + u".flac"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        fields.tags.artist = c.artist;
        fields.tags.title = c.title;
        const QString path = pattern.ResultPath(fields, u".flac"_s, c.fatSafe);
        EXPECT_EQ(path, c.expected);
        for (const QString& component : path.split(u'/'))
            EXPECT_LE(component.toUtf8().size(), 255);
    }
    // A cut never splits a character that takes two UTF-16 units.
    const QString emoji = QString::fromUtf16(u"\U0001F3B5").repeated(70); // 280 bytes
    EXPECT_EQ(SafeNameComponent(emoji, false, u".ogg"_s), emoji.left(2 * 62));
}

TEST(NamePatternTest, ErrorsNameWhatIsWrong)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"<titel>", u"unknown field <titel> at character 1"},
        {u"x [<track>", u"\"[\" is not closed at character 3"},
        {u"a]", u"\"]\" without \"[\" at character 2"},
        {u"<title", u"\"<\" is not closed at character 1"},
        {u"<title:2>", u"only <track:N> and <disc:N> take a width, N from 1 to 9 at character 1"},
        {u"<track:0>", u"only <track:N> and <disc:N> take a width, N from 1 to 9 at character 1"},
    };
    for (const auto& [text, error] : cases) {
        const CNamePattern pattern(QString::fromUtf16(text));
        EXPECT_FALSE(pattern.IsValid());
        EXPECT_EQ(pattern.Error(), QString::fromUtf16(error));
        EXPECT_TRUE(pattern.ResultPath(Tagged(), u"mp3"_s, false).isEmpty());
    }
    EXPECT_TRUE(CNamePattern().IsEmpty());
    EXPECT_TRUE(CNamePattern(u""_s).IsValid());
}

} // namespace

#include "foundation/path_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct PathCase
{
    QString input;
    QString expected;
};

void ExpectEach(const QList<PathCase>& cases, QString (*operation)(const QString&))
{
    for (const PathCase& c : cases)
        EXPECT_EQ(operation(c.input), c.expected) << "input: " << c.input.toStdString();
}

TEST(PathHelpersTest, CleanPathTrimsUnquotesAndCanonicalises)
{
    ExpectEach(
        {
            {u"  \"/music/a.wav\"  "_s, u"/music/a.wav"_s},
            {u"\t\" /music/a.wav \"\n"_s, u"/music/a.wav"_s},
            {u"\""_s, u""_s},
            {u"\"/music/a.wav"_s, u"\"/music/a.wav"_s},
            {u"/a/./b/../c.wav"_s, u"/a/c.wav"_s},
            {u"/a..b/c.wav"_s, u"/a..b/c.wav"_s},
            {u"/a/.hidden/x"_s, u"/a/.hidden/x"_s},
            {u"/../../x"_s, u"/x"_s},
            {u"/a/.."_s, u"/"_s},
            {u"/a/b/."_s, u"/a/b"_s},
            {u"a/../../x"_s, u"../x"_s},
            {u"\\\\?\\C:\\x.wav"_s, u"\\\\?\\C:\\x.wav"_s},
            {u""_s, u""_s},
            {u"/m/a%HOME%b.flac"_s, u"/m/a%HOME%b.flac"_s}, // a file's name is never expanded
        },
        CleanedPath);
}

TEST(PathHelpersTest, SettingPathsExpandSetVariablesAndKeepUnsetOnes)
{
    qputenv("ORVEL_TEST_FOLDER", "/tmp/a b");
    qunsetenv("ORVEL_TEST_UNSET");
    const QString longValue(5000, u'v');
    qputenv("ORVEL_TEST_LONG", longValue.toUtf8());
    ExpectEach(
        {
            {u"%ORVEL_TEST_FOLDER%/x.wav"_s, u"/tmp/a b/x.wav"_s},
            {u"%ORVEL_TEST_UNSET%/x.wav"_s, u"%ORVEL_TEST_UNSET%/x.wav"_s},
            {u"100%/%ORVEL_TEST_FOLDER%"_s, u"100%/%ORVEL_TEST_FOLDER%"_s},
            {u"%%ORVEL_TEST_FOLDER%"_s, u"%%ORVEL_TEST_FOLDER%"_s},
            {u"/x%ORVEL_TEST_FOLDER%/../y"_s, u"/x/tmp/y"_s},
            {u"/%ORVEL_TEST_LONG%"_s, u"/"_s + longValue},
            {u"50%"_s, u"50%"_s},
            {u" \"%ORVEL_TEST_FOLDER%\" "_s, u"/tmp/a b"_s},
        },
        CleanedSettingPath);
}

TEST(PathHelpersTest, FileNameAndExtensionParts)
{
    ExpectEach({{u"/music/"_s, u""_s},
                {u"/music/a.wav"_s, u"a.wav"_s},
                {u"a.wav"_s, u"a.wav"_s},
                {u"C:file.wav"_s, u"C:file.wav"_s},
                {u"/"_s, u""_s}},
               FileNamePart);
    ExpectEach({{u"a.b.wav"_s, u"wav"_s},
                {u"/dir.x/file"_s, u""_s},
                {u"file.my ext"_s, u""_s},
                {u"file."_s, u""_s},
                {u"/music/.flac"_s, u"flac"_s},
                {u"noext"_s, u""_s}},
               ExtensionPart);
}

TEST(PathHelpersTest, ExtensionsAreAddedRemovedAndRenamed)
{
    struct Case
    {
        QString path;
        QString extension;
        QString added;
        QString renamed;
    };
    const QList<Case> cases = {
        {u"x.flac"_s, u"wav"_s, u"x.flac"_s, u"x.wav"_s},
        {u"x.flac"_s, u".wav"_s, u"x.flac"_s, u"x.wav"_s},
        {u"x"_s, u".wav"_s, u"x.wav"_s, u"x.wav"_s},
        {u"x"_s, u"wav"_s, u"x.wav"_s, u"x.wav"_s},
        {u"/a.b/x"_s, u"wav"_s, u"/a.b/x.wav"_s, u"/a.b/x.wav"_s},
        {u"file."_s, u"wav"_s, u"file."_s, u"file.wav"_s},
        {u"x.flac"_s, u""_s, u"x.flac"_s, u"x"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + " + " + c.extension.toStdString());
        QString added = c.path;
        AddExtension(added, c.extension);
        EXPECT_EQ(added, c.added);
        QString renamed = c.path;
        RenameExtension(renamed, c.extension);
        EXPECT_EQ(renamed, c.renamed);
    }
    QString removed = u"/a.b/c.d.flac"_s;
    RemoveExtension(removed);
    EXPECT_EQ(removed, u"/a.b/c.d"_s);
    RemoveExtension(removed);
    EXPECT_EQ(removed, u"/a.b/c"_s);
    RemoveExtension(removed);
    EXPECT_EQ(removed, u"/a.b/c"_s);
}

TEST(PathHelpersTest, SeparatorsAreAddedJoinedAndRemoved)
{
    QString path = u"/music"_s;
    AddBackslash(path);
    EXPECT_EQ(path, u"/music/"_s);
    AddBackslash(path);
    EXPECT_EQ(path, u"/music/"_s);
    QString empty;
    AddBackslash(empty);
    EXPECT_EQ(empty, u""_s);

    EXPECT_EQ(AppendPath(u"/music"_s, u"a.wav"_s), u"/music/a.wav"_s);
    EXPECT_EQ(AppendPath(u"/music/"_s, u"/a.wav"_s), u"/music/a.wav"_s);
    EXPECT_EQ(AppendPath(u"/music"_s, u""_s), u"/music/"_s);
    EXPECT_EQ(AppendPath(u"/"_s, u"a"_s), u"/a"_s);
    EXPECT_EQ(AppendPath(u""_s, u"a"_s), u"a"_s);

    ExpectEach({{u"/a/b"_s, u"/a"_s},
                {u"/a"_s, u"/"_s},
                {u"/"_s, u"/"_s},
                {u"/a/b/"_s, u"/a/b"_s},
                {u"file"_s, u""_s}},
               [](const QString& source) {
                   QString copy = source;
                   RemoveFileSpec(copy);
                   return copy;
               });
}

TEST(PathHelpersTest, PathExistsForFilesFoldersAndDanglingLinks)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(u"ä b.wav"_s);
    QFile(file).open(QIODevice::WriteOnly);
    const QString link = folder.filePath(u"dangling"_s);
    ASSERT_TRUE(QFile::link(folder.filePath(u"gone"_s), link));

    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(folder.path()));
    EXPECT_TRUE(PathExists(link));
    EXPECT_FALSE(PathExists(folder.filePath(u"gone"_s)));
    EXPECT_FALSE(PathExists(QString()));
}

TEST(PathHelpersTest, NarrowAndWideTextConvertAsUtf8)
{
    EXPECT_EQ(NarrowToWide(QByteArray()), QString());
    EXPECT_EQ(NarrowToWide(QByteArray("gr\xC3\xBC\xC3\x9F")), u"grüß"_s);
    // A leading U+FEFF is text here (a playlist line may start with one), found by fuzzing.
    EXPECT_EQ(NarrowToWide(WideToNarrow(u"\uFEFFa"_s)), u"\uFEFFa"_s);

    bool lost = false;
    EXPECT_EQ(WideToNarrow(u"\U0001F600"_s, &lost), QByteArray("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(lost);
    const QString unpaired = u"a"_s + QChar(0xDC00) + u"b"_s + QChar(0xD800);
    EXPECT_EQ(WideToNarrow(unpaired, &lost), QByteArray("a\xEF\xBF\xBD"
                                                        "b\xEF\xBF\xBD"));
    EXPECT_TRUE(lost);

    EXPECT_EQ(TrimWhiteSpace(u" \t\u3000a b\r\n"_s), u"a b"_s);
}

} // namespace

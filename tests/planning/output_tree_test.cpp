#include "planning/job_planning.h"
#include "planning/output_tree.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(OutputTreeTest, ResultsKeepTheirPlaceBelowTheCommonFolder)
{
    const struct
    {
        QStringList sources;
        const char16_t* common;
        QStringList outputFolders; // one per source, below /out/
    } cases[] = {
        {{u"/m/a/x.flac"_s, u"/m/a/y.flac"_s}, u"/m/a/", {u"/out/"_s, u"/out/"_s}},
        {{u"/m/lib/x.flac"_s, u"/m/lib/A/B/y.flac"_s, u"/m/lib/C/z.flac"_s},
         u"/m/lib/",
         {u"/out/"_s, u"/out/A/B/"_s, u"/out/C/"_s}},
        {{u"/m/one/x.flac"_s, u"/n/two/y.flac"_s}, u"/", {u"/out/m/one/"_s, u"/out/n/two/"_s}},
        // Names that share a beginning are different folders.
        {{u"/m/ab/x.flac"_s, u"/m/abc/y.flac"_s}, u"/m/", {u"/out/ab/"_s, u"/out/abc/"_s}},
        {{u"/m/./a/../b/x.flac"_s}, u"/m/b/", {u"/out/"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sources.join(u' ').toStdString());
        const QString common = DeepestCommonFolder(c.sources);
        EXPECT_EQ(common, QString::fromUtf16(c.common));
        for (qsizetype i = 0; i < c.sources.size(); ++i) {
            QString folder = c.sources[i];
            folder.truncate(folder.lastIndexOf(u'/'));
            EXPECT_EQ(MirroredOutputFolder(u"/out/"_s, common, folder), c.outputFolders[i]);
        }
    }
    EXPECT_TRUE(DeepestCommonFolder({}).isEmpty());
}

// A library folder keeps one tree for its files whatever else the list holds: an album added
// alone lands where it would with the whole library; the files outside it keep theirs below
// the folder they share.
TEST(OutputTreeTest, FilesInsideTheLibraryFolderKeepTheTreeBelowIt)
{
    const struct
    {
        const char16_t* library;
        QStringList sources;
        QStringList roots; // one per source
    } cases[] = {
        {u"/m/lib", {u"/m/lib/A/B/x.flac"_s}, {u"/m/lib/"_s}},
        {u"/m/lib/", {u"/m/lib/A/x.flac"_s, u"/m/lib/C/y.flac"_s}, {u"/m/lib/"_s, u"/m/lib/"_s}},
        {u"/m/lib",
         {u"/m/lib/A/x.flac"_s, u"/n/in/one/y.flac"_s, u"/n/in/two/z.flac"_s},
         {u"/m/lib/"_s, u"/n/in/"_s, u"/n/in/"_s}},
        // A folder whose name begins like the library's lies outside it.
        {u"/m/lib", {u"/m/library/x.flac"_s}, {u"/m/library/"_s}},
        {u"", {u"/m/lib/A/x.flac"_s, u"/m/lib/C/y.flac"_s}, {u"/m/lib/"_s, u"/m/lib/"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sources.join(u' ').toStdString());
        EXPECT_EQ(TreeRootsOf(c.sources, QString::fromUtf16(c.library)), c.roots);
    }
}

// With the folder structure kept, a pattern's folders take the place of the source's: a
// library laid out as Artist/Album gives out/Artist/Album/01 - Title, never the folders twice.
TEST(OutputTreeTest, APatternThatMakesFoldersTakesThePlaceOfTheKeptStructure)
{
    CFileInfo file;
    file.path = u"/m/lib/Artist/Album/01.flac"_s;
    file.folder = u"/m/lib/Artist/Album"_s;
    file.tags.artist = u"Artist"_s;
    file.tags.album = u"Album"_s;
    file.tags.title = u"Title"_s;
    file.tags.track = 1;
    const struct
    {
        const char16_t* pattern;
        const char16_t* common; // empty: the structure is not kept
        const char16_t* result;
    } cases[] = {
        {u"<artist>/<album>/<track> - <title>", u"/m/lib/", u"/out/Artist/Album/01 - Title.mp3"},
        {u"[<disc>/]<track> - <title>", u"/m/lib/", u"/out/01 - Title.mp3"},
        {u"<track> - <title>", u"/m/lib/", u"/out/Artist/Album/01 - Title.mp3"},
        {u"", u"/m/lib/", u"/out/Artist/Album/01.mp3"},
        {u"<artist>/<title>", u"", u"/out/Artist/Title.mp3"},
        {u"<track> - <title>", u"", u"/out/01 - Title.mp3"},
    };
    for (const auto& c : cases) {
        const CNamePattern pattern(QString::fromUtf16(c.pattern));
        SCOPED_TRACE(QString::fromUtf16(c.pattern).toStdString());
        ASSERT_TRUE(pattern.IsValid());
        const QString folder =
            ResultFolderOf(u"/out/"_s, QString::fromUtf16(c.common), file.folder, pattern);
        EXPECT_EQ(ResultPathOf(file, folder, u"mp3"_s, {pattern, false, {}, nullptr}),
                  QString::fromUtf16(c.result));
    }
    // Beside their sources nothing is mirrored, whatever the pattern.
    EXPECT_EQ(ResultFolderOf({}, u"/m/lib/"_s, file.folder, CNamePattern(u"<title>"_s)), QString());
}

} // namespace

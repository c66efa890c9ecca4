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

} // namespace

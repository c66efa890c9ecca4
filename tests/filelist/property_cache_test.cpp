#include "filelist/file_list.h"
#include "filelist/property_cache.h"
#include "support/wav_bytes.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

class PropertyCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = dir.filePath(u"cache/properties.sqlite"_s);
        song = dir.filePath(u"song.wav"_s);
        QFile file(song);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WavBytes(8000, 8, true));
    }

    // What the file list reads for the song now, through the cache (none: without one).
    QString ListedFormat(CPropertyCacheFile* cache)
    {
        CFileList list;
        list.SetPropertyCache(cache);
        EXPECT_EQ(list.AddPaths({song}), 1);
        return list.Count() == 1 ? list.At(0)->format : QString();
    }

    // Stores texts for the song as it is now, the way a reading does.
    void Remember(CPropertyCache& cache, const QString& format)
    {
        auto entries = cache.Find({song});
        entries[0].found = false;
        ProbeAnswer answer;
        answer.text.format = format;
        answer.text.samplingRate = u"96000"_s;
        answer.tags.title = u"A title"_s;
        answer.tags.track = 7;
        cache.Store({song}, entries, {answer});
    }

    QTemporaryDir dir;
    QString database;
    QString song;
};

// The chain the programs use: a reading stores what the library said, the next reading takes
// the record, and a file whose time changed (same size) is read again.
TEST_F(PropertyCacheTest, ReadingsUseTheCacheUntilTheFileChanges)
{
    CPropertyCacheFile file(database);
    EXPECT_EQ(ListedFormat(&file), u"PCM"_s);
    {
        CPropertyCache cache(file);
        ASSERT_TRUE(cache.Usable());
        const auto entries = cache.Find({song, dir.filePath(u"missing.wav"_s)});
        EXPECT_TRUE(entries[0].found);
        EXPECT_EQ(entries[0].answer.text.format, u"PCM"_s);
        EXPECT_FALSE(entries[1].found);

        // A second connection (as another process has) sees what the first writes.
        CPropertyCacheFile otherProgram(database);
        CPropertyCache other(otherProgram);
        Remember(other, u"Remembered"_s);
    }
    EXPECT_EQ(ListedFormat(&file), u"Remembered"_s);
    // A list without the cache reads the file itself.
    EXPECT_EQ(ListedFormat(nullptr), u"PCM"_s);
    CFileList single;
    single.SetPropertyCache(&file);
    ASSERT_TRUE(single.Add(song));
    EXPECT_EQ(single.At(0)->sampleRate, 96000);
    // The tags that result names are made of come back with the properties.
    EXPECT_EQ(single.At(0)->tags.title, u"A title"_s);
    EXPECT_EQ(single.At(0)->tags.track, 7);

    // One nanosecond later, same size: read again, and the new reading is kept.
    struct stat status = {};
    ASSERT_EQ(stat(QFile::encodeName(song).constData(), &status), 0);
    status.st_mtim.tv_nsec = (status.st_mtim.tv_nsec + 1) % 1000000000;
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(song).constData(), times, 0), 0);
    EXPECT_EQ(ListedFormat(&file), u"PCM"_s);
    CPropertyCache cache(file);
    EXPECT_EQ(cache.Find({song})[0].answer.text.format, u"PCM"_s);
}

// Records unused for long are pruned once per program: its later openings leave them, a
// second program prunes them.
TEST_F(PropertyCacheTest, OldRecordsArePrunedOncePerProgram)
{
    CPropertyCacheFile first(database);
    const auto age = [&] {
        CPropertyCache cache(first);
        Remember(cache, u"Remembered"_s);
        QSqlDatabase sql = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"aging"_s);
        sql.setDatabaseName(database);
        EXPECT_TRUE(sql.open());
        QSqlQuery(sql).exec(
            u"UPDATE properties SET used_day = used_day - %1"_s.arg(CPropertyCache::kKeepDays + 1));
        sql.close();
    };
    age();
    QSqlDatabase::removeDatabase(u"aging"_s);
    EXPECT_TRUE(CPropertyCache(first).Find({song})[0].found);
    CPropertyCacheFile second(database);
    EXPECT_FALSE(CPropertyCache(second).Find({song})[0].found);
}

TEST_F(PropertyCacheTest, ADamagedDatabaseIsMovedAsideAndMadeAnew)
{
    QDir().mkpath(QFileInfo(database).path());
    QFile damaged(database);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(8192, '\x5a'));
    damaged.close();

    CPropertyCacheFile file(database);
    CPropertyCache cache(file);
    ASSERT_TRUE(cache.Usable());
    EXPECT_EQ(QFileInfo(database + u".damaged"_s).size(), 8192);
    Remember(cache, u"Remembered"_s);
    EXPECT_EQ(cache.Find({song})[0].answer.text.format, u"Remembered"_s);

    // A folder where the database should be: no cache, and reading goes on without one.
    const QString blocked = dir.filePath(u"blocked"_s);
    ASSERT_TRUE(QDir().mkpath(blocked));
    CPropertyCacheFile blockedFile(blocked);
    EXPECT_FALSE(CPropertyCache(blockedFile).Usable());
    EXPECT_EQ(ListedFormat(&blockedFile), u"PCM"_s);
    EXPECT_TRUE(QFileInfo(blocked).isDir());
}

} // namespace

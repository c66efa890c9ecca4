#include "audio/media_info_library.h"
#include "planning/file_info.h"
#include "support/audio_fixtures.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

TEST(FileInfoTest, SourceTypeFollowsTheLowerCasedExtension)
{
    const std::pair<const char16_t*, int> cases[] = {
        {u"Song.FLAC", kSourceFlac},
        {u"archive.tar.wav", kSourceWav},
        {u"noextension", 0},
        {u"a.wv", kSourceWv},
        {u"a.wvc", 0},
        {u"a.Mp3", kSourceMp3},
        {u"a.ogg", kSourceOgg},
        {u"a.m4a", kSourceM4a},
        {u"dir.x/file", 0},
        {u"a.ape", kSourceApe},
        {u"a.ofr", kSourceOfr},
        {u"a.", 0},
    };
    for (const auto& [name, type] : cases) {
        const QString path = QString::fromUtf16(name);
        SCOPED_TRACE(path.toStdString());
        CFileInfo info;
        // The type is decided from the name alone; the file only has to be readable.
        QTemporaryDir folder;
        const QString file = folder.filePath(path);
        QDir().mkpath(QFileInfo(file).path());
        QFile(file).open(QIODevice::WriteOnly);
        ASSERT_TRUE(info.Load(file));
        EXPECT_EQ(info.fileType, type);
    }
}

TEST(FileInfoTest, NumbersAreReadTheWayTheRuntimeReadsThem)
{
    const std::pair<const char16_t*, qint64> cases[] = {
        {u"44100", 44100},
        {u"  320000", 320000},
        {u"128000 / 320000", 128000},
        {u"-7", -7},
        {u"+5x", 5},
        {u"", 0},
        {u"abc", 0},
        {u"\t16", 16},
        {u"99999999999999999999999", std::numeric_limits<qint64>::max()},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        EXPECT_EQ(ParseLeadingInteger(QString::fromUtf16(text)), value);
    }
}

class FileInfoLoadTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        CMediaInfoLibrary::SetSharedFileName(
            QString::fromUtf16(CMediaInfoLibrary::kDefaultFileName));
    }
    QTemporaryDir folder;
};

TEST_F(FileInfoLoadTest, ReadsAHighResolutionFlacThroughMediaInfo)
{
    // Quotes, blanks and letters outside ASCII must reach the library intact.
    const QString wav = folder.filePath(u"source.wav"_s);
    const QString flac = folder.filePath(u"Ünïcode \"quoted\" song.FLAC"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 48000, 2, 24, 1.5));
    ASSERT_TRUE(fixtures::MakeFlac(wav, flac));

    CFileInfo info;
    ASSERT_TRUE(info.Load(flac));
    EXPECT_EQ(info.format, u"FLAC"_s);
    EXPECT_EQ(info.sampleRate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.resolution, 24);
    EXPECT_GT(info.bitRate, 100.0); // kbit/s, not bit/s
    EXPECT_LT(info.bitRate, 4608.0);
    EXPECT_EQ(info.fileType, kSourceFlac);
    EXPECT_EQ(info.path, flac);
    EXPECT_EQ(info.fileName, u"Ünïcode \"quoted\" song.FLAC"_s);
    EXPECT_EQ(info.folder, QFileInfo(flac).absolutePath());
    EXPECT_EQ(info.size, QFileInfo(flac).size());
    EXPECT_EQ(info.duration, 1500); // ms
    EXPECT_FALSE(info.coder);
    EXPECT_FALSE(info.decoder);

    // A VBR MP3 gets its length from its VBR header at the quickest parse too.
    const QString mp3 = folder.filePath(u"vbr.mp3"_s);
    ASSERT_TRUE(fixtures::Run(u"lame"_s, {u"--quiet"_s, u"-V2"_s, wav, mp3}));
    CFileInfo vbr;
    ASSERT_TRUE(vbr.Load(mp3));
    EXPECT_NEAR(double(vbr.duration), 1500.0, 60.0);
}

TEST_F(FileInfoLoadTest, WithoutTheLibraryTheFormatSaysSoAndTheNumbersAreZero)
{
    const QString wav = folder.filePath(u"a.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 48000, 2, 16, 0.5));
    CMediaInfoLibrary::SetSharedFileName(folder.filePath(u"missing/libmediainfo.so.0"_s));

    CFileInfo info;
    ASSERT_TRUE(info.Load(wav));
    EXPECT_EQ(info.format, u"Unable to load MediaInfo.dll"_s);
    EXPECT_EQ(info.sampleRate, 0);
    EXPECT_EQ(info.channels, 0);
    EXPECT_EQ(info.resolution, 0);
    EXPECT_EQ(info.bitRate, 0.0);
    EXPECT_EQ(info.fileType, kSourceWav);
    EXPECT_EQ(info.fileName, u"a.wav"_s);

    // Sizes past 32 bits (a sparse file takes no room).
    QFile big(folder.filePath(u"big.wav"_s));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(5000000000LL));
    big.close();
    ASSERT_TRUE(info.Load(big.fileName()));
    EXPECT_EQ(info.size, 5000000000LL);
}

TEST_F(FileInfoLoadTest, FilesThatCannotBeOpenedAreRefused)
{
    const QString subfolder = folder.filePath(u"music.wav"_s);
    ASSERT_TRUE(QDir().mkpath(subfolder));
    const QString dangling = folder.filePath(u"dangling.wav"_s);
    ASSERT_TRUE(QFile::link(folder.filePath(u"gone.wav"_s), dangling));

    for (const QString& path : {folder.filePath(u"absent.wav"_s), subfolder, dangling}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(FileCanBeOpened(path));
        CFileInfo info;
        EXPECT_FALSE(info.Load(path));
        EXPECT_TRUE(info.path.isEmpty());
        EXPECT_TRUE(info.format.isEmpty());
        EXPECT_EQ(info.size, 0);
    }
}

TEST_F(FileInfoLoadTest, UnreadableFileIsRefused)
{
    const QString path = folder.filePath(u"locked.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(path, 8000, 1, 8, 0.1));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QFile probe(path);
    if (probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "this user reads files regardless of their permissions";
    EXPECT_FALSE(FileCanBeOpened(path));
    CFileInfo info;
    EXPECT_FALSE(info.Load(path));
}

} // namespace

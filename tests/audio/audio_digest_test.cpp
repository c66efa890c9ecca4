#include "audio/audio_digest.h"
#include "support/audio_fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// A FLAC file is known by the MD5 of its samples, whatever its tags or level; any other file
// by its size and ends, so a renamed file is found again and an edited one is not.
TEST(AudioDigestTest, TheSameAudioIsKnownAgainAndOtherAudioIsNot)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(u"a.wav"_s), other = dir.filePath(u"b.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(wav, 44100, 2, 16, 1));
    ASSERT_TRUE(fixtures::MakeWav(other, 44100, 2, 16, 1.5));
    const QString fast = dir.filePath(u"fast.flac"_s), best = dir.filePath(u"best.flac"_s);
    ASSERT_TRUE(fixtures::Run(u"flac"_s, {u"-s"_s, u"-0"_s, wav, u"-o"_s, fast}));
    ASSERT_TRUE(fixtures::Run(u"flac"_s, {u"-s"_s, u"-8"_s, wav, u"-o"_s, best}));
    const QString digest = AudioDigest(fast);
    EXPECT_TRUE(digest.startsWith(u"flac:"_s)) << qPrintable(digest);
    EXPECT_EQ(AudioDigest(best), digest);
    ASSERT_TRUE(fixtures::Run(u"metaflac"_s, {u"--set-tag=TITLE=Retagged"_s, best}));
    EXPECT_EQ(AudioDigest(best), digest);

    EXPECT_TRUE(AudioDigest(wav).startsWith(u"ends:"_s));
    EXPECT_NE(AudioDigest(wav), AudioDigest(other));
    EXPECT_TRUE(QFile::copy(wav, dir.filePath(u"renamed.wav"_s)));
    EXPECT_EQ(AudioDigest(dir.filePath(u"renamed.wav"_s)), AudioDigest(wav));
    EXPECT_TRUE(AudioDigest(dir.filePath(u"missing.flac"_s)).isEmpty());
}

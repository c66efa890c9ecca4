#include "audio/wav_cut.h"
#include "audio/wav_layout.h"
#include "support/wav_bytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Samples(const QByteArray& wav)
{
    WavLayout layout;
    QString error;
    if (!ReadWavLayout(reinterpret_cast<const uchar*>(wav.constData()), wav.size(), layout, &error))
        return {};
    return wav.mid(layout.dataOffset, layout.frameCount * layout.BytesPerFrame());
}

} // namespace

TEST(WavCutTest, TracksCutOneAfterAnotherGiveBackTheImage)
{
    QTemporaryDir dir;
    const QString image = dir.filePath(u"image.wav"_s);
    const QByteArray wav = WavBytes(44100, 10000, false);
    Write(image, wav);
    EXPECT_EQ(ReadWavExtent(image).frames, 10000);

    QByteArray joined;
    const qint64 marks[] = {0, 588, 4711, 9999, -1};
    for (int i = 0; i + 1 < int(std::size(marks)); ++i) {
        const QString track = dir.filePath(u"track%1.wav"_s.arg(i));
        QString error;
        ASSERT_TRUE(CutWavFrames(image, marks[i], marks[i + 1], track, &error))
            << qPrintable(error);
        const WavExtent extent = ReadWavExtent(track);
        EXPECT_EQ(extent.frames, (marks[i + 1] < 0 ? 10000 : marks[i + 1]) - marks[i]);
        EXPECT_EQ(extent.sampleRate, 44100);
        joined += Samples(ReadAll(track));
    }
    EXPECT_EQ(joined, Samples(wav));
}

TEST(WavCutTest, WhatCannotBeCutIsRefusedWithItsReason)
{
    QTemporaryDir dir;
    const QString image = dir.filePath(u"image.wav"_s);
    // The header promises 10000 frames; the file was cut short after 6000.
    Write(image, WavBytes(48000, 10000, false).left(44 + 6000 * 2));
    const QString track = dir.filePath(u"track.wav"_s);
    QString error;
    EXPECT_EQ(ReadWavExtent(image).frames, 6000);
    EXPECT_FALSE(CutWavFrames(image, 5000, 7000, track, &error));
    EXPECT_EQ(error, u"frames 5000 to 7000 lie outside the 6000 frames of %1"_s.arg(image));
    EXPECT_FALSE(QFile::exists(track));
    EXPECT_FALSE(CutWavFrames(image, 3000, 3000, track, &error));

    Write(dir.filePath(u"text.wav"_s), "not audio at all");
    EXPECT_FALSE(CutWavFrames(dir.filePath(u"text.wav"_s), 0, -1, track, &error));
    EXPECT_TRUE(
        error.startsWith(u"%1 is no WAV file that can be cut: "_s.arg(dir.filePath(u"text.wav"_s))))
        << qPrintable(error);
    EXPECT_FALSE(CutWavFrames(dir.filePath(u"gone.wav"_s), 0, -1, track, &error));
    EXPECT_FALSE(CutWavFrames(image, 0, -1, dir.filePath(u"no/such/folder.wav"_s), &error));
    EXPECT_TRUE(error.startsWith(dir.filePath(u"no/such/folder.wav"_s))) << qPrintable(error);
}

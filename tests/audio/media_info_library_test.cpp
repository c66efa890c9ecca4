#include "audio/media_info_library.h"
#include "support/audio_fixtures.h"
#include "support/test_paths.h"

#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// One file of every format the shipped decoders read, generated once for the suite.
class MediaInfoLibraryTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        const QString wav = Path(u"tone.wav"_s);
        const QString noise = Path(u"noise.wav"_s);
        const QString hiRes = Path(u"hires.wav"_s);
        generated =
            fixtures::MakeWav(wav, 44100, 2, 16, 3) && fixtures::MakeWav(hiRes, 48000, 2, 24, 2) &&
            fixtures::Run(u"sox"_s, {u"-n"_s, u"-r"_s, u"44100"_s, u"-c"_s, u"2"_s, u"-b"_s,
                                     u"16"_s, noise, u"synth"_s, u"4"_s, u"pinknoise"_s}) &&
            fixtures::MakeFlac(hiRes, Path(u"hires.flac"_s)) &&
            fixtures::Run(u"lame"_s, {u"--quiet"_s, u"-V"_s, u"2"_s, noise, Path(u"vbr.mp3"_s)}) &&
            fixtures::Run(u"lame"_s, {u"--quiet"_s, u"-V"_s, u"2"_s, u"-t"_s, noise,
                                      Path(u"vbr_untagged.mp3"_s)}) &&
            fixtures::Run(u"oggenc"_s, {u"-Q"_s, wav, u"-o"_s, Path(u"tone.ogg"_s)}) &&
            fixtures::Run(u"opusenc"_s, {u"--quiet"_s, wav, Path(u"tone.opus"_s)}) &&
            fixtures::Run(u"wavpack"_s, {u"-q"_s, wav, u"-o"_s, Path(u"tone.wv"_s)});
    }
    static void TearDownTestSuite() { folder.reset(); }

    void SetUp() override { ASSERT_TRUE(generated) << "could not generate the audio files"; }

    static QString Path(const QString& name) { return folder->filePath(name); }

    static inline std::unique_ptr<QTemporaryDir> folder;
    static inline bool generated = false;
};

struct Expected
{
    const char16_t* file;
    const char16_t* format;
    const char16_t* channels;
    const char16_t* samplingRate;
    const char16_t* resolution; // empty for lossy formats
};

TEST_F(MediaInfoLibraryTest, ReadsTheFivePropertiesOfEveryDecodedFormat)
{
    const Expected cases[] = {
        {u"tone.wav", u"PCM", u"2", u"44100", u"16"},
        {u"hires.flac", u"FLAC", u"2", u"48000", u"24"},
        {u"vbr.mp3", u"MPEG Audio", u"2", u"44100", u""},
        {u"tone.ogg", u"Vorbis", u"2", u"44100", u""},
        {u"tone.opus", u"Opus", u"2", u"44100", u""},
        {u"tone.wv", u"WavPack", u"2", u"44100", u"16"},
    };
    CMediaInfoLibrary library;
    for (const Expected& expected : cases) {
        SCOPED_TRACE(QString::fromUtf16(expected.file).toStdString());
        CMediaInfoLibrary::AudioText text;
        ASSERT_TRUE(library.ReadAudioText(Path(QString::fromUtf16(expected.file)), text));
        EXPECT_EQ(text.format, QString::fromUtf16(expected.format));
        EXPECT_EQ(text.channels, QString::fromUtf16(expected.channels));
        EXPECT_EQ(text.samplingRate, QString::fromUtf16(expected.samplingRate));
        EXPECT_EQ(text.resolution, QString::fromUtf16(expected.resolution));
    }
}

// The quick parse must not cost correctness: every property, VBR bit rates included, must
// read as a full parse reads it.
TEST_F(MediaInfoLibraryTest, QuickParseReadsWhatAFullParseReads)
{
    CMediaInfoLibrary library;
    const CMediaInfoLibrary::Functions* f = library.Loaded();
    ASSERT_NE(f, nullptr);
    const QStringList names = {u"tone.wav"_s,  u"noise.wav"_s,        u"hires.flac"_s,
                               u"vbr.mp3"_s,   u"vbr_untagged.mp3"_s, u"tone.ogg"_s,
                               u"tone.opus"_s, u"tone.wv"_s};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        CMediaInfoLibrary::AudioText quick;
        ASSERT_TRUE(library.ReadAudioText(Path(name), quick));

        void* handle = f->newHandle();
        f->open(handle, Path(name).toStdWString().c_str());
        auto full = [&](const wchar_t* parameter) {
            return QString::fromWCharArray(f->get(handle, CMediaInfoLibrary::kStreamAudio, 0,
                                                  parameter, CMediaInfoLibrary::kInfoText,
                                                  CMediaInfoLibrary::kInfoName));
        };
        EXPECT_EQ(quick.format, full(L"Format"));
        EXPECT_EQ(quick.bitRate, full(L"BitRate"));
        EXPECT_EQ(quick.channels, full(L"Channel(s)"));
        EXPECT_EQ(quick.samplingRate, full(L"SamplingRate"));
        EXPECT_EQ(quick.resolution, full(L"BitDepth"));
        f->deleteHandle(handle);
    }
    CMediaInfoLibrary::AudioText vbr;
    ASSERT_TRUE(library.ReadAudioText(Path(u"vbr.mp3"_s), vbr));
    EXPECT_GT(vbr.bitRate.toInt(), 32000);
}

TEST_F(MediaInfoLibraryTest, UnrecognisedFileReadsAsEmptyTexts)
{
    const QString path = Path(u"notes.txt"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not audio at all\n");
    file.close();

    CMediaInfoLibrary library;
    CMediaInfoLibrary::AudioText text{u"x"_s, u"x"_s, u"x"_s, u"x"_s, u"x"_s};
    ASSERT_TRUE(library.ReadAudioText(path, text));
    EXPECT_TRUE(text.format.isEmpty());
    EXPECT_TRUE(text.samplingRate.isEmpty());
    EXPECT_TRUE(text.resolution.isEmpty());
}

TEST(MediaInfoLibraryLoadTest, DebiansLibraryLoadsDespiteOneMissingEntryPoint)
{
    CMediaInfoLibrary library;
    const CMediaInfoLibrary::Functions* f = library.Loaded();
    ASSERT_NE(f, nullptr);
    EXPECT_LE(f->missingCount, 1);
}

TEST(MediaInfoLibraryLoadTest, MissingOrIncompleteLibraryCountsAsAbsent)
{
    struct Case
    {
        QString file;
        bool usable;
    };
    const Case cases[] = {
        {u"/nonexistent/libmediainfo.so.0"_s, false},
        {TestHelperPath(u"fake_media_info_two_missing.so"_s), false},
        {TestHelperPath(u"fake_media_info_no_get.so"_s), false},
        {TestHelperPath(u"fake_media_info_one_missing.so"_s), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        CMediaInfoLibrary library(c.file);
        EXPECT_EQ(library.EnsureLoaded(), c.usable);
        EXPECT_EQ(library.EnsureLoaded(), c.usable); // a failed load is tried again, same answer

        CMediaInfoLibrary::AudioText text{u"kept"_s, u"kept"_s, u"kept"_s, u"kept"_s, u"kept"_s};
        EXPECT_EQ(library.ReadAudioText(u"/etc/hostname"_s, text), c.usable);
        EXPECT_EQ(text.format, c.usable ? u"Fake"_s : u"kept"_s);
        EXPECT_EQ(text.samplingRate, c.usable ? u"44100"_s : u"kept"_s);
        // The fake answers no "Resolution", so the bits come from "BitDepth".
        EXPECT_EQ(text.resolution, c.usable ? u"16"_s : u"kept"_s);
    }
}

TEST(MediaInfoLibraryLoadTest, ConcurrentFirstUseLoadsOnce)
{
    CMediaInfoLibrary library;
    std::atomic<int> loaded{0};
    std::vector<std::thread> threads;
    const CMediaInfoLibrary::Functions* first = nullptr;
    std::vector<const CMediaInfoLibrary::Functions*> seen(4);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            seen[i] = library.Loaded();
            if (seen[i])
                ++loaded;
        });
    }
    for (auto& thread : threads)
        thread.join();
    first = seen.front();
    EXPECT_EQ(loaded, 4);
    for (const auto* functions : seen)
        EXPECT_EQ(functions, first);
}

} // namespace

#include "codecs/codec.h"
#include "planning/copy_rules.h"
#include "planning/file_info.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// What the rules make of a source, by its name and what MediaInfo calls its format.
TEST(CopyRulesTest, TheFormatAndTheCodersLosslessnessDecide)
{
    constexpr CopyRules kSame{true, LossyRule::Convert};
    constexpr CopyRules kCopyLossy{false, LossyRule::Copy};
    constexpr CopyRules kLeaveOut{true, LossyRule::LeaveOut};
    const QString missing = QString::fromUtf16(kMediaInfoMissingText);
    const struct
    {
        const char16_t* path;
        QString format;
        const char16_t* extension; // the coder's
        bool lossless;
        CopyRules rules;
        CopyChoice choice;
    } cases[] = {
        {u"/m/a.mp3", u"MPEG Audio"_s, u"mp3", false, kSame, CopyChoice::CopySameFormat},
        {u"/m/A.MP3", u"MPEG Audio"_s, u"mp3", false, kSame, CopyChoice::CopySameFormat},
        // An Opus stream in an ".ogg" file is no Vorbis file for the Vorbis coder.
        {u"/m/a.ogg", u"Opus"_s, u"ogg", false, kSame, CopyChoice::Convert},
        {u"/m/a.ogg", u"Opus"_s, u"ogg", false, kLeaveOut, CopyChoice::LeaveOutLossy},
        // An MP2 named ".mp3" is what MediaInfo says; its extension alone would copy it.
        {u"/m/a.mp3", u"FLAC"_s, u"mp3", false, kSame, CopyChoice::Convert},
        // Without MediaInfo the extensions decide.
        {u"/m/a.mp3", missing, u"mp3", false, kSame, CopyChoice::CopySameFormat},
        {u"/m/a.m4a", missing, u"mp3", false, kCopyLossy, CopyChoice::CopyLossy},
        {u"/m/a.flac", u"FLAC"_s, u"flac", true, kSame, CopyChoice::CopySameFormat},
        // Lossy into lossless is no loss: converted.
        {u"/m/a.mp3", u"MPEG Audio"_s, u"flac", true, kLeaveOut, CopyChoice::Convert},
        {u"/m/a.flac", u"FLAC"_s, u"mp3", false, kLeaveOut, CopyChoice::Convert},
        {u"/m/a.m4a", u"AAC"_s, u"opus", false, kCopyLossy, CopyChoice::CopyLossy},
        // The same format without the rule: the lossy rule still holds.
        {u"/m/a.mp3", u"MPEG Audio"_s, u"mp3", false, kCopyLossy, CopyChoice::CopyLossy},
        {u"/m/a.mp3", u"MPEG Audio"_s, u"mp3", false, {}, CopyChoice::Convert},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.path).toStdString() + " " + c.format.toStdString() +
                     " -> " + QString::fromUtf16(c.extension).toStdString());
        CFileInfo file;
        file.path = QString::fromUtf16(c.path);
        file.format = c.format;
        CCoder coder;
        coder.lossless = c.lossless;
        EXPECT_EQ(ChooseCopy(file, coder, QString::fromUtf16(c.extension), c.rules), c.choice);
        // A track is a part of its image: never copied.
        file.track = std::make_shared<CueTrackSource>();
        EXPECT_EQ(ChooseCopy(file, coder, QString::fromUtf16(c.extension), c.rules),
                  CopyChoice::Convert);
    }
}

} // namespace

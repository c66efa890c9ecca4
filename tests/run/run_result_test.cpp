#include "run/run_files.h"
#include "run/run_result.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// What the failure box quotes of a program's standard error: the tails below are what Debian's
// encoders and decoders print on bad input, as the core keeps them.
TEST(RunResultTest, TheFailureQuotesTheLineThatSaysWhatWentWrong)
{
    const struct
    {
        const char* program;
        QByteArray tail;
        QString quoted;
    } cases[] = {
        {"flac -d on a file that is no FLAC",
         "flac comes with ABSOLUTELY NO WARRANTY.  This is free software, and you are\n"
         "welcome to redistribute it under certain conditions.  Type `flac' for details.\n\n"
         "bad.flac: *** Got error code 0:FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC\n\n"
         "The input file is either not a FLAC file or is corrupted.  If you are\n"
         "convinced it is a FLAC file, you can rerun the same command and add the\n"
         "-F parameter to try and recover as much as possible from the file.\n\n\n"
         "bad.flac: ERROR while decoding metadata\n"
         "          state = FLAC__STREAM_DECODER_END_OF_STREAM\n",
         u"bad.flac: ERROR while decoding metadata"_s},
        {"flac on a WAV cut short",
         "flac 1.4.2\nCopyright (C) 2000-2009  Josh Coalson, 2011-2022  Xiph.Org Foundation\n\n"
         "trunc.wav: ERROR: unexpected EOF\n",
         u"trunc.wav: ERROR: unexpected EOF"_s},
        {"lame --decode on a file that is no MP3",
         "Error reading headers in mp3 input file t.mp3.\nCan't init infile 't.mp3'\n",
         u"Error reading headers in mp3 input file t.mp3."_s},
        {"lame on a file that is not there",
         "Could not open sound file \"gone.wav\".\nCould not find \"gone.wav\".\n"
         "Can't init infile 'gone.wav'\n",
         u"Could not find \"gone.wav\"."_s},
        {"oggenc on a WAV cut short",
         "Warning: Unexpected EOF in reading WAV header\n"
         "ERROR: Input file \"trunc.wav\" is not a supported format\n",
         u"ERROR: Input file \"trunc.wav\" is not a supported format"_s},
        {"opusenc on a WAV cut short",
         "ERROR: Incomplete format chunk in WAV header\n"
         "Error: unsupported input file: trunc.wav\n",
         u"Error: unsupported input file: trunc.wav"_s},
        {"oggdec on a file that is no Vorbis",
         "oggdec from vorbis-tools 1.4.2\nERROR: Failed to open input as Vorbis\n",
         u"ERROR: Failed to open input as Vorbis"_s},
        {"wvunpack on a file that is no WavPack, behind a carriage return",
         "\n WVUNPACK  Hybrid Lossless Audio Decompressor  linux-gnu Version 5.6.0\n\r"
         "not compatible with this version of WavPack file!                    \n",
         u"not compatible with this version of WavPack file!"_s},
        {"a program that is not installed",
         "orvel: lame is not installed. Install the Debian package lame: sudo apt install lame\n",
         u"orvel: lame is not installed. Install the Debian package lame: sudo apt install lame"_s},
        {"nothing said", "  \n\n", QString()},
    };
    for (const auto& c : cases) {
        CErrorTail tail(false);
        tail.Add(c.tail);
        RunResult run;
        run.errorOutput = tail.Lines();
        EXPECT_EQ(run.LastErrorLine(), c.quoted) << c.program;
    }
}

} // namespace

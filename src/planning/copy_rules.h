#pragma once

#include <QString>

class CCoder;
class CFileInfo;

// What becomes of a lossy source (MP3, AAC, Vorbis, Opus...) when the coder is lossy too:
// encoding it again loses more and gains nothing.
enum class LossyRule
{
    Convert = 0,  // decoded and encoded as any source
    Copy = 1,     // copied as it is, keeping its own extension
    LeaveOut = 2, // not converted, with the reason
};

// The rules that spare a source its decoding and encoding.
struct CopyRules
{
    // A source already in the coder's format is copied to its result's name as it is.
    bool sameFormat = false;
    LossyRule lossy = LossyRule::Convert;
};

// What the rules make of one source with the coder's preset extension.
enum class CopyChoice
{
    Convert,
    CopySameFormat, // copied under the coder's extension
    CopyLossy,      // copied under its own extension
    LeaveOutLossy,
};

// MediaInfo's format names a lossy coding; without MediaInfo the extension says it.
bool IsLossySource(const CFileInfo& file);

// The source is what the coder writes: its extension is the coder's, and MediaInfo's format
// (when it knows one for that extension) is the one the extension stands for, so a ".ogg"
// holding Opus is no Vorbis file.
bool IsInCodersFormat(const CFileInfo& file, const QString& coderExtension);

// A track of an album image is never copied: its result is a part of the image.
CopyChoice ChooseCopy(const CFileInfo& file, const CCoder& coder, const QString& coderExtension,
                      const CopyRules& rules);

// Plans the file as a copy of its source to resultPath: a coder run of the definition that
// runs no program (no decoder, no command line), so that the rules of results (collisions,
// up to date, replacing) hold for it as they do for any result.
bool PlanCopy(CFileInfo& file, CCoder* coder, const QString& resultPath);

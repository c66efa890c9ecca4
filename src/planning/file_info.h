#pragma once

#include "audio/media_info_library.h"
#include "codecs/codec.h"
#include "foundation/number_text.h"
#include "tags/source_tags.h"
#include "tags/tag_copy.h"

#include <QString>
#include <QtGlobal>
#include <memory>

// Classification of a source file by its lower-cased extension.
enum SourceType : int
{
    kSourceUnknown = 0,
    kSourceApe = 1,
    kSourceAac = 2,
    kSourceWav = 3,
    kSourceMp3 = 4,
    kSourceOgg = 5,
    kSourceFlac = 6,
    kSourceSpx = 7,
    kSourceOfr = 8,
    kSourceWv = 9,
    kSourceM4a = 10,
    kSourceTta = 11,
};

// The format text of every file read while the MediaInfo library is absent. Stored files and
// users may rely on it, so it keeps its historic wording.
inline constexpr const char16_t* kMediaInfoMissingText = u"Unable to load MediaInfo.dll";

// A row that is one track of an album image: where it lies in the image and what its result's
// tags say. Its row's path is the image's.
struct CueTrackSource
{
    QString sheetPath; // the .cue file; empty when the image carries its sheet
    int number = 0;
    qint64 start = 0; // frames of the image
    qint64 end = -1;  // -1: to the image's end
    qint64 durationMs = 0;
    qint64 imageDurationMs = 0;
    TagFields fields;
    // The path results are named after when no pattern names them: the image's folder and
    // its name with the track's number and title.
    QString namingPath;
};

// One source file of the list: its properties and the decoder and coder runs planned for it.
class CFileInfo
{
public:
    CFileInfo() = default;
    CFileInfo(const CFileInfo&) = delete;
    CFileInfo& operator=(const CFileInfo&) = delete;
    virtual ~CFileInfo() = default;

    // Fills the record from the file, the MediaInfo library and the tag library; false only
    // when the file cannot be opened for reading (the record then stays empty).
    virtual bool Load(const QString& filePath);
    // Fills the record from texts and tags already read (by ReadPropertyTexts and
    // ReadSourceTags, here or in a helper process); false when the file cannot be opened.
    bool LoadWithTexts(const QString& filePath, const CMediaInfoLibrary::AudioText& text,
                       const SourceTags& sourceTags = {});
    // The same for a file whose size and time were just looked at (by the properties cache):
    // only whether it may be read is asked again, unless that is known already.
    bool LoadKnown(const QString& filePath, const CMediaInfoLibrary::AudioText& text,
                   const SourceTags& sourceTags, qint64 bytes, qint64 timeNs,
                   bool readableKnown = false);

    int sampleRate = 0;
    double bitRate = 0.0; // kbit/s
    int channels = 0;
    int fileType = kSourceUnknown;
    QString format;
    int resolution = 0;
    qint64 duration = 0; // milliseconds of audio; 0 when MediaInfo does not know it
    QString path;
    QString fileName;
    QString folder;
    qint64 size = 0;       // bytes
    qint64 modifiedNs = 0; // the file's modification time when it was read; 0: not known
    SourceTags tags;       // read when the file is added, for names built from them
    QString decoderInput;
    QString outputPath;
    QString presetName;
    std::unique_ptr<CCoder> coder;
    std::unique_ptr<CDecoder> decoder;
    // The coder run stands for a copy of the source as it is: no program runs for it.
    bool copyAsIs = false;
    // A run of this file's jobs failed the last time they ran (Retry failed runs them again).
    bool lastRunFailed = false;
    // Set for a track of an album image; shared by the rows copied from it.
    std::shared_ptr<const CueTrackSource> track;

    // The path results are named after: the file's, or the track's.
    QString NamingPath() const { return track ? track->namingPath : path; }

    // Where the file's planned result goes: the coder's output, else the decoder's WAV; empty
    // when nothing is planned.
    QString PlannedResult() const
    {
        if (coder)
            return coder->GetOutputFile();
        // A track's decoder writes the whole image; the track is cut to the result.
        if (decoder)
            return track ? decoder->GetTempFile() : decoder->GetOutputFile();
        return {};
    }

private:
    void Fill(const QString& filePath, const CMediaInfoLibrary::AudioText& text, qint64 bytes);
};

// The texts Load reads from the MediaInfo library for a file: the library's own, or the fixed
// missing-library texts when it cannot be loaded.
CMediaInfoLibrary::AudioText ReadPropertyTexts(const QString& path);

// True when the path names an existing regular file that can be opened for reading.
bool FileCanBeOpened(const QString& path);

// The source type for an extension (compared in lower case).
int SourceTypeOf(const QString& extension);

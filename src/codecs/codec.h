#pragma once

#include "foundation/process.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// One preset of a coder, or one handled extension of a decoder.
struct CodecEntry
{
    QString commandLine;
    QString extension;
    QString name;
};

// A codec definition: the description of an external program and, at the same time, the
// process object that runs it. Job planning copies definitions into per-job runs.
class CCodec : public CProcess
{
public:
    CCodec() = default;
    CCodec(const CCodec&) = default;
    CCodec& operator=(const CCodec&) = default;
    ~CCodec() override = default;

    // False when a description file exists but cannot be read: the codec is then unusable.
    virtual bool Load(const QString& executablePath) = 0;
    virtual QString GetName() { return name; }
    virtual void SetName(const QString& newName) { name = newName; }
    virtual QString GetFolder() { return folder; }
    virtual quint32 GetFileSize() { return fileSize; }
    virtual bool IsValid() = 0;
    virtual void SetTempFile(const QString& path) { tempFile = path; }
    virtual QString GetTempFile() { return tempFile; }
    virtual void SetInputFile(const QString& path) { inputFile = path; }
    virtual void SetOutputFile(const QString& path) { outputFile = path; }
    virtual QString GetInputFile() { return inputFile; }
    virtual QString GetOutputFile() { return outputFile; }
    virtual QList<CodecEntry>& GetEntries() { return entries; }

    // Read directly by the windows; they have no virtual accessors.
    QString name;
    QString folder;
    QString description;
    QString date;
    QString format;
    quint32 fileSize = 0;

protected:
    QString tempFile;
    QString inputFile;
    QString outputFile;
    QList<CodecEntry> entries;
};

class CDecoder;

// How a lossless coder's result is proven: decoded again by `decoder` with `commandTemplate`
// ("%in%" the result, "%out%" a WAV) and its samples compared with those the coder read. No
// decoder: the result is a WAV, compared as it is.
struct ResultVerification
{
    std::shared_ptr<const CDecoder> decoder;
    QString commandTemplate;
    // The MD5 of the source's samples its FLAC STREAMINFO holds, in hexadecimal, when the coder
    // reads the source itself: the samples decoded from the result must have it. Empty: the
    // coder reads a WAV, whose samples the result's must equal.
    QString sourceMd5;
};

// One track's WAV, cut from an album image's WAV: the frames [start, end) (end -1: to the end).
struct TrackCut
{
    qint64 start = 0;
    qint64 end = -1;
    QString wav;
};

class CDecoder : public CCodec
{
public:
    int GetKind() override { return 1; }
    bool Load(const QString& executablePath) override;
    bool IsValid() override { return true; }

    // Per job, for an album image: the tracks cut from the WAV once it is decoded (the WAV is
    // deleted then). A decoder without an executable decodes nothing: its input is a WAV image
    // already, and the tracks are cut from it as it is.
    QList<TrackCut> trackCuts;
    // Per job: sox, run on the same slot once the decoder's program has written its WAV (its
    // input), bringing the audio within the device's limits; the coder reads its output, which
    // is this run's temporary file. Null when the source is within them.
    std::shared_ptr<CDecoder> limiter;
};

class CCoder : public CCodec
{
public:
    int GetKind() override { return 0; }
    bool Load(const QString& executablePath) override;
    bool IsValid() override { return true; }

    // Per job: the decoder run whose output this coder reads; not owned.
    CDecoder* decoder = nullptr;
    // Source extensions (lower case, no dot) its encoder reads itself, from "Inputs.ini".
    QStringList inputs;
    // Per job: the length in milliseconds the result must have when its source's is not it (a
    // track of an album image); -1: its source's.
    qint64 expectedMs = -1;
    // Per job: fields the result's tags take in place of its source's (a track's title and
    // number); empty: the source's alone.
    QMap<QString, QString> tagFields;
    // From the fourth line of "Info.txt": the encoder keeps every sample it reads.
    bool lossless = false;
    // Per job: how the result is proven once it has passed its length check; unset: it is not.
    std::optional<ResultVerification> verification;
};

// Appends the entries described by an extensions file and its paired file ("Presets.ini"
// with names for a coder, "Format.ini" without for a decoder). A file that cannot be opened
// reads as empty; a read error raises CTextFileException.
void ReadEntries(const QString& pairedPath, const QString& extensionsPath,
                 QList<CodecEntry>& entries, bool withNames);

// The non-empty lines of a line file, trimmed and lower-cased; empty when it cannot be opened.
// A read error raises CTextFileException.
QStringList ReadExtensionLines(const QString& path);

// The size of a file in bytes (low 32 bits), 0xFFFFFFFF when it cannot be read.
quint32 FileSize32(const QString& path);

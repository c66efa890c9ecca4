#pragma once

#include <QLibrary>
#include <QString>
#include <cstddef>
#include <memory>
#include <mutex>

// The MediaInfo library through its flat C interface, loaded at run time. The library is
// optional: when it cannot be loaded the converter still works and reports fixed texts.
class CMediaInfoLibrary
{
public:
    // The flat interface's enumerations, as plain integers.
    static constexpr int kStreamGeneral = 0;
    static constexpr int kStreamAudio = 2;
    static constexpr int kInfoText = 1;
    static constexpr int kInfoName = 0;

    // Found on the standard library path.
    static constexpr const char16_t* kDefaultFileName = u"libmediainfo.so.0";

    // The entry points resolved by name; more than one missing means the library is unusable.
    static constexpr int kEntryPointCount = 22;
    static constexpr int kMissingEntryPointsThreshold = 2;

    explicit CMediaInfoLibrary(const QString& fileName = QString::fromUtf16(kDefaultFileName));
    CMediaInfoLibrary(const CMediaInfoLibrary&) = delete;
    CMediaInfoLibrary& operator=(const CMediaInfoLibrary&) = delete;

    // Loads the library on first use; a failed load is tried again on the next call. Once
    // loaded it stays loaded. Safe to call from several threads.
    bool EnsureLoaded();
    QString FileName() const { return fileName; }

    // The five properties of a file's first audio stream, as texts of the library.
    struct AudioText
    {
        QString format;
        QString bitRate;
        QString channels;
        QString samplingRate;
        QString resolution;
        QString duration; // milliseconds, possibly with a fraction
    };

    // Opens the file and reads the properties of its first audio stream. False when the
    // library is absent or no handle could be created; the texts are then left unchanged.
    bool ReadAudioText(const QString& path, AudioText& text);

    // The program-wide instance used by the file records. Tests point it at another file.
    static std::shared_ptr<CMediaInfoLibrary> Shared();
    static void SetSharedFileName(const QString& fileName);

    // The raw entry points, for the few callers that need more than the audio properties.
    using NewFunction = void* (*)();
    using DeleteFunction = void (*)(void*);
    using OpenFunction = size_t (*)(void*, const wchar_t*);
    using GetFunction = const wchar_t* (*)(void*, int, size_t, const wchar_t*, int, int);
    using OptionFunction = const wchar_t* (*)(void*, const wchar_t*, const wchar_t*);
    struct Functions
    {
        NewFunction newHandle = nullptr;
        DeleteFunction deleteHandle = nullptr;
        OpenFunction open = nullptr;
        GetFunction get = nullptr;
        OptionFunction option = nullptr; // may be missing: it is not needed to read a file
        int missingCount = 0;
    };

    // The resolved entry points, or null when the library is absent. Valid for the lifetime
    // of this object once returned.
    const Functions* Loaded();

private:
    bool LoadLocked();

    const QString fileName;
    std::mutex mutex;
    QLibrary library;
    Functions functions;
    bool loaded = false;
};

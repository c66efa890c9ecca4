#pragma once

#include "settings/settings_exchange.h"
#include "settings/settings_library.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The main window's geometry, section "Settings.Window".
class CSettingsWindow : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override;

    // The bytes the window saved (QWidget::saveGeometry); empty until a load or a close fills
    // it, and an empty value is not applied.
    QByteArray placement;
};

// The conversion core, section "Settings.Core".
class CSettingsCore : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override;

    // As many programs as the core runs at most: a hand-edited count no machine has would
    // otherwise take all memory for slots.
    static constexpr qint32 kMaxThreadsCount = 64;

    qint32 priority = 1;     // 0 idle, 1 normal, 2 high, 3 real-time
    qint32 threadsCount = 1; // parallel external programs
};

// Section "Settings.General".
class CSettingsGeneral : public CSettings
{
public:
    CSettingsGeneral();
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override;

    // The home folder with a trailing separator.
    static QString DefaultOutputFolder();

    // Where results go, read the same way by every front end: empty when beside their sources;
    // else OutputFolder with its %NAME% references expanded, a relative one taken from the
    // program folder, with a trailing separator.
    QString ResultFolder(const QString& programFolder) const;
    // Results are to go to an output folder, but none is named: nothing can be planned.
    bool IsOutputFolderMissing() const;

    qint32 rememberFileList = 1;
    qint32 outputFolderSameAsOriginal = 1;
    qint32 showWarnings = 1;
    qint32 addOnlyExists = 1;
    qint32 copyTags = 1;      // results get their source's tags and pictures
    qint32 atomicOutputs = 1; // results are written under a hidden name until whole
    qint32 skipUpToDate = 1;  // Start leaves out jobs whose result is newer than the source
    // Start queues the files by decreasing length, so one long file does not run alone at the
    // end while the other slots idle.
    qint32 startLongFilesFirst = 1;
    // With an output folder: each result at its source's path below the files' common folder.
    qint32 keepFolderStructure = 0;
    // Results get ReplayGain values: off by default, as it changes the results' bytes.
    qint32 replayGain = 0;
    qint32 replayGainAlbum = 1; // with it, album values too; else track values only
    // A coder whose encoder reads the source itself (its "Inputs.ini") gets it with no WAV step.
    qint32 directInput = 1;
    QString outputFolder;
    // Results are named from their tags by this pattern; empty: after their source.
    QString namePattern;
    qint32 fatSafeNames = 0; // names from tags avoid what FAT and exFAT refuse
    // The later of two files whose tags give one name is numbered instead of left out.
    qint32 numberSharedNames = 0;
    // The language pack read at the next start, by its file name; empty: the system's language.
    QString language;
    // While a run goes on the machine does not sleep (logind's inhibitor, else the screen
    // saver's).
    qint32 keepAwake = 1;
    // The desktop is told when a run ends while the window is not the active one.
    qint32 notifyWhenDone = 1;
    // Where an album image's gaps (a track's INDEX 00 to its INDEX 01) go: 0 to the end of the
    // track before, 1 to the start of their own track, 2 left out.
    qint32 cueGaps = 0;
    // The encoding cue sheets are read in; empty: found from their bytes.
    QString cueEncoding;
    // Results in a folder other than their source's get the source folder's cover beside them.
    qint32 copyCovers = 1;
    // Covers copied and pictures embedded in results become baseline JPEGs of at most
    // pictureMaxSize pixels a side: off by default, as it changes the pictures.
    qint32 shrinkPictures = 0;
    qint32 pictureMaxSize = 600;
    // Other files of a source folder copied along with its results: patterns such as
    // "*.log;*.pdf", separated by ";"; empty: none.
    QString copyAlongPatterns;
    // A source already in the coder's format is copied as it is instead of converted.
    qint32 copySameFormat = 0;
    // A lossy source into a lossy coder: 0 converted, 1 copied as it is, 2 left out.
    qint32 lossyToLossy = 0;
    // The longer side of pictures made smaller; 0 when they stay as they are.
    int PictureMaxSide() const;
    static constexpr int kRecentNamePatterns = 5;
    QStringList recentNamePatterns; // the last ones used, newest first

    // Puts a pattern first among the recent ones (an empty one is not kept).
    void RememberNamePattern(const QString& pattern);

private:
    bool ExchangeRecentPatterns(CSettingsExchange& values);
};

// Section "Settings.Database".
class CSettingsDatabase : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override;

    qint32 findByFileName = 0;
};

// What the device that plays the results takes, and the proof of lossless results; section
// "Settings.Device". A number no choice offers reads as "keep".
class CSettingsDevice : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override;

    qint32 maxSampleRate = 0; // hertz: 96000, 48000 or 44100; 0 keeps the source's
    qint32 maxBitDepth = 0;   // 24 or 16 (with dither); 0 keeps it
    qint32 channels = 0;      // 2 (the ITU downmix) or 1; 0 keeps them
    // A lossless coder's result is decoded again and its samples compared with its source's.
    qint32 verifyLossless = 1;
};

// Every persistent setting of the program, kept in "Settings.ini", section "Settings".
class CSettingsSet : public CSettings
{
public:
    static constexpr char16_t kFileName[] = u"Settings.ini";
    static constexpr char16_t kSectionName[] = u"Settings";

    CSettingsSet();
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override;

    // "Settings.ini" in the program folder.
    static QString FilePath(const QString& programFolder);

    enum class LoadResult
    {
        Read,
        Missing, // no file yet: a new user's defaults
        Failed,
    };
    // The program folder's Settings.ini as every front end reads it. Without one, a new user's
    // defaults: one program per processor; FindByFileName on, so that "Codecs" recognises the
    // distribution's encoders whatever their build; and a first Start that converts: a lossy
    // coder at a transparent preset, into a folder of its own, keeping the folder structure.
    LoadResult LoadFromProgramFolder(const QString& programFolder);

    // LAME MP3 at "VBR V2" in the shipped coders' listing order (a test holds them to it).
    static constexpr qint32 kNewUserCoderIndex = 1;
    static constexpr qint32 kNewUserPresetIndex = 1;
    // "orvel" in the user's music folder (~/Music), with a trailing separator; made when the
    // first results are written.
    static QString NewUserOutputFolder();
    // Load and save through the INI storage on that file; errorText tells why a save failed.
    // A load brings numbers that only a hand-edited file holds back into range.
    bool LoadFromFile(const QString& path);
    bool SaveToFile(const QString& path, QString* errorText = nullptr);

    qint32 coderIndex = 0;
    qint32 presetIndex = 0;
    qint32 optionsInitialPage = 0;
    qint32 filterIndex = 0;
    qint32 showCoders = 1;
    qint32 showDecoders = 1;
    CSettingsWindow window;
    CSettingsCore core;
    CSettingsGeneral general;
    CSettingsDatabase database;
    CSettingsDevice device;
    CSettingsLibrary library;
};

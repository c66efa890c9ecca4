#include "settings/settings_set.h"

#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

using namespace Qt::StringLiterals;

bool CSettingsWindow::Exchange(bool continueOnError, CSettingsStorage* storage, bool save,
                               bool reset)
{
    CSettingsExchange values(continueOnError, storage, save, reset);
    return values.Bytes(u"Placement"_s, placement) && values.Result();
}

bool CSettingsCore::Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset)
{
    CSettingsExchange values(continueOnError, storage, save, reset);
    return values.Int32(u"Priority"_s, priority, 1) &&
           values.Int32(u"ThreadsCount"_s, threadsCount, 1) && values.Result();
}

CSettingsGeneral::CSettingsGeneral() : outputFolder(DefaultOutputFolder())
{
}

QString CSettingsGeneral::DefaultOutputFolder()
{
    QString folder = os::HomeFolder();
    AddBackslash(folder);
    return folder;
}

QString CSettingsGeneral::ResultFolder(const QString& programFolder) const
{
    if (outputFolderSameAsOriginal != 0)
        return {};
    QString folder = CleanedSettingPath(outputFolder);
    if (!folder.isEmpty() && QDir::isRelativePath(folder))
        folder = QDir(programFolder).absoluteFilePath(folder);
    AddBackslash(folder);
    return folder;
}

bool CSettingsGeneral::IsOutputFolderMissing() const
{
    return outputFolderSameAsOriginal == 0 && CleanedSettingPath(outputFolder).isEmpty();
}

bool CSettingsGeneral::Exchange(bool continueOnError, CSettingsStorage* storage, bool save,
                                bool reset)
{
    CSettingsExchange values(continueOnError, storage, save, reset);
    return values.String(u"OutputFolder"_s, outputFolder, DefaultOutputFolder()) &&
           values.Int32(u"RememberFileList"_s, rememberFileList, 1) &&
           values.Int32(u"OutputFolderSameAsOriginal"_s, outputFolderSameAsOriginal, 1) &&
           values.Int32(u"ShowWarnings"_s, showWarnings, 1) &&
           values.Int32(u"AddOnlyExists"_s, addOnlyExists, 1) &&
           values.Int32(u"CopyTags"_s, copyTags, 1) &&
           values.Int32(u"AtomicOutputs"_s, atomicOutputs, 1) &&
           values.Int32(u"SkipUpToDate"_s, skipUpToDate, 1) &&
           values.Int32(u"StartLongFilesFirst"_s, startLongFilesFirst, 1) &&
           values.Int32(u"KeepFolderStructure"_s, keepFolderStructure, 0) &&
           values.Int32(u"ReplayGain"_s, replayGain, 0) &&
           values.Int32(u"ReplayGainAlbum"_s, replayGainAlbum, 1) &&
           values.Int32(u"DirectInput"_s, directInput, 1) &&
           values.String(u"NamePattern"_s, namePattern, QString()) &&
           values.Int32(u"FatSafeNames"_s, fatSafeNames, 0) &&
           values.Int32(u"NumberSharedNames"_s, numberSharedNames, 0) &&
           values.String(u"Language"_s, language, QString()) &&
           values.Int32(u"KeepAwake"_s, keepAwake, 1) &&
           values.Int32(u"NotifyWhenDone"_s, notifyWhenDone, 1) &&
           values.Int32(u"CueGaps"_s, cueGaps, 0) &&
           values.String(u"CueEncoding"_s, cueEncoding, QString()) &&
           values.Int32(u"CopyCovers"_s, copyCovers, 1) &&
           values.Int32(u"ShrinkPictures"_s, shrinkPictures, 0) &&
           values.Int32(u"PictureMaxSize"_s, pictureMaxSize, 600) &&
           values.String(u"CopyAlongPatterns"_s, copyAlongPatterns, QString()) &&
           values.Int32(u"CopySameFormat"_s, copySameFormat, 0) &&
           values.Int32(u"LossyToLossy"_s, lossyToLossy, 0) && ExchangeRecentPatterns(values) &&
           values.Result();
}

int CSettingsGeneral::PictureMaxSide() const
{
    // A size too small to show anything is taken as the smallest a player's list shows.
    constexpr int kSmallestSide = 32;
    return shrinkPictures != 0 ? std::max(kSmallestSide, int(pictureMaxSize)) : 0;
}

bool CSettingsGeneral::ExchangeRecentPatterns(CSettingsExchange& values)
{
    QStringList patterns = recentNamePatterns;
    patterns.resize(kRecentNamePatterns);
    for (int i = 0; i < kRecentNamePatterns; ++i) {
        if (!values.String(u"RecentNamePattern%1"_s.arg(i + 1), patterns[i], QString()))
            return false;
    }
    patterns.removeAll(QString());
    recentNamePatterns = patterns;
    return true;
}

void CSettingsGeneral::RememberNamePattern(const QString& pattern)
{
    recentNamePatterns.removeAll(pattern);
    if (!pattern.isEmpty())
        recentNamePatterns.prepend(pattern);
    recentNamePatterns = recentNamePatterns.mid(0, kRecentNamePatterns);
}

bool CSettingsDatabase::Exchange(bool continueOnError, CSettingsStorage* storage, bool save,
                                 bool reset)
{
    CSettingsExchange values(continueOnError, storage, save, reset);
    return values.Int32(u"FindByFileName"_s, findByFileName, 0) && values.Result();
}

bool CSettingsDevice::Exchange(bool continueOnError, CSettingsStorage* storage, bool save,
                               bool reset)
{
    CSettingsExchange values(continueOnError, storage, save, reset);
    return values.Int32(u"MaxSampleRate"_s, maxSampleRate, 0) &&
           values.Int32(u"MaxBitDepth"_s, maxBitDepth, 0) &&
           values.Int32(u"Channels"_s, channels, 0) &&
           values.Int32(u"VerifyLossless"_s, verifyLossless, 1) && values.Result();
}

CSettingsSet::CSettingsSet()
{
    Exchange(true, nullptr, false, true);
}

bool CSettingsSet::Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset)
{
    CSettingsExchange values(continueOnError, storage, save, reset);
    return values.Int32(u"CoderIndex"_s, coderIndex, 0) &&
           values.Int32(u"PresetIndex"_s, presetIndex, 0) &&
           values.Int32(u"OptionsInitialPage"_s, optionsInitialPage, 0) &&
           values.Int32(u"FilterIndex"_s, filterIndex, 0) &&
           values.Int32(u"ShowCoders"_s, showCoders, 1) &&
           values.Int32(u"ShowDecoders"_s, showDecoders, 1) &&
           values.Settings(u"Window"_s, window) && values.Settings(u"Core"_s, core) &&
           values.Settings(u"General"_s, general) && values.Settings(u"Database"_s, database) &&
           values.Settings(u"Device"_s, device) && values.Settings(u"Library"_s, library) &&
           values.Result();
}

QString CSettingsSet::NewUserOutputFolder()
{
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = AppendPath(os::HomeFolder(), u"Music"_s);
    QString folder = AppendPath(music, u"orvel"_s);
    AddBackslash(folder);
    return folder;
}

QString CSettingsSet::FilePath(const QString& programFolder)
{
    return AppendPath(programFolder, QString::fromUtf16(kFileName));
}

bool CSettingsSet::LoadFromFile(const QString& path)
{
    CSettingsStorageIniFile storage(path, QString::fromUtf16(kSectionName));
    const bool loaded = Load(storage);
    core.threadsCount = std::clamp(core.threadsCount, 1, CSettingsCore::kMaxThreadsCount);
    if (core.priority < 0 || core.priority > 3)
        core.priority = 1;
    return loaded;
}

CSettingsSet::LoadResult CSettingsSet::LoadFromProgramFolder(const QString& programFolder)
{
    const QString path = FilePath(programFolder);
    if (!PathExists(CleanedPath(path))) {
        core.threadsCount = std::min(os::ProcessorCount(), CSettingsCore::kMaxThreadsCount);
        database.findByFileName = 1;
        // The lossless first coder beside the sources made a FLAC library's first Start a row
        // of warnings that converted nothing.
        coderIndex = kNewUserCoderIndex;
        presetIndex = kNewUserPresetIndex;
        general.outputFolder = NewUserOutputFolder();
        general.outputFolderSameAsOriginal = 0;
        general.keepFolderStructure = 1;
        return LoadResult::Missing;
    }
    // The storage reads a file it cannot open as an empty one; that is a failed load.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || !LoadFromFile(path))
        return LoadResult::Failed;
    return LoadResult::Read;
}

bool CSettingsSet::SaveToFile(const QString& path, QString* errorText)
{
    CSettingsStorageIniFile storage(path, QString::fromUtf16(kSectionName));
    const bool ok = Save(storage);
    if (!ok && errorText) {
        *errorText = storage.ErrorText();
        if (errorText->isEmpty())
            *errorText = u"A value could not be stored in %1"_s.arg(path);
    }
    return ok;
}

#include "batch/batch_run.h"

#include "batch/shell_line.h"
#include "codecs/codec_installation.h"
#include "filelist/folder_walk.h"
#include "foundation/command_line.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "report/run_report.h"
#include "report/time_estimate.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <QTimer>
#include <csignal>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// The bar is redrawn (and a caught signal noticed) this often.
constexpr int kTickMs = 200;
constexpr char16_t kDatabaseName[] = u"Base.xml";

QString InFolder(const QString& folder, const QString& name)
{
    return folder + os::kPathSeparator + name;
}

} // namespace

CBatchRun::CBatchRun(QTextStream& output, QTextStream& errors)
    : out(output), err(errors), terminal(os::StandardErrorIsTerminal())
{
    files.SetPropertyCache(&propertyCache);
}

int CBatchRun::Run(const CBatchOptions& options)
{
    programFolder = QDir(options.programFolder).absolutePath();
    oneJob = options.job;
    if (oneJob)
        terminal = false;
    if (!LoadProgramFolder(programFolder))
        return kBadArguments;
    if (options.listCoders) {
        ListCoders();
        return kAllConverted;
    }
    if (options.replayGain >= 0) {
        settings.general.replayGain = options.replayGain > 0 ? 1 : 0;
        settings.general.replayGainAlbum = options.replayGain == 2 ? 1 : 0;
    }
    // One file is no album: a --jobs line writes track values only.
    if (oneJob)
        settings.general.replayGainAlbum = 0;
    QString outputFolder;
    if (!SelectCoder(options))
        return kBadArguments;
    // A coder whose program is missing would fail every file: refused once, before reading any.
    if (const CodecInstallation installed = InstallationOf(*coder);
        !installed.installed && !options.dryRun && !options.jobs) {
        err << "orvel-batch: " << coder->GetName()
            << " cannot be used: " << NotInstalledText(installed) << '\n';
        return kSomeFailed;
    }
    if (options.cueGaps >= 0)
        settings.general.cueGaps = options.cueGaps;
    ApplyCompanionOptions(options, settings.general);
    ApplyCopyRuleOptions(options, settings.general);
    if (!options.cueEncoding.isEmpty())
        settings.general.cueEncoding = options.cueEncoding;
    ApplyDeviceOptions(options);
    files.SetSheetOptions({CueGapModeOf(settings.general.cueGaps), settings.general.cueEncoding});
    if (!ResolveOutputFolder(options, outputFolder) || !SelectNaming(options))
        return kBadArguments;
    if (options.sync)
        return Sync(options, outputFolder);
    if (!AddInputs(options.inputs))
        return kBadArguments;
    ReportSheetProblems();
    if (options.track >= 0 && !KeepOnlyTrack(options.track))
        return kBadArguments;
    if (const int signal = os::CaughtStopSignal(); signal != 0) {
        PrintSummary(0, signal);
        return ExitStatus(signal);
    }

    session = std::make_unique<CConversionSession>(settings, programFolder, decoders, core);
    QObject::connect(session.get(), &CConversionSession::FileStateChanged, session.get(),
                     [this](int index, FileState state) { OnFileState(index, state); });
    QList<CFileInfo*> sources;
    for (qsizetype i = 0; i < files.Count(); ++i)
        sources << files.At(i);
    session->SetSources(sources);
    session->SetOverrides(OverridesOf(options, outputFolder));
    const bool decodeOnly = coder == coders.back().get();
    session->Plan({}, decodeOnly ? nullptr : coder, presetIndex, decodeOnly);
    // --overwrite neither skips results that are up to date nor spares existing files.
    session->Sort();
    if (!options.dryRun && !options.jobs)
        return Convert(options.overwrite);
    session->Start(options.overwrite);
    const QList<CFileInfo*> ordered = FilesInStartOrder();
    if (options.dryRun)
        PrintCommandLines(ordered);
    else
        PrintShellLines(ordered, options);
    out.flush();
    if (options.jobs)
        err << ordered.size() << " job lines, " << tally.leftOut << " left out, " << tally.upToDate
            << " up to date, " << tally.notAudio << " not audio\n";
    return ExitStatus(0);
}

bool CBatchRun::LoadProgramFolder(const QString& folder)
{
    // Read as the window reads it, never written: the desktop program owns this file.
    if (settings.LoadFromProgramFolder(folder) == CSettingsSet::LoadResult::Failed) {
        err << "orvel-batch: " << CSettingsSet::FilePath(folder) << " could not be read\n";
        return false;
    }
    const QString databasePath = InFolder(folder, QString::fromUtf16(kDatabaseName));
    if (!LoadDatabase(database, databasePath)) {
        err << "orvel-batch: the database " << databasePath << " failed to load\n";
        return false;
    }
    DiscoverCodecs(folder, database, coders, decoders, settings.database.findByFileName == 1,
                   QString::fromUtf16(kDecodeOnlyName));
    return true;
}

void CBatchRun::ListCoders()
{
    for (const auto& listed : coders) {
        out << listed->GetName();
        if (const CodecInstallation installed = InstallationOf(*listed); !installed.installed)
            out << "  (" << NotInstalledText(installed) << ')';
        out << '\n';
        for (const CodecEntry& entry : listed->GetEntries())
            out << "    " << entry.name << '\n';
    }
    out.flush();
}

bool CBatchRun::SelectCoder(const CBatchOptions& options)
{
    int index = -1;
    if (options.coder.isEmpty()) {
        index = qBound(0, settings.coderIndex, int(coders.size()) - 1);
    } else {
        for (int i = 0; i < int(coders.size()) && index < 0; ++i) {
            if (coders[size_t(i)]->GetName() == options.coder)
                index = i;
        }
    }
    if (index < 0) {
        err << "orvel-batch: no coder named \"" << options.coder << "\" (see --list-coders)\n";
        return false;
    }
    coder = coders[size_t(index)].get();
    const QList<CodecEntry>& presets = coder->GetEntries();
    const bool isDecodeOnly = index == int(coders.size()) - 1;
    if (isDecodeOnly)
        return true;
    if (options.preset.isEmpty()) {
        presetIndex =
            options.coder.isEmpty() ? qBound(0, settings.presetIndex, int(presets.size()) - 1) : 0;
    } else {
        for (int i = 0; i < presets.size() && presetIndex < 0; ++i) {
            if (presets[i].name == options.preset)
                presetIndex = i;
        }
    }
    if (presetIndex < 0 || presetIndex >= presets.size()) {
        err << "orvel-batch: \"" << coder->GetName() << "\" has no preset named \""
            << options.preset << "\" (see --list-coders)\n";
        return false;
    }
    return true;
}

bool CBatchRun::AddInputs(const QStringList& inputs)
{
    const ReadProgress progress = [this](qsizetype done, qsizetype total) {
        if (terminal)
            err << "\rReading " << done << " of " << total << " files" << Qt::flush;
        return os::CaughtStopSignal() == 0;
    };
    // Files named one by one (a shell's glob) are read together, as a folder's are: on all
    // cores, and with the properties cache asked once.
    QStringList pending;
    const auto addPending = [&] {
        QStringList notOpened;
        files.AddPaths(pending, pending.size() > 1 ? progress : ReadProgress(), &notOpened);
        for (const QString& path : std::as_const(notOpened))
            Report(path, u"cannot be read"_s);
        if (terminal && pending.size() > 1)
            err << '\n';
        pending.clear();
    };
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        const QString path = info.absoluteFilePath();
        if (info.isDir()) {
            addPending();
            AddFolder(path, progress);
        } else if (!info.exists() && !info.isSymLink()) {
            err << "orvel-batch: no such file or folder: " << input << '\n';
            return false;
        } else {
            pending << FoldDoubledSeparators(path);
        }
    }
    addPending();
    return true;
}

// A sheet that splits nothing leaves its image whole (a warning), or adds nothing itself.
void CBatchRun::ReportSheetProblems()
{
    for (const SheetProblem& problem : files.TakeSheetProblems()) {
        if (ExtensionPart(problem.path).compare(u"cue"_s, Qt::CaseInsensitive) == 0)
            Report(problem.path, problem.reason);
        else
            err << "warning: " << problem.path << ": " << problem.reason << '\n';
    }
}

bool CBatchRun::KeepOnlyTrack(int number)
{
    for (qsizetype i = files.Count() - 1; i >= 0; --i) {
        const CFileInfo* file = files.At(i);
        if (!file->track || file->track->number != number)
            files.RemoveAt(i);
    }
    if (files.Count() == 1)
        return true;
    err << "orvel-batch: the album image has no track " << number << '\n';
    return false;
}

void CBatchRun::AddFolder(const QString& folder, const ReadProgress& progress)
{
    const FolderWalk walk = WalkFolder(
        folder, [] { return os::CaughtStopSignal() == 0; }, &listedFolders);
    for (const FolderWalk::Passed& passed : walk.notRead)
        Report(passed.path, passed.reason);
    for (const QString& hidden : walk.hiddenFolders)
        err << "not read: " << hidden << ": a hidden folder\n";
    QStringList paths = walk.files;
    for (QString& path : paths)
        path = FoldDoubledSeparators(path);
    const qsizetype before = files.Count();
    QStringList notOpened;
    files.AddWalkedPaths(paths, progress, &notOpened, &listedFolders);
    for (qsizetype i = before; i < files.Count(); ++i)
        foundInFolders.insert(files.At(i));
    for (const QString& path : std::as_const(notOpened))
        Report(path, u"cannot be read"_s);
    if (terminal)
        err << '\n';
}

bool CBatchRun::ResolveOutputFolder(const CBatchOptions& options, QString& folder)
{
    folder.clear();
    if (!options.output.isEmpty()) {
        folder = QDir(options.output).absolutePath();
        AddBackslash(folder);
        return true;
    }
    if (options.besideSource)
        return true;
    if (settings.general.IsOutputFolderMissing()) {
        err << "orvel-batch: Settings.ini names no output folder and results are not to go "
               "beside their sources: give --output or --beside-source\n";
        return false;
    }
    folder = settings.general.ResultFolder(programFolder);
    return true;
}

bool CBatchRun::SelectNaming(const CBatchOptions& options)
{
    pattern = CNamePattern(options.resultName.isEmpty() ? options.namePatternGiven
                                                              ? options.namePattern
                                                              : settings.general.namePattern
                                                        : QString());
    if (pattern.IsValid())
        return true;
    err << "orvel-batch: the name pattern " << (options.namePatternGiven ? "" : "of Settings.ini ")
        << "is not valid: " << pattern.Error() << '\n';
    return false;
}

void CBatchRun::ApplyDeviceOptions(const CBatchOptions& options)
{
    CSettingsDevice& device = settings.device;
    for (const auto& [given, setting] : {std::pair{options.maxSampleRate, &device.maxSampleRate},
                                         std::pair{options.maxBitDepth, &device.maxBitDepth},
                                         std::pair{options.channels, &device.channels},
                                         std::pair{options.verify, &device.verifyLossless}}) {
        if (given >= 0)
            *setting = given;
    }
}

void CBatchRun::Close()
{
    session.reset();
    if (librarySync)
        librarySync->CloseRecord();
    core.Stop();
    core.WaitForWorkers(std::numeric_limits<int>::max());
}

SessionOverrides CBatchRun::OverridesOf(const CBatchOptions& options,
                                        const QString& outputFolder) const
{
    SessionOverrides overrides;
    overrides.outputFolder = outputFolder;
    overrides.listedFolders = &listedFolders;
    if (options.keepFolders >= 0)
        overrides.keepFolders = options.keepFolders != 0;
    if (options.fatSafeNames >= 0)
        overrides.fatSafeNames = options.fatSafeNames != 0;
    if (options.numberShared >= 0)
        overrides.numberSharedNames = options.numberShared != 0;
    if (options.namePatternGiven)
        overrides.namePattern = options.namePattern;
    overrides.resultName = options.resultName;
    if (options.longFilesFirst >= 0)
        overrides.longFilesFirst = options.longFilesFirst != 0;
    if (oneJob)
        overrides.threads = 1;
    else if (options.threads > 0)
        overrides.threads = options.threads;
    overrides.overwrite = options.overwrite;
    if (options.allowSleep)
        overrides.keepAwake = false;
    // Job lines may run on other machines, whose runtime folders are not ours.
    overrides.plansForElsewhere = options.jobs;
    overrides.dryRun = options.dryRun || options.jobs;
    overrides.showPrograms = false;
    return overrides;
}

int CBatchRun::Convert(bool overwrite)
{
    QElapsedTimer clock;
    clock.start();
    int stopSignal = 0;
    QEventLoop loop;
    QTimer tick;
    // Signals are caught as a flag; the tick notices one and redraws the bar.
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        runMs = clock.elapsed();
        if (const int signal = os::CaughtStopSignal(); signal != 0 && stopSignal == 0) {
            // As Stop in the window: programs ended, hidden results and WAVs removed.
            stopSignal = signal;
            session->Stop();
        }
        ShowProgress(runMs);
        out.flush();
    });
    QObject::connect(session.get(), &CConversionSession::RunEnded, &loop, [&] { loop.quit(); });
    const bool started = session->Start(overwrite);
    if (!session->FolderNotMade().isEmpty())
        err << "orvel-batch: cannot create the folder " << session->FolderNotMade() << '\n';
    if (started) {
        runMs = 0;
        tick.start(kTickMs);
        ShowProgress(0);
        loop.exec();
    }
    // After a stop the workers are still removing what they cut short.
    core.WaitForWorkers(10000);
    runMs = -1;
    if (terminal)
        err << "\r\033[K" << Qt::flush;
    PrintCompanions();
    PrintSummary(clock.elapsed(), stopSignal);
    return ExitStatus(stopSignal);
}

void CBatchRun::PrintCompanions()
{
    for (const QString& note : session->CompanionNotes())
        err << "warning: " << note << '\n';
    if (session->CompanionsCopied() > 0)
        out << session->CompanionsCopied() << " copied along (covers and the files named)\n";
}

// What a converted result lacks (tags, ReplayGain values) though its audio is whole.

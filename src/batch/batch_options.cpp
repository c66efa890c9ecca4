#include "batch/batch_options.h"

#include "settings/settings_set.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace {

// The options that are plain flags, those that override a setting and those that take a value,
// each named once: the parser learns them from here and the results are read back from here.
struct CFlag
{
    const char16_t* name;
    bool CBatchOptions::*flag;
};
constexpr CFlag kFlags[] = {
    {u"list-coders", &CBatchOptions::listCoders},
    {u"dry-run", &CBatchOptions::dryRun},
    {u"jobs", &CBatchOptions::jobs},
    {u"job", &CBatchOptions::job},
    {u"overwrite", &CBatchOptions::overwrite},
    {u"allow-sleep", &CBatchOptions::allowSleep},
    {u"help", &CBatchOptions::help},
    {u"version", &CBatchOptions::version},
    {u"beside-source", &CBatchOptions::besideSource},
    {u"sync", &CBatchOptions::sync},
    {u"delete", &CBatchOptions::deleteGone},
    {u"delete-many", &CBatchOptions::deleteMany},
};

// Without these the setting holds; of two that set one value, the later on the line wins.
struct COverride
{
    const char16_t* name;
    int CBatchOptions::*setting;
    int value;
};
constexpr COverride kOverrides[] = {
    {u"keep-folders", &CBatchOptions::keepFolders, 1},
    {u"flat", &CBatchOptions::keepFolders, 0},
    {u"fat-safe-names", &CBatchOptions::fatSafeNames, 1},
    {u"number-shared", &CBatchOptions::numberShared, 1},
    {u"long-first", &CBatchOptions::longFilesFirst, 1},
    {u"list-order", &CBatchOptions::longFilesFirst, 0},
    {u"verify", &CBatchOptions::verify, 1},
    {u"no-verify", &CBatchOptions::verify, 0},
    {u"covers", &CBatchOptions::covers, 1},
    {u"no-covers", &CBatchOptions::covers, 0},
    {u"copy-same-format", &CBatchOptions::copySameFormat, 1},
    {u"convert-same-format", &CBatchOptions::copySameFormat, 0},
};

// An option that takes one of a few words, each standing for a number of the setting.
struct CChoice
{
    const char16_t* name;
    const char16_t* valueName;
    int CBatchOptions::*setting;
    QStringList words;
    QList<int> numbers;
};

const QList<CChoice>& Choices()
{
    // A row an option: the table reads as the options do.
    // clang-format off
    static const QList<CChoice> choices = {
        {u"replaygain", u"scope", &CBatchOptions::replayGain, {u"off"_s, u"track"_s, u"album"_s}, {0, 1, 2}},
        {u"cue-gaps", u"place", &CBatchOptions::cueGaps, {u"previous"_s, u"own"_s, u"none"_s}, {0, 1, 2}},
        {u"lossy", u"rule", &CBatchOptions::lossy, {u"convert"_s, u"copy"_s, u"leave-out"_s}, {0, 1, 2}},
        {u"max-rate", u"limit", &CBatchOptions::maxSampleRate, {u"keep"_s, u"96"_s, u"48"_s, u"44.1"_s}, {0, 96000, 48000, 44100}},
        {u"max-bits", u"limit", &CBatchOptions::maxBitDepth, {u"keep"_s, u"24"_s, u"16"_s}, {0, 24, 16}},
        {u"channels", u"limit", &CBatchOptions::channels, {u"keep"_s, u"stereo"_s, u"mono"_s}, {0, 2, 1}},
    };
    // clang-format on
    return choices;
}

// "a, b or c"
QString Alternatives(const QStringList& words)
{
    return words.size() < 2
               ? words.join(QString())
               : words.mid(0, words.size() - 1).join(u", "_s) + u" or "_s + words.last();
}

bool ReadChoices(const QCommandLineParser& parser, CBatchOptions& options, QString& error)
{
    for (const CChoice& choice : Choices()) {
        const QString name = QString::fromUtf16(choice.name);
        if (!parser.isSet(name))
            continue;
        const QString word = parser.value(name);
        const qsizetype index = choice.words.indexOf(word);
        if (index < 0) {
            error = u"--%1 takes %2, not \"%3\""_s.arg(name, Alternatives(choice.words), word);
            return false;
        }
        options.*choice.setting = choice.numbers[index];
    }
    return true;
}

struct CValue
{
    const char16_t* name;
    QString CBatchOptions::*value;
};
constexpr CValue kValues[] = {
    {u"coder", &CBatchOptions::coder},
    {u"preset", &CBatchOptions::preset},
    {u"output", &CBatchOptions::output},
    {u"program-folder", &CBatchOptions::programFolder},
    {u"result-name", &CBatchOptions::resultName},
    {u"name-pattern", &CBatchOptions::namePattern},
    {u"cue-encoding", &CBatchOptions::cueEncoding},
    {u"copy-along", &CBatchOptions::copyAlong},
};

QString NameOf(const char16_t* name)
{
    return QString::fromUtf16(name);
}

void AddOptions(QCommandLineParser& parser)
{
    // The help text is BatchUsage(); the parser only reads the line.
    for (const CFlag& flag : kFlags) {
        QStringList names{NameOf(flag.name)};
        if (flag.flag == &CBatchOptions::help)
            names.prepend(u"h"_s);
        parser.addOption(QCommandLineOption(names));
    }
    for (const COverride& option : kOverrides)
        parser.addOption(QCommandLineOption(NameOf(option.name)));
    for (const CValue& option : kValues)
        parser.addOption(QCommandLineOption(NameOf(option.name), QString(), u"value"_s));
    parser.addOption(QCommandLineOption(u"threads"_s, QString(), u"count"_s));
    parser.addOption(QCommandLineOption(u"track"_s, QString(), u"number"_s));
    for (const CChoice& choice : Choices())
        parser.addOption(QCommandLineOption(NameOf(choice.name), QString(),
                                            QString::fromUtf16(choice.valueName)));
    parser.addOption(QCommandLineOption(u"picture-size"_s, QString(), u"pixels"_s));
}

bool ReadNumbers(const QCommandLineParser& parser, CBatchOptions& options, QString& error)
{
    if (parser.isSet(u"track"_s)) {
        const QString text = parser.value(u"track"_s);
        bool ok = false;
        options.track = text.toInt(&ok);
        if (!ok || options.track < 0) {
            error = u"--track takes a track's number, not \"%1\""_s.arg(text);
            return false;
        }
    }
    if (!ReadChoices(parser, options, error))
        return false;
    if (parser.isSet(u"picture-size"_s)) {
        const QString text = parser.value(u"picture-size"_s);
        bool ok = false;
        options.pictureSize = text.toInt(&ok);
        if (!ok || options.pictureSize < 0 ||
            (options.pictureSize > 0 && options.pictureSize < 32)) {
            error =
                u"--picture-size takes 0 (as they are) or pixels from 32, not \"%1\""_s.arg(text);
            return false;
        }
    }
    if (parser.isSet(u"threads"_s)) {
        const QString text = parser.value(u"threads"_s);
        bool ok = false;
        options.threads = text.toInt(&ok);
        if (!ok || options.threads < 1 || options.threads > 64) {
            error = u"--threads takes a number from 1 to 64, not \"%1\""_s.arg(text);
            return false;
        }
    }
    return true;
}

// What the line asks for, as the table names it.
bool ReadOptions(const QCommandLineParser& parser, CBatchOptions& options, QString& error)
{
    for (const CFlag& flag : kFlags)
        options.*flag.flag = parser.isSet(NameOf(flag.name));
    // In the order given, so that "--flat --keep-folders" keeps the folders.
    for (const QString& name : parser.optionNames()) {
        for (const COverride& option : kOverrides) {
            if (name == NameOf(option.name))
                options.*option.setting = option.value;
        }
    }
    for (const CValue& option : kValues)
        options.*option.value = parser.value(NameOf(option.name));
    options.namePatternGiven = parser.isSet(u"name-pattern"_s);
    options.copyAlongGiven = parser.isSet(u"copy-along"_s);
    options.inputs = parser.positionalArguments();
    return ReadNumbers(parser, options, error);
}

// The values a --jobs line escapes.
bool UnescapeJobValues(CBatchOptions& options, QString& error)
{
    for (QString* value :
         {&options.programFolder, &options.output, &options.resultName, &options.coder,
          &options.preset, &options.cueEncoding, &options.copyAlong}) {
        if (!JobLineUnescape(*value, *value)) {
            error = u"a badly escaped value: %1"_s.arg(*value);
            return false;
        }
    }
    for (QString& input : options.inputs) {
        if (!JobLineUnescape(input, input)) {
            error = u"a badly escaped file name: %1"_s.arg(input);
            return false;
        }
    }
    if (options.inputs.size() != 1) {
        error = u"--job converts exactly one file"_s;
        return false;
    }
    return true;
}

// A sync keeps one folder as a copy of the library folders: it needs that folder, and
// converts here.
bool CheckSyncArguments(const CBatchOptions& options, QString& error)
{
    if (!options.sync) {
        if (options.deleteGone || options.deleteMany) {
            error = u"--delete and --delete-many belong to --sync"_s;
            return false;
        }
        return true;
    }
    if (options.output.isEmpty()) {
        error = u"--sync needs the copy's folder: --output DIR"_s;
        return false;
    }
    if (options.jobs || options.job || options.besideSource || options.overwrite ||
        !options.resultName.isEmpty()) {
        error = u"--sync keeps its copy itself: --jobs, --job, --beside-source, --overwrite and "
                u"--result-name do not go with it"_s;
        return false;
    }
    return true;
}

} // namespace

void ApplyCompanionOptions(const CBatchOptions& options, CSettingsGeneral& general)
{
    if (options.covers >= 0)
        general.copyCovers = options.covers;
    if (options.pictureSize >= 0) {
        general.shrinkPictures = options.pictureSize > 0 ? 1 : 0;
        if (options.pictureSize > 0)
            general.pictureMaxSize = options.pictureSize;
    }
    if (options.copyAlongGiven)
        general.copyAlongPatterns = options.copyAlong;
}

void ApplyCopyRuleOptions(const CBatchOptions& options, CSettingsGeneral& general)
{
    if (options.copySameFormat >= 0)
        general.copySameFormat = options.copySameFormat;
    if (options.lossy >= 0)
        general.lossyToLossy = options.lossy;
}

QString JobLineEscape(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'%' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            escaped += u"%%1"_s.arg(c.unicode(), 2, 16, QChar(u'0')).toUpper();
        else
            escaped += c;
    }
    return escaped;
}

bool JobLineUnescape(const QString& escaped, QString& value)
{
    QString plain;
    plain.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != u'%') {
            plain += escaped[i];
            continue;
        }
        bool ok = false;
        const uint code = escaped.mid(i + 1, 2).toUInt(&ok, 16);
        if (!ok || i + 2 >= escaped.size())
            return false;
        plain += QChar(code);
        i += 2;
    }
    value = plain;
    return true;
}

bool ParseBatchArguments(const QStringList& arguments, CBatchOptions& options, QString& error)
{
    QCommandLineParser parser;
    AddOptions(parser);
    // The parser takes the program's name first.
    if (!parser.parse(QStringList{u"orvel-batch"_s} + arguments)) {
        error = parser.errorText();
        return false;
    }
    if (!ReadOptions(parser, options, error))
        return false;
    if (options.help || options.version || options.listCoders)
        return true;
    if (options.job && !UnescapeJobValues(options, error))
        return false;
    // A name of one component, never a way out of the output folder.
    if (!options.resultName.isEmpty() &&
        (!options.job || options.resultName.contains(u'/') || options.resultName == u"."_s ||
         options.resultName == u".."_s)) {
        error = u"--result-name is a file name for a --job line"_s;
        return false;
    }
    if (parser.isSet(u"output"_s) && options.output.trimmed().isEmpty()) {
        // An unset variable in a script: writing beside the sources instead is no answer.
        error = u"--output needs a folder"_s;
        return false;
    }
    if (options.inputs.isEmpty()) {
        error = u"no files or folders to convert"_s;
        return false;
    }
    if (options.besideSource && !options.output.isEmpty()) {
        error = u"--output and --beside-source exclude each other"_s;
        return false;
    }
    if (options.jobs && options.replayGain == 2) {
        error =
            u"--replaygain album needs all of an album in one run: --jobs lines convert one file each"_s;
        return false;
    }
    if (!CheckSyncArguments(options, error))
        return false;
    if (options.track >= 0 && !options.job) {
        error = u"--track picks one track of an album image for a --job line"_s;
        return false;
    }
    if (int(options.dryRun) + int(options.jobs) + int(options.job) > 1) {
        error = u"--dry-run, --jobs and --job exclude each other"_s;
        return false;
    }
    return true;
}

QString BatchUsage()
{
    return uR"(Usage: orvel-batch [OPTIONS] FILES or FOLDERS...
       orvel-batch --sync --output DIR [--delete] [OPTIONS] FOLDERS...

Converts audio files with the coders of orvel's program folder, without a display.
Folders are read with every file below them. What is not given here comes from
Settings.ini, which orvel-batch reads as the window does and never writes.

  --coder NAME          the coder, as --list-coders names it
  --preset NAME         one of its presets (default: the saved one, else the first)
  --output DIR          write the results into DIR
  --beside-source       write each result beside its source
  --keep-folders        below DIR, keep the folders of the sources (--flat: do not)
  --name-pattern TEXT   name results from their tags, as "<albumartist>/<album>/
                        [<disc>-]<track> - <title>" (default: the saved pattern;
                        "" names them after their sources); see the manual
  --fat-safe-names      names from tags avoid what FAT and exFAT refuse
  --number-shared       number a name from tags that an earlier file has (default:
                        leave that file out)
  --threads N           programs that run at the same time (1 to 64)
  --long-first          start the longest files first (--list-order: in the order given)
  --overwrite           replace results that exist already (default: leave those out)
  --replaygain SCOPE    write ReplayGain values: track, album (track and album) or off
  --allow-sleep         let the machine sleep during the run (default: kept awake)
  --cue-gaps PLACE      where an album image's gaps (INDEX 00 to INDEX 01) go:
                        previous (the end of the track before; the default of
                        Settings.ini), own (the start of their own track) or none
  --cue-encoding NAME   read cue sheets in this encoding, as "windows-1252" or
                        "Shift_JIS" (default: found from each sheet's bytes)
  --max-rate RATE       highest sample rate for the device: 96, 48, 44.1 (kHz) or
                        keep; a source above it is resampled by sox to its family
                        (88.2 and 176.4 to 44.1, 96 and 192 to 48)
  --max-bits BITS       highest bit depth: 24, 16 (with dither) or keep
  --channels LAYOUT     stereo (the ITU downmix), mono or keep
  --verify              decode a lossless coder's result again and compare its samples
                        with the source's (--no-verify: do not; default: Settings.ini)
  --no-covers           leave the source folder's cover behind (--covers: copy it
                        into each result folder, the default of Settings.ini)
  --picture-size N      make copied covers and the pictures in results baseline JPEGs
                        of at most N pixels a side (0: as they are)
  --copy-along PATTERNS copy the files these patterns name along too, as "*.log;*.pdf"
                        ("" none; default: the saved patterns)
  --copy-same-format    copy a source already in the coder's format as it is, to
                        its result's name (--convert-same-format: convert it)
  --lossy RULE          a lossy source (MP3, AAC, Vorbis, Opus) into a lossy coder:
                        convert, copy (as it is, with its own extension) or
                        leave-out (named with the reason); default: Settings.ini
  --list-coders         print the coders and their presets, then end
  --dry-run             print the planned command lines, convert nothing
  --jobs                print one shell line per file for GNU parallel, convert nothing
  --sync                keep DIR (--output) a copy of the FOLDERS given: see below
  --delete              with --sync: remove results whose source is gone
  --delete-many         with --delete: even when that is more than half of the copy
  --program-folder DIR  the program folder (default: the folder of orvel-batch)
  -h, --help            print this text
  --version             print the version and the licence

Every file found is accounted for: converted, up to date (its result is newer than
the source and whole), left out with the reason, failed with the reason, or not
audio (no decoder reads it: covers, logs). Left out are files that cannot be read,
names that are not UTF-8, paths longer than the system allows, FIFOs, sockets,
devices, links that lead nowhere and links to folders. Links to files are followed;
links to folders below a folder given are not (name their target to convert it),
and hidden folders (".name") are not read. A link at a result's place counts as a
result that exists: --overwrite replaces the link itself, never what it points to.

Results in a folder other than their source's get the folder's cover beside them:
folder.*, cover.* or front.* (JPEG or PNG, any case), else its first picture. A file
there that orvel did not write (its copies carry their source's time) is never
replaced; it is named. Other files stay behind unless --copy-along names them.

An album image (FLAC, APE, WavPack, WAV) with a cue sheet beside it ("Album.cue")
or inside it is converted as its tracks: each is cut from the image, decoded
once, and named and tagged from the sheet; naming the .cue file does the same. A
sheet of several audio files splits each file into the tracks that start in it.

A result counts only when it is checked: it must exist, hold audio, and last as
long as its source (within 1 %, at least 0.5 s). A verified lossless result is
printed "converted, verified"; one whose samples differ fails and is removed.
Sources within the device limits get no sox run. A result never replaces its own
source, and two files never write one result.

--jobs lines: each runs orvel-batch for one file (--job), with everything a local
run does. Values are written with "%" and control characters as %XX, so every line
is one line whatever the names hold; give the lines to GNU parallel
(... --jobs DIR | parallel --jobs 2, or with --sshloginfile over machines that share
the storage and the program's path) or to sh.

--sync: DIR is kept a copy of the library FOLDERS by the record DIR/.orvel-copy.sqlite,
with each folder's tree below it (several folders: below their common folder). New
sources are converted; sources that changed, or whose coder, preset, ReplayGain or
tag settings changed, are converted again; a renamed or moved source (same size and
audio) moves its result; a result the record still matches is up to date unread.
Results of gone sources are kept, and removed with --delete only while they are as
orvel wrote them, with the folders that leaves empty; a result changed outside orvel
is left alone and named. Nothing the record does not list is removed or replaced.
Covers orvel copied go with the last result of their folder, and the folder with them;
a file of the user's keeps it. --dry-run prints what would be added, converted
again, moved, removed, copied as it is and copied along. A sync is
refused, with the reason, when a library folder is missing or empty (a drive not
mounted), when DIR is a copy of other folders, and when more than half of the copy
would be removed without --delete-many.

SIGINT, SIGTERM and SIGHUP stop the run: programs ended, partial results and
temporary WAVs removed, the summary printed.
Exit status: 0 all converted or up to date, 1 some failed or were left out,
2 bad arguments, 3 a sync refused, 128 + the signal's number when stopped
(130 for SIGINT).
)"_s;
}

QString BatchVersion()
{
    return u"orvel-batch " ORVEL_VERSION "\n"
           u"Copyright (C) 2026 the orvel developers\n"
           u"License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>\n"
           u"This is free software: you are free to change and redistribute it.\n"
           u"There is NO WARRANTY, to the extent permitted by law.\n"_s;
}

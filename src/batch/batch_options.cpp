#include "batch/batch_options.h"

using namespace Qt::StringLiterals;

namespace {

// An option that takes a value: the value follows as the next argument or after "=".
bool TakeValue(const QStringList& arguments, qsizetype& i, const QString& inlineValue,
               QString& value, QString& error)
{
    if (!inlineValue.isNull()) {
        value = inlineValue;
        return true;
    }
    if (i + 1 >= arguments.size()) {
        error = u"%1 needs a value"_s.arg(arguments[i]);
        return false;
    }
    value = arguments[++i];
    return true;
}

bool ParseOption(const QStringList& arguments, qsizetype& i, CBatchOptions& options, QString& error)
{
    QString name = arguments[i];
    QString inlineValue;
    if (const qsizetype equals = name.indexOf(u'='); equals > 0) {
        inlineValue = name.mid(equals + 1);
        name.truncate(equals);
    }
    const struct
    {
        const char16_t* name;
        bool* flag;
    } flags[] = {
        {u"--list-coders", &options.listCoders},
        {u"--dry-run", &options.dryRun},
        {u"--jobs", &options.jobs},
        {u"--job", &options.job},
        {u"--overwrite", &options.overwrite},
        {u"--help", &options.help},
        {u"-h", &options.help},
        {u"--beside-source", &options.besideSource},
    };
    for (const auto& flag : flags) {
        if (name == QStringView(flag.name) && inlineValue.isNull()) {
            *flag.flag = true;
            return true;
        }
    }
    // Options that override a setting; without them the setting holds.
    const struct
    {
        const char16_t* name;
        int* setting;
        int value;
    } overrides[] = {
        {u"--keep-folders", &options.keepFolders, 1},
        {u"--flat", &options.keepFolders, 0},
        {u"--fat-safe-names", &options.fatSafeNames, 1},
        {u"--number-shared", &options.numberShared, 1},
    };
    for (const auto& option : overrides) {
        if (name == QStringView(option.name) && inlineValue.isNull()) {
            *option.setting = option.value;
            return true;
        }
    }
    if (name == u"--name-pattern"_s) {
        options.namePatternGiven = true;
        return TakeValue(arguments, i, inlineValue, options.namePattern, error);
    }
    if (name == u"--long-first"_s && inlineValue.isNull()) {
        options.longFilesFirst = 1;
        return true;
    }
    if (name == u"--list-order"_s && inlineValue.isNull()) {
        options.longFilesFirst = 0;
        return true;
    }
    const struct
    {
        const char16_t* name;
        QString* value;
    } values[] = {
        {u"--coder", &options.coder},
        {u"--preset", &options.preset},
        {u"--output", &options.output},
        {u"--program-folder", &options.programFolder},
        {u"--result-name", &options.resultName},
    };
    for (const auto& option : values) {
        if (name == QStringView(option.name))
            return TakeValue(arguments, i, inlineValue, *option.value, error);
    }
    if (name == u"--replaygain"_s) {
        QString scope;
        if (!TakeValue(arguments, i, inlineValue, scope, error))
            return false;
        const QStringList scopes = {u"off"_s, u"track"_s, u"album"_s};
        options.replayGain = int(scopes.indexOf(scope));
        if (options.replayGain < 0)
            error = u"--replaygain takes off, track or album, not \"%1\""_s.arg(scope);
        return options.replayGain >= 0;
    }
    if (name == u"--threads"_s) {
        QString text;
        if (!TakeValue(arguments, i, inlineValue, text, error))
            return false;
        bool ok = false;
        options.threads = text.toInt(&ok);
        if (!ok || options.threads < 1 || options.threads > 64) {
            error = u"--threads takes a number from 1 to 64, not \"%1\""_s.arg(text);
            return false;
        }
        return true;
    }
    error = u"unknown option %1"_s.arg(arguments[i]);
    return false;
}

// The values a --jobs line escapes.
bool UnescapeJobValues(CBatchOptions& options, QString& error)
{
    for (QString* value : {&options.programFolder, &options.output, &options.resultName,
                           &options.coder, &options.preset}) {
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

} // namespace

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
    bool optionsEnded = false;
    bool outputGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        outputGiven =
            outputGiven ||
            (!optionsEnded && (argument == u"--output"_s || argument.startsWith(u"--output="_s)));
        if (!optionsEnded && argument == u"--"_s) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(u'-') && argument.size() > 1) {
            if (!ParseOption(arguments, i, options, error))
                return false;
        } else {
            options.inputs << argument;
        }
    }
    if (options.help || options.listCoders)
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
    if (outputGiven && options.output.trimmed().isEmpty()) {
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
    if (int(options.dryRun) + int(options.jobs) + int(options.job) > 1) {
        error = u"--dry-run, --jobs and --job exclude each other"_s;
        return false;
    }
    return true;
}

QString BatchUsage()
{
    return uR"(Usage: orvel-batch [OPTIONS] FILES or FOLDERS...

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
  --list-coders         print the coders and their presets, then end
  --dry-run             print the planned command lines, convert nothing
  --jobs                print one shell line per file for GNU parallel, convert nothing
  --program-folder DIR  the program folder (default: the folder of orvel-batch)
  -h, --help            print this text

Every file found is accounted for: converted, up to date (its result is newer than
the source and whole), left out with the reason, failed with the reason, or not
audio (no decoder reads it: covers, logs). Left out are files that cannot be read,
names that are not UTF-8, paths longer than the system allows, FIFOs, sockets,
devices, links that lead nowhere and links to folders. Links to files are followed;
links to folders below a folder given are not (name their target to convert it),
and hidden folders (".name") are not read. A link at a result's place counts as a
result that exists: --overwrite replaces the link itself, never what it points to.

A result counts only when it is checked: it must exist, hold audio, and last as
long as its source (within 1 %, at least 0.5 s). A result never replaces its own
source, and two files never write one result.

--jobs lines: each runs orvel-batch for one file (--job), with everything a local
run does. Values are written with "%" and control characters as %XX, so every line
is one line whatever the names hold; give the lines to GNU parallel
(... --jobs DIR | parallel --jobs 2, or with --sshloginfile over machines that share
the storage and the program's path) or to sh.

SIGINT, SIGTERM and SIGHUP stop the run: programs ended, partial results and
temporary WAVs removed, the summary printed.
Exit status: 0 all converted or up to date, 1 some failed or were left out,
2 bad arguments, 128 + the signal's number when stopped (130 for SIGINT).
)"_s;
}

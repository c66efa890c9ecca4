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
    if (name == u"--keep-folders"_s && inlineValue.isNull()) {
        options.keepFolders = 1;
        return true;
    }
    if (name == u"--flat"_s && inlineValue.isNull()) {
        options.keepFolders = 0;
        return true;
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

} // namespace

bool ParseBatchArguments(const QStringList& arguments, CBatchOptions& options, QString& error)
{
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
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
    if (options.inputs.isEmpty()) {
        error = u"no files or folders to convert"_s;
        return false;
    }
    if (options.besideSource && !options.output.isEmpty()) {
        error = u"--output and --beside-source exclude each other"_s;
        return false;
    }
    if (options.jobs && options.replayGain > 0) {
        error = u"--replaygain needs orvel's own conversion: --jobs lines cannot measure"_s;
        return false;
    }
    if (options.dryRun && options.jobs) {
        error = u"--dry-run and --jobs exclude each other"_s;
        return false;
    }
    return true;
}

QString BatchUsage()
{
    return uR"(Usage: orvel-batch [OPTIONS] FILES or FOLDERS...

Converts audio files with the coders of orvel's program folder, without a display.
Folders are read with every file below them. What is not given here comes from
Settings.ini, which orvel-batch reads and never writes.

  --coder NAME          the coder, as --list-coders names it
  --preset NAME         one of its presets (default: the saved one, else the first)
  --output DIR          write the results into DIR
  --beside-source       write each result beside its source
  --keep-folders        below DIR, keep the folders of the sources (--flat: do not)
  --threads N           programs that run at the same time (1 to 64)
  --long-first          start the longest files first (--list-order: in the order given)
  --overwrite           replace results that exist already (default: leave those out)
  --replaygain SCOPE    write ReplayGain values: track, album (track and album) or off
  --list-coders         print the coders and their presets, then end
  --dry-run             print the planned command lines, convert nothing
  --jobs                print one shell line per file (decode, encode, remove the
                        WAV), for GNU parallel; convert nothing
  --program-folder DIR  the program folder (default: the folder of orvel-batch)
  -h, --help            print this text

A result never replaces its own source, and two files never write one result.
Exit status: 0 all converted, 1 some failed or were left out, 2 bad arguments.
)"_s;
}

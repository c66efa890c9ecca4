#pragma once

#include <QString>
#include <QStringList>

// What one call of orvel-batch asks for. Anything not given on the command line comes from
// "Settings.ini" as the desktop program left it.
struct CBatchOptions
{
    QString coder;             // a coder's name as the coder list shows it
    QString preset;            // a preset's name; empty: the saved preset, or the coder's first
    QString output;            // output folder; empty: from the settings
    bool besideSource = false; // --beside-source: results beside their sources
    int threads = 0;           // 0: from the settings
    int keepFolders = -1;      // -1: from the settings
    int longFilesFirst = -1;   // -1: from the settings
    int replayGain = -1;       // --replaygain: -1 from the settings, 0 off, 1 track, 2 album
    bool listCoders = false;
    bool dryRun = false;
    bool jobs = false;
    // --job: one file of a --jobs line; the values of --program-folder, --output and the
    // input carry "%" and control characters as %XX, so that no name can break its line.
    bool job = false;
    bool overwrite = false;
    bool allowSleep = false; // no sleep inhibitor during the run
    // --sync: the output folder is a copy of the library folders given, kept by its record.
    bool sync = false;
    bool deleteGone = false; // --delete: results whose source is gone are removed
    bool deleteMany = false; // --delete-many: even more than half of the copy
    bool help = false;
    bool version = false;
    QString programFolder; // empty: the folder of orvel-batch
    QString namePattern;   // --name-pattern; only when namePatternGiven, else from the settings
    bool namePatternGiven = false;
    int fatSafeNames = -1; // -1: from the settings
    int numberShared = -1; // -1: from the settings
    QString resultName;    // --result-name of a --job line: the name the batch gave its result
    int cueGaps = -1;      // --cue-gaps: -1 from the settings, else its setting's number
    QString cueEncoding;   // --cue-encoding; empty: from the settings
    int covers = -1;       // --covers / --no-covers: -1 from the settings
    int pictureSize = -1;  // --picture-size: -1 from the settings, 0 as they are, else pixels
    QString copyAlong;     // --copy-along; only when copyAlongGiven, else from the settings
    bool copyAlongGiven = false;
    int track = -1; // --track of a --job line: the one track of its album image
    // --max-rate, --max-bits, --channels: -1 from the settings, else the setting's number
    // (0 keeps the source's).
    int maxSampleRate = -1;
    int maxBitDepth = -1;
    int channels = -1;
    int verify = -1;         // --verify, --no-verify: -1 from the settings
    int copySameFormat = -1; // --copy-same-format, --convert-same-format: -1 from the settings
    int lossy = -1;          // --lossy: -1 from the settings, else the setting's number
    QStringList inputs;      // files and folders, in the order given
};

// Reads the arguments (without the program name). False, with the reason, for an unknown
// option, a missing or bad value, or no input where one is needed. A value follows its option
// as the next argument or after "="; "--" ends the options.
bool ParseBatchArguments(const QStringList& arguments, CBatchOptions& options, QString& error);

class CSettingsGeneral;
// The covers and files along that the line asks for, in place of the settings'.
void ApplyCompanionOptions(const CBatchOptions& options, CSettingsGeneral& general);
// The copy rules the line asks for, in place of the settings'.
void ApplyCopyRuleOptions(const CBatchOptions& options, CSettingsGeneral& general);

// A value for a --jobs line: "%" and control characters (a line break first of all) as %XX.
QString JobLineEscape(const QString& value);
// The value back; false for a "%" that starts no two hexadecimal digits.
bool JobLineUnescape(const QString& escaped, QString& value);

// The --help text.
QString BatchUsage();
// The --version text: the name, the version and the licence.
QString BatchVersion();

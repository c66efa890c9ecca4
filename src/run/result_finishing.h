#pragma once

#include "loudness/loudness.h"
#include "run/run_result.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class CCoder;
class IProcess;

// The file whose tags and album a coder's result takes: its decoder's source, else its input.
QString SourceOf(CCoder& coder);
// The folder whose files are one album's candidates.
QString AlbumFolderOf(const QString& sourceFile);
// The source folder of every queued coder: the albums whose ends the core waits for.
QStringList SourceFoldersOf(const QList<IProcess*>& queue);

// The loudness of the WAV a coder reads, measured while the coder reads it.
class CRunMeter
{
public:
    void Start(const QString& wav) { thread.Start(wav); }
    // Waits for the measurement; a stopped run's is cut short and counts as not measured.
    void Finish(bool stopped);

    bool measured = false;
    CTrackLoudness loudness;
    QString error; // why it could not be measured
private:
    CLoudnessThread thread;
};

// A coder's result between the end of its program and its own name.
struct CResultFinish
{
    QString sourceFile;            // whose tags and album title it takes
    QString sourceFolder;          // where its album's files are
    QMap<QString, QString> fields; // replace the source's tags (a track of an album image)
    CRunMeter meter;
    QString tagError;  // what went wrong with its tags (the audio stays the result)
    QString album;     // the source's album title, once held
    bool held = false; // waits under its hidden name for its album's values
};

// Gives a whole result the source's tags and its track values, then moves it to its name, or,
// when its album's values are wanted, leaves it held under its hidden name. False when it could
// not be moved: it is gone then.
bool FinishResult(CResultFinish& finish, const QString& writtenFile, const QString& outputFile,
                  const ResultOptions& options);

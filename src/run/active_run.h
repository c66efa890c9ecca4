#pragma once

#include "codecs/codec.h"
#include "run/result_finishing.h"
#include "run/run_result.h"

#include <QList>
#include <QString>
#include <orvel/icore.h>

// One launched program, from its launch until its worker has finished with it. Only the core's
// own files see it.
struct CActiveRun
{
    enum class State
    {
        Launching,
        Running,
        Ended
    };

    IProcess* process = nullptr;
    quint32 priorityClass = kPriorityNormal;
    quint64 generation = 0;
    int kind = -1;
    bool isCoder = false;
    QString executable;
    QString inputFile;
    QString outputFile;
    QString tempFile;
    QString writtenFile; // what the program writes: the output or its hidden stand-in
    bool showWindow = true;
    ResultOptions options;
    QString errorOutput;
    ResultCheck check;
    CResultFinish finish;      // a coder's result on its way to its name
    QList<TrackCut> trackCuts; // an album image's decoder: the tracks cut from its WAV
    bool cutOnly = false;      // a WAV image: the tracks are cut from it, nothing is decoded

    State state = State::Launching;
    qint64 pid = 0;
    bool stopRequested = false;
};

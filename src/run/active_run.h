#pragma once

#include "codecs/codec.h"
#include "run/result_finishing.h"
#include "run/run_result.h"

#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
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
    // Tracks cut while the image is still decoded: their coders may start (under the lock).
    QSet<QString> cutsReady;
    // An image's decoder whose tracks are being cut as it writes gives its slot to their
    // coders (under the core's mutex).
    bool slotHandedOn = false;
    // Programs that follow the run's own on its slot, each counted as a run of its own: sox
    // after a decoder, the result's decoder after a lossless coder.
    std::shared_ptr<CDecoder> limiter;
    std::optional<ResultVerification> verification;
    int followUps = 0;
    int followUpsCounted = 0;
    bool verified = false; // the result's samples were found to be those the coder read

    State state = State::Launching;
    qint64 pid = 0;
    bool stopRequested = false;
};

// Stands in for orvel in the crash tests: begins its instance session the way start-up does,
// runs a batch of decoder and coder jobs on a real core, and waits to be killed.
//   orvel_crash_host --start                         start-up only, then exit
//   orvel_crash_host PROGRAM PID_LOG WAV_LIST COUNT  COUNT decoders (and their coders)
//   orvel_crash_host PROGRAM PID_LOG OUT_LIST COUNT outputs
//                                                    COUNT coders writing out0.mp3... beside
//                                                    OUT_LIST, whose names go to OUT_LIST
// The WAVs go to the temporary folder (TMPDIR); their names are appended to WAV_LIST.
#include "codecs/codec.h"
#include "foundation/command_line.h"
#include "foundation/instance_session.h"
#include "foundation/os.h"
#include "planning/job_planning.h"
#include "run/core.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QThread>
#include <cstring>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    // First, before any thread exists: the watchdog is forked here.
    if (!BeginInstanceSession())
        return 3;
    if (argc == 2 && std::strcmp(argv[1], "--start") == 0) {
        EndInstanceSession();
        return 0;
    }
    const bool outputs = argc == 6 && std::strcmp(argv[5], "outputs") == 0;
    if (argc != 5 && !outputs)
        return 2;
    const QString program = QFile::decodeName(argv[1]);
    const QString pidLog = QFile::decodeName(argv[2]);
    QFile wavList(QFile::decodeName(argv[3]));
    const int count = std::atoi(argv[4]);
    if (!wavList.open(QIODevice::WriteOnly | QIODevice::Append))
        return 2;

    std::vector<std::unique_ptr<CDecoder>> decoders;
    std::vector<std::unique_ptr<CCoder>> coders;
    CCore core;
    core.SetThreadsCount(count);
    for (int i = 0; outputs && i < count; ++i) {
        // The program writes its first argument: the result, which the core puts under a
        // hidden name until it is whole.
        const QString result = QFileInfo(wavList).absolutePath() + u"/out%1.mp3"_s.arg(i);
        wavList.write(QFile::encodeName(result) + '\n');
        auto coder = std::make_unique<CCoder>();
        coder->SetExecutable(program);
        coder->SetShowWindow(false);
        coder->SetParameters(QuoteArgument(result) + u' ' + QuoteArgument(pidLog));
        coder->SetInputFile(program);
        coder->SetOutputFile(result);
        core.AddProcess(coder.get());
        coders.push_back(std::move(coder));
    }
    for (int i = 0; !outputs && i < count; ++i) {
        const QString wav = MakeTempFileName(os::TemporaryFolder(), u".wav"_s);
        wavList.write(QFile::encodeName(wav) + '\n');
        auto decoder = std::make_unique<CDecoder>();
        decoder->SetExecutable(program);
        decoder->SetShowWindow(false);
        decoder->SetParameters(QuoteArgument(wav) + u' ' + QuoteArgument(pidLog));
        decoder->SetOutputFile(wav);
        auto coder = std::make_unique<CCoder>();
        *static_cast<CCodec*>(coder.get()) = *decoder;
        coder->decoder = decoder.get();
        coder->SetTempFile(wav);
        coder->SetInputFile(wav);
        coder->SetOutputFile(QString()); // not the WAV it reads: that job would be left out
        core.AddProcess(decoder.get());
        core.AddProcess(coder.get());
        decoders.push_back(std::move(decoder));
        coders.push_back(std::move(coder));
    }
    wavList.close();
    core.Start();
    for (;;)
        QThread::sleep(60);
}

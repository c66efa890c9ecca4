#pragma once

#include "foundation/cpu_usage.h"

#include <orvel/iprocess.h>

// One run of an external program: its path, argument string and show-window flag. Start
// creates the process; waiting, termination and clean-up belong to the core.
class CProcess : public IProcess
{
public:
    CProcess() = default;
    CProcess(const CProcess&) = default;
    CProcess& operator=(const CProcess&) = default;
    virtual ~CProcess() = default;

    // How the core starts a run beyond what Start does: the argument naming `outputPath` (the
    // whole argument, or the tail of an option such as -o<path> or --output=<path>) names
    // `writtenPath` instead, and standard error comes through a pipe.
    struct StartOptions
    {
        QString outputPath;
        QString writtenPath;
        bool captureErrors = false;
    };
    struct StartResult
    {
        bool created = false;
        int error = 0;           // errno when the program could not be created
        int errorPipe = -1;      // read end of the program's standard error, or -1
        bool redirected = false; // an argument named outputPath and now names writtenPath
    };

    // GetKind stays abstract: coders answer 0, decoders 1.
    bool Start(quint32 flags) override;
    StartResult StartWith(quint32 flags, const StartOptions& options);
    bool SetParameters(const QString& parameters) override;
    QString GetParameters() override;
    QString GetExecutable() override;
    bool SetExecutable(const QString& executable) override;
    bool SetShowWindow(bool show) override;
    ProcessInformation GetProcessInformation() override;
    double GetCpuUsage() override;

    bool GetShowWindow() const { return showWindow; }

protected:
    bool showWindow = true;
    QString parameters;
    QString executable;
    ProcessInformation processInformation;
    CpuUsageSample cpuSample;
};

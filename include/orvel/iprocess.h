#pragma once

#include <QString>
#include <QtGlobal>

// One run of an external program, as the core and plugins see it. The slot order of the
// virtual operations is part of the plugin contract: do not reorder.

struct ProcessInformation
{
    quintptr processHandle = 0; // the process id on POSIX
    quintptr threadHandle = 0;  // unused on POSIX
    quint32 processId = 0;
    quint32 threadId = 0;
};

// What IProcess::GetKind answers. The numbers are part of the plugin contract.
enum RunKind : int
{
    kCoderRun = 0,
    kDecoderRun = 1,
};

class IProcess
{
public:
    virtual int GetKind() = 0; // a RunKind
    virtual bool Start(quint32 flags) = 0;
    virtual bool SetParameters(const QString& parameters) = 0;
    virtual QString GetParameters() = 0;
    virtual QString GetExecutable() = 0;
    virtual bool SetExecutable(const QString& executable) = 0;
    virtual bool SetShowWindow(bool showWindow) = 0;
    virtual ProcessInformation GetProcessInformation() = 0;
    virtual double GetCpuUsage() = 0;

protected:
    ~IProcess() = default; // owners destroy runs through their concrete class
};

#pragma once

#include <QList>
#include <QtGlobal>
#include <orvel/iprocess.h>

// Process priority classes (the values stored and passed through SetPriority).
inline constexpr quint32 kPriorityIdle = 0x40;
inline constexpr quint32 kPriorityNormal = 0x20;
inline constexpr quint32 kPriorityHigh = 0x80;
inline constexpr quint32 kPriorityRealtime = 0x100;

// The conversion core, as the main window and plugins see it. Slot order is part of the
// plugin contract: do not reorder.
class ICore
{
public:
    virtual bool Start() = 0;
    virtual bool AddProcess(IProcess* process) = 0;
    virtual void ClearQueue() = 0;
    virtual bool Stop() = 0;
    virtual void SetPriority(quint32 priorityClass) = 0;
    virtual void SetThreadsCount(int count) = 0;
    virtual double GetCpuUsage() = 0;
    virtual int GetStartedCount() = 0;
    virtual int GetLaunchedCount() = 0;
    virtual int GetTotalCount() = 0;
    virtual void GetRunningProcesses(QList<IProcess*>& processes) = 0;
    virtual bool IsRunning() = 0;

protected:
    ~ICore() = default;
};

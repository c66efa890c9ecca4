#include "engine/process.h"

#include "engine/command_line.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"

bool CProcess::SetParameters(const QString& text)
{
    // The stored form keeps one leading blank, as the program line after the program's path.
    parameters = u' ' + TrimWhiteSpace(text);
    return true;
}

QString CProcess::GetParameters()
{
    return TrimWhiteSpace(parameters);
}

QString CProcess::GetExecutable()
{
    return executable;
}

bool CProcess::SetExecutable(const QString& path)
{
    executable = path;
    return true;
}

bool CProcess::SetShowWindow(bool show)
{
    showWindow = show;
    return true;
}

ProcessInformation CProcess::GetProcessInformation()
{
    return processInformation;
}

double CProcess::GetCpuUsage()
{
    return MeasureCpuUsage(cpuSample, processInformation.processId);
}

bool CProcess::Start(quint32 flags)
{
    processInformation = {};
    const QString program = executable.left(kMaxStringLength);
    const QStringList arguments = SplitCommandLine(parameters.left(kMaxStringLength));
    const qint64 pid = os::SpawnProcess(program, arguments, showWindow);
    if (pid <= 0)
        return false;
    // A refused priority (raising it needs privileges) leaves the child at ours; it still runs.
    os::SetProcessGroupPriority(pid, flags);
    processInformation.processHandle = static_cast<quintptr>(pid);
    processInformation.processId = static_cast<quint32>(pid);
    return true;
}

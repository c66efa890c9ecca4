#include "foundation/process.h"

#include "foundation/command_line.h"
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

namespace {

// Points the argument that names the output at another file; false when none names it.
bool RedirectOutput(QStringList& arguments, const QString& outputPath, const QString& writtenPath)
{
    if (outputPath.isEmpty() || writtenPath.isEmpty())
        return false;
    bool redirected = false;
    for (QString& argument : arguments) {
        if (argument == outputPath) {
            argument = writtenPath;
            redirected = true;
        } else if (argument.startsWith(u'-') && argument.endsWith(outputPath)) {
            argument = argument.chopped(outputPath.size()) + writtenPath;
            redirected = true;
        }
    }
    return redirected;
}

} // namespace

bool CProcess::Start(quint32 flags)
{
    return StartWith(flags, {}).created;
}

CProcess::StartResult CProcess::StartWith(quint32 flags, const StartOptions& options)
{
    StartResult result;
    processInformation = {};
    // Paths and argument strings go whole: a cut line could name another file. One the system
    // will not take (E2BIG) fails the run with that reason.
    const QString program = executable;
    QStringList arguments = SplitCommandLine(parameters);
    result.redirected = RedirectOutput(arguments, options.outputPath, options.writtenPath);
    const qint64 pid = os::SpawnProcess(program, arguments, showWindow, &result.error,
                                        options.captureErrors ? &result.errorPipe : nullptr);
    if (pid <= 0)
        return result;
    result.created = true;
    // A refused priority (raising it needs privileges) leaves the child at ours; it still runs.
    os::SetProcessGroupPriority(pid, flags);
    processInformation.processHandle = static_cast<quintptr>(pid);
    processInformation.processId = static_cast<quint32>(pid);
    return result;
}

// The cost of starting and reaping one short child through CProcess, next to a bare
// posix_spawn + waitpid loop in the same run. Wall time: the work happens in the child.
#include "foundation/os.h"
#include "foundation/process.h"

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace Qt::StringLiterals;

namespace {

constexpr const char* kProgram = "/bin/true";
constexpr quint32 kNormalPriorityClass = 0x20;

class CBenchRun : public CProcess
{
public:
    int GetKind() override { return 0; }
};

void CProcessStartAndReap(benchmark::State& state)
{
    CBenchRun run;
    run.SetExecutable(QString::fromUtf8(kProgram));
    run.SetParameters(QString());
    run.SetShowWindow(false);
    for (auto _ : state) {
        if (!run.Start(kNormalPriorityClass)) {
            state.SkipWithError("the program did not start");
            return;
        }
        const auto pid = static_cast<qint64>(run.GetProcessInformation().processId);
        os::WaitForExitWithoutReaping(pid);
        benchmark::DoNotOptimize(os::ReapProcess(pid));
    }
}

void PlainSpawnAndWait(benchmark::State& state)
{
    char* argv[] = {const_cast<char*>(kProgram), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, kProgram, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("the program did not start");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        benchmark::DoNotOptimize(status);
    }
}

} // namespace

BENCHMARK(PlainSpawnAndWait)->UseRealTime()->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(CProcessStartAndReap)->UseRealTime()->Repetitions(15)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();

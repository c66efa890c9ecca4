#include "run/run_result.h"

QString RunResult::LastErrorLine() const
{
    const qsizetype lastBreak = errorOutput.lastIndexOf(u'\n');
    return errorOutput.mid(lastBreak + 1);
}

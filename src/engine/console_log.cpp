#include "engine/console_log.h"

ConsoleLog& ConsoleLog::Instance()
{
    static ConsoleLog log;
    return log;
}

void ConsoleLog::Append(const QString& line)
{
    std::lock_guard guard(lock);
    lines.append(line);
}

QStringList ConsoleLog::Lines() const
{
    std::lock_guard guard(lock);
    return lines;
}

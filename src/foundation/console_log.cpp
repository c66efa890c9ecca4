#include "foundation/console_log.h"

ConsoleLog& ConsoleLog::Instance()
{
    static ConsoleLog log;
    return log;
}

namespace {

// A copy that shares no data with its source, so no reference count crosses threads.
QString Detached(const QString& text)
{
    return QString(text.constData(), text.size());
}

} // namespace

void ConsoleLog::Append(const QString& line)
{
    QString own = Detached(line);
    std::lock_guard guard(lock);
    lines.append(std::move(own));
}

QStringList ConsoleLog::Lines() const
{
    std::lock_guard guard(lock);
    QStringList copy;
    copy.reserve(lines.size());
    for (const QString& line : lines)
        copy.append(Detached(line));
    return copy;
}

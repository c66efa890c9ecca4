#pragma once

#include <QString>
#include <QStringList>
#include <mutex>

// The program's log: an ordered list of lines that only grows while the program runs. Any
// thread may append; the console window reads all lines each time it is shown.
class ConsoleLog
{
public:
    ConsoleLog() = default;
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;

    // The program-wide log.
    static ConsoleLog& Instance();

    void Append(const QString& line);
    QStringList Lines() const;

private:
    mutable std::mutex lock;
    QStringList lines;
};

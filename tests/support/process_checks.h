#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QThread>
#include <csignal>
#include <functional>

// What tests ask of the programs and files a run leaves behind.
namespace fixtures {

// Polls the condition until it holds; false once the time limit has passed without it.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

// A process that is gone or only waits to be reaped has ended.
inline bool ProcessEnded(qint64 pid)
{
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.mid(close + 2, 1) == "Z";
}

// The intermediate WAVs (named as planning names them) left in a folder.
inline QStringList TemporaryWavs(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("orv*.wav")},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace fixtures

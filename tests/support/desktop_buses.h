#pragma once

#include "foundation/os.h"
#include "support/process_checks.h"
#include "support/test_paths.h"

#include <QDBusConnection>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

// Two private buses (one standing in for the system's), and the stand-in services on them
// writing down every call they get.
class CDesktopBuses
{
public:
    CDesktopBuses()
    {
        for (const QString& name : {QStringLiteral("system"), QStringLiteral("session")}) {
            const QString socket = dir.filePath(name);
            daemons << os::SpawnProcess(
                QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--address=unix:path=") + socket},
                false);
            addresses << QStringLiteral("unix:path=") + socket;
            const qint64 daemon = daemons.last();
            // A busy machine may take long to start a daemon: wait for it to be up or gone.
            fixtures::WaitUntil(
                [&] { return QFile::exists(socket) || fixtures::ProcessEnded(daemon); },
                kHangGuardMs);
            ready = ready && QFile::exists(socket);
        }
        services = os::SpawnProcess(TestHelperPath(QStringLiteral("orvel_fake_desktop_bus")),
                                    {addresses.at(0), addresses.at(1), RecordPath()}, false);
        ready = ready && Saw(QStringLiteral("ready"));
    }
    ~CDesktopBuses()
    {
        for (const QString& name : {QStringLiteral("system"), QStringLiteral("session")})
            QDBusConnection::disconnectFromBus(QStringLiteral("test-") + name);
        for (const qint64 pid : daemons << services) {
            os::KillProcessGroup(pid);
            os::WaitForExitWithoutReaping(pid);
            os::ReapProcess(pid);
        }
    }

    // The address of the bus standing in for the system's (0) or the session's (1).
    QString Address(int which) const { return addresses.at(which); }
    QDBusConnection Bus(int which) const
    {
        const QString name =
            which == 0 ? QStringLiteral("test-system") : QStringLiteral("test-session");
        return QDBusConnection::connectToBus(addresses.at(which), name);
    }
    QString RecordPath() const { return dir.filePath(QStringLiteral("record")); }
    QStringList Record() const
    {
        QFile file(RecordPath());
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    // Waits until the services have written the line down, or have ended without it.
    bool Saw(const QString& line) const
    {
        fixtures::WaitUntil(
            [&] { return Record().contains(line) || fixtures::ProcessEnded(services); },
            kHangGuardMs);
        return Record().contains(line);
    }

    bool ready = true;

private:
    // Only keeps a test that is wrong from hanging: the waits end on what the processes do.
    static constexpr int kHangGuardMs = 120000;

    QTemporaryDir dir;
    QList<qint64> daemons;
    QStringList addresses;
    qint64 services = 0;
};

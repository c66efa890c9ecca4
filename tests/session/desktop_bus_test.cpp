#include "faults/fault_fixtures.h"
#include "foundation/os.h"
#include "session/desktop_notices.h"
#include "session/sleep_inhibitor.h"
#include "support/test_paths.h"

#include <QDBusConnection>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Two private buses (one standing in for the system's), and the stand-in services on them
// writing down every call they get.
class CDesktopBuses
{
public:
    CDesktopBuses()
    {
        for (const QString& name : {u"system"_s, u"session"_s}) {
            const QString socket = dir.filePath(name);
            daemons << os::SpawnProcess(
                QStandardPaths::findExecutable(u"dbus-daemon"_s),
                {u"--session"_s, u"--nofork"_s, u"--address=unix:path="_s + socket}, false);
            addresses << u"unix:path="_s + socket;
            ready = ready && faults::WaitUntil([&] { return QFile::exists(socket); });
        }
        services = os::SpawnProcess(TestHelperPath(u"orvel_fake_desktop_bus"_s),
                                    {addresses.at(0), addresses.at(1), RecordPath()}, false);
        ready = ready && Saw(u"ready"_s);
    }
    ~CDesktopBuses()
    {
        for (const QString& name : {u"system"_s, u"session"_s})
            QDBusConnection::disconnectFromBus(u"test-"_s + name);
        for (const qint64 pid : daemons << services) {
            os::KillProcessGroup(pid);
            os::WaitForExitWithoutReaping(pid);
            os::ReapProcess(pid);
        }
    }

    QDBusConnection Bus(int which) const
    {
        const QString name = which == 0 ? u"test-system"_s : u"test-session"_s;
        return QDBusConnection::connectToBus(addresses.at(which), name);
    }
    QString RecordPath() const { return dir.filePath(u"record"_s); }
    QStringList Record() const
    {
        QFile file(RecordPath());
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    // Waits until the services have written the line down.
    bool Saw(const QString& line) const
    {
        return faults::WaitUntil([&] { return Record().contains(line); });
    }

    bool ready = true;

private:
    QTemporaryDir dir;
    QList<qint64> daemons;
    QStringList addresses;
    qint64 services = 0;
};

} // namespace

TEST(DesktopBusTest, TheMachineStaysAwakeThroughLogindElseTheScreenSaver)
{
    CDesktopBuses buses;
    ASSERT_TRUE(buses.ready) << qPrintable(buses.Record().join(u'\n'));
    {
        CSleepInhibitor inhibitor(buses.Bus(0), buses.Bus(1));
        EXPECT_EQ(inhibitor.Acquire(u"Converting 12 files"_s), CSleepInhibitor::Holder::Logind);
        EXPECT_TRUE(buses.Saw(u"inhibit sleep:idle|orvel|Converting 12 files|block"_s));
        EXPECT_EQ(inhibitor.Acquire(u"again"_s), CSleepInhibitor::Holder::Logind);
        inhibitor.Release();
        EXPECT_TRUE(buses.Saw(u"released"_s));
        EXPECT_EQ(inhibitor.HeldBy(), CSleepInhibitor::Holder::None);
    }
    {
        // No logind on the bus asked: the screen saver holds it, until the inhibitor goes.
        CSleepInhibitor inhibitor(buses.Bus(1), buses.Bus(1));
        EXPECT_EQ(inhibitor.Acquire(u"Converting"_s), CSleepInhibitor::Holder::ScreenSaver);
        EXPECT_TRUE(buses.Saw(u"screensaver-inhibit orvel|Converting"_s));
    }
    EXPECT_TRUE(buses.Saw(u"screensaver-uninhibit 42"_s));
    EXPECT_EQ(buses.Record().count(u"inhibit sleep:idle|orvel|again|block"_s), 0);

    // Where no bus answers, nothing is held and nothing fails.
    CSleepInhibitor alone(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"x"_s),
                          QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"y"_s));
    EXPECT_EQ(alone.Acquire(u"Converting"_s), CSleepInhibitor::Holder::None);
    alone.Release();
    CDesktopNotices silent(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"z"_s));
    silent.Notify(u"done"_s, u"nothing listens"_s, true);
    silent.ShowLauncherProgress(0.5, 1);
}

TEST(DesktopBusTest, TheDesktopHearsOfTheRunAndItsProgress)
{
    CDesktopBuses buses;
    ASSERT_TRUE(buses.ready) << qPrintable(buses.Record().join(u'\n'));
    CDesktopNotices notices(buses.Bus(1));
    notices.ShowLauncherProgress(0.25, 3);
    EXPECT_TRUE(buses.Saw(
        u"launcher application://orvel.desktop|progress=0.25|visible=true|count=3|count-visible=true"_s));
    notices.ClearLauncherProgress();
    EXPECT_TRUE(buses.Saw(
        u"launcher application://orvel.desktop|progress=0|visible=false|count=0|count-visible=false"_s));
    notices.Notify(u"Conversion finished"_s, u"10 converted, 0 failed"_s, false);
    EXPECT_TRUE(buses.Saw(
        u"notify orvel|Conversion finished|10 converted, 0 failed|urgency=1|timeout=-1"_s));
    notices.Notify(u"Conversion finished"_s, u"8 converted, 2 failed"_s, true);
    EXPECT_TRUE(
        buses.Saw(u"notify orvel|Conversion finished|8 converted, 2 failed|urgency=2|timeout=0"_s));
}

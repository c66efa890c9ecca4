#include "foundation/os.h"
#include "session/desktop_notices.h"
#include "session/sleep_inhibitor.h"
#include "support/desktop_buses.h"

#include <QDBusConnection>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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

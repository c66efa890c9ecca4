// Stands in for the desktop's services on private buses and writes down every call it gets,
// a line each, to the record file: logind (on the "system" bus) and the notification server,
// the screen saver and a launcher that listens for progress (on the "session" bus).
// Usage: orvel_fake_desktop_bus SYSTEM-ADDRESS SESSION-ADDRESS RECORD-FILE
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QVariantMap>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QFile* record = nullptr;

void Note(const QString& line)
{
    record->write(line.toUtf8() + '\n');
    record->flush();
}

QString Flag(const QVariant& value)
{
    return value.toBool() ? u"true"_s : u"false"_s;
}

} // namespace

class CLogin : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public Q_SLOTS:
    // The inhibitor is the write end of a pipe: once every copy is closed, the read end ends.
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode)
    {
        int ends[2];
        if (pipe(ends) != 0)
            return {};
        Note(u"inhibit %1|%2|%3|%4"_s.arg(what, who, why, mode));
        auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [watch, end = ends[0]] {
            char byte;
            if (read(end, &byte, 1) > 0)
                return;
            Note(u"released"_s);
            watch->setEnabled(false);
            close(end);
        });
        QDBusUnixFileDescriptor lock(ends[1]);
        close(ends[1]);
        return lock;
    }
};

class CNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public Q_SLOTS:
    uint Notify(const QString& app, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int timeout)
    {
        Note(u"notify %1|%2|%3|urgency=%4|timeout=%5"_s.arg(app, summary, body)
                 .arg(hints.value(u"urgency"_s).toInt())
                 .arg(timeout));
        return 1;
    }
};

class CScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public Q_SLOTS:
    uint Inhibit(const QString& who, const QString& why)
    {
        Note(u"screensaver-inhibit %1|%2"_s.arg(who, why));
        return 42;
    }
    void UnInhibit(uint cookie) { Note(u"screensaver-uninhibit %1"_s.arg(cookie)); }
};

class CLauncher : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void Update(const QString& entry, const QVariantMap& properties)
    {
        Note(u"launcher %1|progress=%2|visible=%3|count=%4|count-visible=%5"_s.arg(entry)
                 .arg(properties.value(u"progress"_s).toDouble())
                 .arg(Flag(properties.value(u"progress-visible"_s)))
                 .arg(properties.value(u"count"_s).toLongLong())
                 .arg(Flag(properties.value(u"count-visible"_s))));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4)
        return 2;
    QFile file(arguments.at(3));
    if (!file.open(QIODevice::Append))
        return 2;
    record = &file;
    QDBusConnection system = QDBusConnection::connectToBus(arguments.at(1), u"system"_s);
    QDBusConnection session = QDBusConnection::connectToBus(arguments.at(2), u"session"_s);
    CLogin login;
    CNotifications notifications;
    CScreenSaver saver;
    CLauncher launcher;
    const auto exported = QDBusConnection::ExportAllSlots;
    const bool ready =
        system.registerObject(u"/org/freedesktop/login1"_s, &login, exported) &&
        system.registerService(u"org.freedesktop.login1"_s) &&
        session.registerObject(u"/org/freedesktop/Notifications"_s, &notifications, exported) &&
        session.registerService(u"org.freedesktop.Notifications"_s) &&
        session.registerObject(u"/org/freedesktop/ScreenSaver"_s, &saver, exported) &&
        session.registerService(u"org.freedesktop.ScreenSaver"_s) &&
        session.connect(QString(), QString(), u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s,
                        &launcher, SLOT(Update(QString, QVariantMap)));
    if (!ready)
        return 3;
    Note(u"ready"_s);
    return application.exec();
}

#include "fake_desktop_bus.moc"

#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sets an environment variable for the scope's life, then puts back what was there (or
// nothing). Tests run beside each other share the machine's folders; this gives one its own.
class CEnvironmentScope
{
public:
    CEnvironmentScope(const char* variable, const QByteArray& value)
        : name(variable), previous(qgetenv(variable))
    {
        qputenv(name, value);
    }
    ~CEnvironmentScope()
    {
        if (previous.isNull())
            qunsetenv(name);
        else
            qputenv(name, previous);
    }
    CEnvironmentScope(const CEnvironmentScope&) = delete;
    CEnvironmentScope& operator=(const CEnvironmentScope&) = delete;

private:
    const char* name;
    QByteArray previous;
};

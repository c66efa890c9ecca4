#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The shipped coders and decoders are small shell scripts that run a program of the system
// (flac, lame, ...). These find that program, so that the windows can say whether it is there.
struct SystemProgram
{
    QString name;    // as the script names it, "flac"
    QString path;    // where it was found in PATH; empty when it is not installed
    QString version; // the first version number its --version output gives; may be empty

    bool IsInstalled() const { return !path.isEmpty(); }
};

// The program a wrapper script runs: the name after "command -v", else the first word after a
// line's "exec". Empty for anything that is not a "#!" script, or a script that names none.
QString WrappedProgramName(const QString& scriptPath);

// Looks each name up in PATH and asks all the programs found for their versions at once (stdin
// closed): the wait is that of the slowest, and a few seconds at most for all of them.
QList<SystemProgram> FindSystemPrograms(const QStringList& names);

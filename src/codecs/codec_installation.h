#pragma once

#include <QString>

class CCodec;

// Whether the program behind a coder or decoder is on this system, and which package brings
// it. The shipped executables are wrapper scripts that run a system program; the script lies
// there whether or not the program does, so the lists must ask for the program itself.
struct CodecInstallation
{
    QString program; // the system program the wrapper script runs; empty for other executables
    QString package; // the Debian package that brings it, as the script or Info.txt names it
    bool installed = true;
};

// The one decision every front end shows and Start obeys: a wrapper script whose program is
// not found on PATH is not installed; any other executable (one dropped into "Codecs", the
// decode-only entry with none) counts as installed.
CodecInstallation InstallationOf(CCodec& codec);

// "lame is not installed. Install the Debian package lame: sudo apt install lame", in English,
// for the command line and the log; the windows take their wording from the language pack.
QString NotInstalledText(const CodecInstallation& installation);

#pragma once

#include "engine/file_info.h"

#include <QString>

// The argument in single quotes for a POSIX shell: whatever it holds comes back as one word.
QString ShellQuote(const QString& argument);

// One self-contained shell line that converts the planned file: make the result's folder, decode,
// encode, remove the intermediate WAV, and end with the status of the first step that failed.
QString JobShellLine(CFileInfo& file);

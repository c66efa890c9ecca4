#pragma once

#include <QString>

// The argument in single quotes for a POSIX shell: whatever it holds comes back as one word.
QString ShellQuote(const QString& argument);

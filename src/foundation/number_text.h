#pragma once

#include <QString>
#include <QtGlobal>

// A number read the way the C runtime's _wtol reads it: leading white space and a sign are
// accepted, reading stops at the first non-digit, and no digits give 0.
qint64 ParseLeadingInteger(const QString& text);

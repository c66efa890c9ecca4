#pragma once

#include <QIcon>

// The program's icon, drawn at the sizes the desktop asks for: a sound wave on a blue tile.
QIcon ApplicationIcon();

#pragma once

#include <QIcon>

// The program's icon, drawn at the sizes the desktop asks for: a sound wave on a blue tile.
QIcon ApplicationIcon();

// An open folder, for desktops whose icon theme offers none.
QIcon FolderIcon();

#pragma once

#include <QFont>
#include <QSize>

// Sizes in dialog units, the unit the window templates are drawn in: a quarter of the
// font's average letter width across, an eighth of its line height down.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const { return (units * baseX + 2) / 4; }
    int Y(int units) const { return (units * baseY + 4) / 8; }
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }

private:
    int baseX = 6;
    int baseY = 13;
};

#pragma once

#include <QString>

class CCoder;
class CSettingsSet;

// What makes one result differ from another of the same source: a change here converts the
// copy again. presetIndex < 0 for a coder without presets.
// The device limits count only where one is set, so a record made before they existed stays
// up to date.
QString SyncSignature(CCoder& coder, int presetIndex, const CSettingsSet& settings);

// The signature of a result that is its source copied as it is (a copy rule): no coder or
// setting made it, so changing them leaves it alone, and a rule that now converts it does not.
QString CopySignature();

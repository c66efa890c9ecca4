#pragma once

#include <QString>

class CCoder;
class CSettingsSet;

// What makes one result differ from another of the same source: a change here converts the
// copy again. presetIndex < 0 for a coder without presets.
// The device limits count only where one is set, so a record made before they existed stays
// up to date.
QString SyncSignature(CCoder& coder, int presetIndex, const CSettingsSet& settings);

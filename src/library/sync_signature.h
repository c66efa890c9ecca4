#pragma once

#include <QString>

class CCoder;
class CSettingsGeneral;

// What makes one result differ from another of the same source: a change here converts the
// copy again. presetIndex < 0 for a coder without presets.
QString SyncSignature(CCoder& coder, int presetIndex, const CSettingsGeneral& general);

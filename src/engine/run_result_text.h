#pragma once

#include "engine/core.h"

#include <QString>

// How a run ended, in words for the console log and orvel-batch ("exit code 1").
QString RunOutcomeText(const RunResult& run);

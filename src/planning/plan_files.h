#pragma once

#include "planning/job_planning.h"

#include <QStringList>
#include <vector>

// Whether files named so may be planned apart from each other, in any order: their names are
// not numbered against each other's, nor made by a pattern.
bool PlannedApart(const ResultNaming& naming);

// Plans each of the files as PlanFile does, into the result folder of the same place in
// `folders`; planned[k] is PlanFile's answer for files[k]. A library's plan is mostly such
// files: many of them are planned on two threads when PlannedApart allows, else one by one.
// Everything but the files is only read.
std::vector<char> PlanFiles(const std::vector<CFileInfo*>& files, const QStringList& folders,
                            const PlannedDecoders& decoders, CCoder* coder, int presetIndex,
                            bool decodeOnly, bool directInput, const ResultNaming& naming,
                            const QString& tempFolder, const AudioChain& chain);

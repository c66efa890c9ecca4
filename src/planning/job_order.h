#pragma once

#include "planning/file_info.h"

#include <QList>

class ICore;

// The order in which Start hands the planned files to the core. With longFilesFirst the files
// go by decreasing source duration (files of unknown duration last, in list order), so a long
// file does not end a batch running alone while the other slots idle; otherwise list order.
QList<CFileInfo*> OrderForStart(const QList<CFileInfo*>& files, bool longFilesFirst);

// Queues each file's decoder run and then its coder run, in the order given; returns the
// number of runs queued.
int QueueFiles(ICore& core, const QList<CFileInfo*>& files);

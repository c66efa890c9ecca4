#pragma once

#include "library/copy_record.h"

#include <QHash>
#include <QString>
#include <memory>

class CFileInfo;

// Plain runs into a folder that holds a library copy's record: a result the record says was
// made with other choices (coder, preset, a setting that changes a result) is not up to date,
// and the record learns how the run made it again.
class CMadeAnotherWay
{
public:
    // folder ends in a separator.
    explicit CMadeAnotherWay(const QString& copyFolder);
    ~CMadeAnotherWay();

    // The result the file is planned to is one the record lists, still as recorded, and made
    // with other choices than settings (today's signature): it is converted again and may be
    // replaced.
    bool MadeAnotherWay(const CFileInfo& file, const QString& settings);
    // The result was made again: its entry now says how.
    void Remade(const CFileInfo& file);

private:
    QString Relative(const CFileInfo& file) const;

    QString folder;
    std::unique_ptr<CCopyRecord> record; // none when the folder holds no record
    QHash<QString, CopyEntry> remaking;  // by result, as it will be recorded
};

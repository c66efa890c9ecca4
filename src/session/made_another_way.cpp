#include "session/made_another_way.h"

#include "foundation/os.h"
#include "planning/file_info.h"

#include <QFileInfo>

CMadeAnotherWay::CMadeAnotherWay(const QString& copyFolder) : folder(copyFolder)
{
    // Only a copy's own record is read: a plain output folder gets none.
    if (!folder.isEmpty() &&
        QFileInfo::exists(folder + QString::fromLatin1(CCopyRecord::kFileName))) {
        QString error;
        record = CCopyRecord::Open(folder, &error);
    }
}

CMadeAnotherWay::~CMadeAnotherWay() = default;

QString CMadeAnotherWay::Relative(const CFileInfo& file) const
{
    const QString result = file.PlannedResult();
    return result.startsWith(folder) ? result.mid(folder.size()) : QString();
}

bool CMadeAnotherWay::MadeAnotherWay(const CFileInfo& file, const QString& settings)
{
    const QString result = Relative(file);
    if (!record || result.isEmpty())
        return false;
    const std::optional<CopyEntry> entry = record->EntryForResult(result);
    if (settings.isEmpty() || !entry || entry->settings == settings)
        return false;
    // A result the user replaced is theirs: today's rule holds for it.
    qint64 size = 0;
    qint64 timeNs = 0;
    if (!os::FileStamp(folder + result, size, timeNs) || size != entry->resultSize ||
        !SameResultTime(entry->resultTimeNs, timeNs))
        return false;
    CopyEntry remade = *entry;
    remade.settings = settings;
    remaking.insert(result, remade);
    return true;
}

void CMadeAnotherWay::Remade(const CFileInfo& file)
{
    const auto entry = remaking.constFind(Relative(file));
    if (entry == remaking.cend())
        return;
    CopyEntry remade = *entry;
    if (os::FileStamp(folder + remade.result, remade.resultSize, remade.resultTimeNs) &&
        os::FileStamp(file.path, remade.sourceSize, remade.sourceTimeNs))
        record->Put(remade);
    remaking.remove(remade.result);
}

#include "foundation/console_log.h"
#include "planning/companion_files.h"
#include "run/companion_copy.h"
#include "session/conversion_session.h"
#include "settings/settings_set.h"

void CConversionSession::CarryCompanions()
{
    const CSettingsGeneral& general = settings.general;
    const CompanionOptions options{general.copyCovers != 0, general.PictureMaxSide(),
                                   general.copyAlongPatterns};
    QList<const CFileInfo*> landed;
    for (const FileRecord& record : files) {
        if (record.state == FileState::Converted || record.state == FileState::UpToDate)
            landed << record.file;
    }
    for (const auto& [sourceFolder, resultFolder] : ResultFoldersOf(landed)) {
        for (const CompanionCopy& copy :
             CompanionsOf(sourceFolder, resultFolder, options, decoders)) {
            const CompanionResult result = CarryCompanion(copy);
            if (result.outcome == CompanionOutcome::Copied)
                ++companionsCopied;
            else if (!result.reason.isEmpty()) {
                companionNotes << result.reason;
                ConsoleLog::Instance().Append(result.reason);
            }
        }
    }
}

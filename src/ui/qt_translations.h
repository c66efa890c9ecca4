#pragma once

class CLanguagePack;
class QObject;

// Qt's own texts (the file dialogs, their buttons, Qt's questions) in the language of the loaded
// pack, from the translations the system's Qt ships. Nothing is loaded for English or for a
// pack whose language Qt has no translation for. The translator lives as long as owner.
void InstallQtTranslations(const CLanguagePack& language, QObject* owner);

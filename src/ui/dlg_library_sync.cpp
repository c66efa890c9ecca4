#include "ui/dlg_library_sync.h"

#include "extensions/language_pack.h"
#include "filelist/file_list.h"
#include "filelist/folder_walk.h"
#include "foundation/listed_folders.h"
#include "foundation/notifier.h"
#include "foundation/path_helpers.h"
#include "library/sync_signature.h"
#include "session/conversion_session.h"
#include "session/library_sync.h"
#include "settings/settings_set.h"
#include "ui/dlg_job_control.h"
#include "ui/library_sync_texts.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Kind = SyncAction::Kind;

namespace Text = LibrarySyncText;

namespace {

QString FolderWithoutSeparator(const QString& folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

// Holds the busy cursor while the window plans on its own thread.
class CBusyCursor
{
public:
    CBusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~CBusyCursor() { QApplication::restoreOverrideCursor(); }
    CBusyCursor(const CBusyCursor&) = delete;
    CBusyCursor& operator=(const CBusyCursor&) = delete;
};

} // namespace

CDlgLibrarySync::CDlgLibrarySync(CLanguagePack& languagePack, CSettingsSet& settingsSet,
                                 const QString& folder, const DecoderList& decoderList,
                                 CCore& engine, CCoder& chosenCoder, int chosenPreset,
                                 QWidget* parent)
    : QDialog(parent), language(languagePack), settings(settingsSet), programFolder(folder),
      decoders(decoderList), core(engine), coder(chosenCoder), presetIndex(chosenPreset)
{
    setObjectName(u"librarySync"_s);
    BuildControls();
    // Planned at once from the folders of the last sync: opening the window is the question
    // "is my copy in step?".
    if (!Roots().isEmpty() && !CopyFolder().isEmpty())
        QMetaObject::invokeMethod(this, &CDlgLibrarySync::ReadLibrary, Qt::QueuedConnection);
}

CDlgLibrarySync::~CDlgLibrarySync()
{
    StopReading();
    // The conversions' session goes before the files it knows, the sync before its session.
    librarySync.reset();
    session.reset();
}

void CDlgLibrarySync::BuildControls()
{
    setWindowTitle(
        WithoutAccessKey(LanguageTextOr(language, Text::kTitle, u"Sync with the library"_s)));
    auto* layout = new QVBoxLayout(this);
    auto* rootsLabel =
        new QLabel(LanguageTextOr(language, Text::kLibraryFolders, u"Library folders:"_s), this);
    rootList = new QListWidget(this);
    rootList->setObjectName(u"libraryRoots"_s);
    rootList->addItems(settings.library.syncRoots);
    rootList->setMaximumHeight(rootList->sizeHintForRow(0) * 4 + 8);
    rootsLabel->setBuddy(rootList);
    auto* addRoot = new QPushButton(LanguageTextOr(language, Text::kAddFolder, u"Add..."_s), this);
    addRoot->setObjectName(u"addLibraryRoot"_s);
    auto* removeRoot =
        new QPushButton(LanguageTextOr(language, Text::kRemoveFolder, u"Remove"_s), this);
    removeRoot->setObjectName(u"removeLibraryRoot"_s);
    auto* rootButtons = new QVBoxLayout;
    rootButtons->addWidget(addRoot);
    rootButtons->addWidget(removeRoot);
    rootButtons->addStretch(1);
    auto* rootsRow = new QHBoxLayout;
    rootsRow->addWidget(rootList, 1);
    rootsRow->addLayout(rootButtons);
    layout->addWidget(rootsLabel);
    layout->addLayout(rootsRow);

    auto* copyLabel =
        new QLabel(LanguageTextOr(language, Text::kCopyFolder, u"The copy's folder:"_s), this);
    copyEdit = new QLineEdit(settings.library.syncCopyFolder, this);
    copyEdit->setObjectName(u"copyFolder"_s);
    copyLabel->setBuddy(copyEdit);
    auto* browse = new QPushButton(LanguageTextOr(language, Text::kBrowse, u"Browse..."_s), this);
    browse->setObjectName(u"browseCopyFolder"_s);
    auto* copyRow = new QHBoxLayout;
    copyRow->addWidget(copyEdit, 1);
    copyRow->addWidget(browse);
    layout->addWidget(copyLabel);
    layout->addLayout(copyRow);

    removeGone = new QCheckBox(
        LanguageTextOr(language, Text::kRemoveGone, u"Remove results whose source is gone"_s),
        this);
    removeGone->setObjectName(u"removeGone"_s);
    layout->addWidget(removeGone);
    removeMany = new QCheckBox(
        LanguageTextOr(language, Text::kRemoveMany, u"Allow removing more than half of the copy"_s),
        this);
    removeMany->setObjectName(u"removeMany"_s);
    removeMany->setEnabled(false);
    // Set in under the box it qualifies.
    auto* removeManyRow = new QHBoxLayout;
    removeManyRow->addSpacing(24);
    removeManyRow->addWidget(removeMany, 1);
    layout->addLayout(removeManyRow);

    progressText = new QLabel(this);
    progressText->setObjectName(u"readProgress"_s);
    countsText = new QLabel(this);
    countsText->setObjectName(u"planCounts"_s);
    countsText->setWordWrap(true);
    refusalText = new QLabel(this);
    refusalText->setObjectName(u"planRefusal"_s);
    refusalText->setWordWrap(true);
    refusalText->setStyleSheet(u"color: #b00000"_s);
    actionList = new QTreeWidget(this);
    actionList->setObjectName(u"planActions"_s);
    actionList->setRootIsDecorated(false);
    actionList->setHeaderHidden(true);
    actionList->setColumnCount(3);
    actionList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(progressText);
    layout->addWidget(countsText);
    layout->addWidget(refusalText);
    layout->addWidget(actionList, 1);

    planButton = new QPushButton(LanguageTextOr(language, Text::kPlanAgain, u"Plan again"_s), this);
    planButton->setObjectName(u"planButton"_s);
    syncButton = new QPushButton(LanguageTextOr(language, Text::kSync, u"Sync"_s), this);
    syncButton->setObjectName(u"syncButton"_s);
    syncButton->setEnabled(false);
    auto* closeButton = new QPushButton(LanguageTextOr(language, Text::kClose, u"Close"_s), this);
    closeButton->setObjectName(u"closeButton"_s);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(planButton);
    buttons->addStretch(1);
    buttons->addWidget(syncButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(addRoot, &QPushButton::clicked, this, &CDlgLibrarySync::AddLibraryFolder);
    connect(removeRoot, &QPushButton::clicked, this, [this] { delete rootList->currentItem(); });
    connect(browse, &QPushButton::clicked, this, &CDlgLibrarySync::BrowseCopyFolder);
    connect(planButton, &QPushButton::clicked, this, &CDlgLibrarySync::ReadLibrary);
    connect(syncButton, &QPushButton::clicked, this, &CDlgLibrarySync::Sync);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    // The files stay as read: only the plan changes with the removals.
    connect(removeGone, &QCheckBox::toggled, this, [this](bool on) {
        removeMany->setEnabled(on);
        if (!on)
            removeMany->setChecked(false);
        if (session && !reader)
            PlanSync();
    });
    connect(removeMany, &QCheckBox::toggled, this, [this] {
        if (session && !reader)
            PlanSync();
    });
}

void CDlgLibrarySync::AddLibraryFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, LanguageTextOr(language, Text::kLibraryFolders, u"Library folders:"_s));
    if (!folder.isEmpty())
        rootList->addItem(FolderWithoutSeparator(folder));
}

void CDlgLibrarySync::BrowseCopyFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, LanguageTextOr(language, Text::kCopyFolder, u"The copy's folder:"_s),
        copyEdit->text());
    if (!folder.isEmpty())
        copyEdit->setText(FolderWithoutSeparator(folder));
}

QStringList CDlgLibrarySync::Roots() const
{
    QStringList roots;
    for (int row = 0; row < rootList->count(); ++row) {
        const QString root = rootList->item(row)->text().trimmed();
        if (!root.isEmpty() && !roots.contains(FolderWithoutSeparator(root)))
            roots << FolderWithoutSeparator(root);
    }
    return roots;
}

QString CDlgLibrarySync::CopyFolder() const
{
    if (copyEdit->text().trimmed().isEmpty())
        return {};
    QString folder = FolderWithoutSeparator(copyEdit->text().trimmed());
    AddBackslash(folder);
    return folder;
}

void CDlgLibrarySync::RememberFolders()
{
    settings.library.syncRoots = Roots().mid(0, CSettingsLibrary::kSyncRoots);
    settings.library.syncCopyFolder = copyEdit->text().trimmed();
}

void CDlgLibrarySync::ReadLibrary()
{
    StopReading();
    plan = {};
    session.reset();
    librarySync.reset();
    actionList->clear();
    countsText->clear();
    refusalText->clear();
    syncButton->setEnabled(false);
    readRoots = Roots();
    readCopy = CopyFolder();
    if (readRoots.isEmpty() || readCopy.isEmpty()) {
        ShowRefusal(LanguageTextOr(language, Text::kNameFolders,
                                   u"Name a library folder and the copy's folder."_s));
        return;
    }
    for (const QString& root : std::as_const(readRoots)) {
        if (CLibrarySync::Nested(root, readCopy)) {
            ShowRefusal(LanguageTextOr(language, Text::kCopyInLibrary,
                                       u"The copy's folder %1 and the library folder %2 lie one "
                                       u"inside the other: the copy would copy itself."_s)
                            .arg(readCopy, root));
            return;
        }
    }
    RememberFolders();
    library = std::make_unique<CFileList>();
    stopReading = false;
    planButton->setEnabled(false);
    const QString readingText =
        LanguageTextOr(language, Text::kReading, u"Reading the library: %1 of %2 files..."_s);
    progressText->setText(readingText.arg(0).arg(0));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    // Reading every file's properties is what takes long in a big library: off the window's
    // thread, told back through queued calls.
    reader.reset(QThread::create([this, readingText] {
        const ReadProgress progress = [this, readingText](qsizetype done, qsizetype total) {
            QMetaObject::invokeMethod(
                progressText,
                [this, readingText, done, total] {
                    progressText->setText(readingText.arg(done).arg(total));
                },
                Qt::QueuedConnection);
            return !stopReading;
        };
        for (const QString& root : std::as_const(readRoots)) {
            // A root that is not there is refused by the plan, with its reason.
            if (stopReading || !CLibrarySync::HoldsFiles(root))
                continue;
            CListedFolders listed;
            QStringList paths = WalkFolder(
                                    root, [this] { return !stopReading; }, &listed)
                                    .files;
            for (QString& path : paths)
                path = FoldDoubledSeparators(path);
            library->AddWalkedPaths(paths, progress, nullptr, &listed);
        }
    }));
    connect(reader.get(), &QThread::finished, this, &CDlgLibrarySync::OnLibraryRead);
    reader->start();
}

void CDlgLibrarySync::StopReading()
{
    if (!reader)
        return;
    stopReading = true;
    reader->wait();
    reader.reset();
    QApplication::restoreOverrideCursor();
}

void CDlgLibrarySync::OnLibraryRead()
{
    // The end of a reading that was stopped for another comes late: it is not this one's.
    if (!reader || sender() != reader.get())
        return;
    reader->wait();
    reader.reset();
    QApplication::restoreOverrideCursor();
    planButton->setEnabled(true);
    progressText->clear();
    CBusyCursor busy;
    session = std::make_unique<CConversionSession>(settings, programFolder, decoders, core);
    session->SetLanguage(&language);
    connect(session.get(), &CConversionSession::FileStateChanged, this,
            [this](int index, FileState state) {
                // Each result goes into the record as it lands: an interrupted sync resumes.
                if (state == FileState::Converted && librarySync)
                    librarySync->RecordConverted(*session->File(index));
            });
    QList<CFileInfo*> sources;
    for (qsizetype i = 0; i < library->Count(); ++i)
        sources << library->At(i);
    session->SetSources(sources);
    SessionOverrides overrides;
    overrides.outputFolder = readCopy;
    overrides.keepFolders = true;
    overrides.treeRoot = CLibrarySync::TreeRootOf(readRoots);
    // The record decides what is up to date; the results it lists may be replaced.
    overrides.overwrite = true;
    session->SetOverrides(overrides);
    session->Plan({}, &coder, presetIndex, false);
    PlanSync();
}

std::unique_ptr<CLibrarySync> CDlgLibrarySync::MakeSync()
{
    return std::make_unique<CLibrarySync>(
        *session, readCopy, [this](const LibrarySyncEvent& event) { OnSyncEvent(event); });
}

void CDlgLibrarySync::PlanSync()
{
    CBusyCursor busy;
    // A plan writes nothing: without a record it makes none.
    if (PlanOnRecord(true))
        ShowPlan();
}

bool CDlgLibrarySync::PlanOnRecord(bool dryRun)
{
    librarySync = MakeSync();
    if (QString error; !librarySync->OpenRecord(dryRun, &error)) {
        ShowRefusal(error);
        return false;
    }
    plan = librarySync->Plan(readRoots, SyncSignature(coder, presetIndex, settings),
                             removeGone->isChecked(), removeMany->isChecked());
    if (!plan.refusal.isEmpty()) {
        ShowRefusal(plan.refusal);
        return false;
    }
    return true;
}

void CDlgLibrarySync::Sync()
{
    if (!session || reader)
        return;
    // Planned again on a record opened for writing: what is carried out is what is there now.
    if (!PlanOnRecord(false))
        return;
    const int removals = plan.Count(Kind::Remove);
    if (removals > 0 &&
        !CurrentNotifier()->Confirm(
            language.GetString(MainText::kWarningCaption),
            LanguageTextOr(language, Text::kAskRemove,
                           u"%1 results whose source is gone will be removed from the copy. "
                           u"Remove them?"_s)
                .arg(removals))) {
        return;
    }
    problems.clear();
    if (!librarySync->SaveRoots(readRoots)) {
        ShowRefusal(librarySync->RecordError());
        return;
    }
    ConvertPlanned(librarySync->CarryOut(plan, [] { return false; }));
    problems << session->CompanionNotes();
    if (!problems.isEmpty()) {
        CurrentNotifier()->Notify(
            INotifier::Icon::Warning, language.GetString(MainText::kWarningCaption),
            TextWithFiles(LanguageTextOr(language, Text::kNotCarriedOut,
                                         u"Part of the sync could not be done:"_s),
                          problems));
    }
    // What is left to do, as the library and the copy are now.
    ReadLibrary();
}

void CDlgLibrarySync::ConvertPlanned(const QList<int>& toConvert)
{
    // Moved results and those up to date still get their folders' covers.
    if (toConvert.isEmpty()) {
        session->CarryCompanionsWithoutRun();
        return;
    }
    session->Sort(toConvert);
    if (!session->Start(true))
        return;
    CDlgJobControl jobControl(language, settings.core.priority, core, this);
    jobControl.FollowSession(*session);
    jobControl.exec();
}

void CDlgLibrarySync::OnSyncEvent(const LibrarySyncEvent& event)
{
    using Event = LibrarySyncEvent::Kind;
    switch (event.kind) {
    case Event::NotMoved:
        problems << event.path + u" \u2192 "_s + event.other;
        break;
    case Event::NotRemoved:
    case Event::NewPlaceTaken:
    case Event::ChangedOutside:
        problems << event.path;
        break;
    case Event::ForeignFile:
        problems << event.path + u": "_s +
                        LanguageTextOr(language, Text::kForeignFile,
                                       u"a file the copy's record does not list is at %1; it is "
                                       u"never replaced"_s)
                            .arg(event.other);
        break;
    case Event::RecordNotWritten:
        problems << librarySync->RecordPath() + u": "_s + event.reason;
        break;
    default:
        break;
    }
}

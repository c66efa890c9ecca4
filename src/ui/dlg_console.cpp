#include "ui/dlg_console.h"

#include "extensions/language_pack.h"
#include "foundation/console_log.h"
#include "ui/dialog_units.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kClose = 123;
constexpr int kTitle = 131;
} // namespace Text

constexpr int kWindowWidth = 251; // dialog units
constexpr int kWindowHeight = 172;

} // namespace

CDlgConsole::CDlgConsole(CLanguagePack& language, const ConsoleLog& consoleLog, QWidget* owner)
    : QDialog(owner), log(consoleLog)
{
    setObjectName(u"console"_s);
    setModal(false);

    text = new QPlainTextEdit(this);
    text->setObjectName(u"log"_s);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    closeButton = new QPushButton(language.GetString(Text::kClose), this);
    closeButton->setObjectName(u"closeButton"_s);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addLayout(buttons);
    resize(DialogUnits(font()).Size(kWindowWidth, kWindowHeight));

    setWindowTitle(language.GetString(Text::kTitle));
    // Close, Escape and the close box all end the dialog; the window is then gone, and the
    // command makes a new one next time.
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
}

CDlgConsole::~CDlgConsole() = default;

CDlgConsole* CDlgConsole::ShowOrRaise(QPointer<CDlgConsole>& window, CLanguagePack& language)
{
    if (window) {
        window->ReadLog();
    } else {
        window = new CDlgConsole(language, ConsoleLog::Instance(), nullptr);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void CDlgConsole::showEvent(QShowEvent* event)
{
    ReadLog();
    QDialog::showEvent(event);
}

void CDlgConsole::ReadLog()
{
    QString all;
    for (const QString& line : log.Lines()) {
        all += line;
        all += u'\n';
    }
    text->setPlainText(all);
    // The newest lines are the ones wanted.
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
}

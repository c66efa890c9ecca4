// Build tool: renders a Markdown file to a PDF with Qt's own text layout, so the manual needs
// nothing beyond Qt to build. Usage: markdown_pdf [--check] INPUT.md OUTPUT.pdf [TITLE]
// With --check it fails when any text leaves its page, a code block is split over two, or a word
// of INPUT.md is missing from the PDF as pdftotext (poppler-utils) reads it back.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextStream>
#include <QTextTable>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kResolution = 300;         // dots per inch of the PDF's layout
constexpr qreal kMarginMm = 22.0;        // page margins
constexpr qreal kBodyPointSize = 10.5;   // body text
constexpr qreal kCodePointSize = 9.0;    // code blocks and inline code
constexpr qreal kMinCodePointSize = 6.5; // a long code line shrinks to this, then wraps
constexpr qreal kCodeIndentPoints = 10.0;
constexpr qreal kFooterGapMm = 8.0; // between the text and the page number
constexpr int kPdfToTextTimeoutMs = 60000;
const QColor kCodeBackground(0xf2, 0xf2, 0xf2);
const QColor kHeadingColor(0x1f, 0x3a, 0x5f);

int Fail(const QString& message)
{
    std::fprintf(stderr, "markdown_pdf: %s\n", qUtf8Printable(message));
    return 1;
}

qreal PointsToPixels(qreal points)
{
    return points * kResolution / 72.0;
}

qreal MmToPixels(qreal mm)
{
    return mm * kResolution / 25.4;
}

// Headings get room above them and a colour; fenced code gets a shaded box, a fixed font and
// an indent; paragraphs a little room below.
void StyleBlocks(QTextDocument& document)
{
    QFont code = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    code.setPointSizeF(kCodePointSize);
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        QTextBlockFormat format = block.blockFormat();
        const int level = format.headingLevel();
        if (level > 0) {
            format.setTopMargin(PointsToPixels(level == 1 ? 4 : 14 - level));
            format.setBottomMargin(PointsToPixels(4));
            QTextCharFormat chars;
            chars.setForeground(kHeadingColor);
            cursor.mergeCharFormat(chars);
        } else if (format.hasProperty(QTextFormat::BlockCodeFence) || format.nonBreakableLines()) {
            format.setBackground(kCodeBackground);
            format.setLeftMargin(PointsToPixels(kCodeIndentPoints));
            format.setRightMargin(PointsToPixels(kCodeIndentPoints));
            format.setTopMargin(0);
            format.setBottomMargin(0);
            QTextCharFormat chars;
            chars.setFont(code);
            cursor.mergeCharFormat(chars);
            const bool first = !block.previous().blockFormat().nonBreakableLines();
            const bool last = !block.next().blockFormat().nonBreakableLines();
            if (first) {
                format.setTopMargin(PointsToPixels(4));
            }
            if (last) {
                format.setBottomMargin(PointsToPixels(8));
            }
        } else if (cursor.currentTable() != nullptr) {
            format.setBottomMargin(0);
        } else {
            format.setBottomMargin(PointsToPixels(5));
            format.setLineHeight(115, QTextBlockFormat::ProportionalHeight);
        }
        cursor.setBlockFormat(format);
    }
}

// Tables get thin grey rules, room inside their cells and the page's width.
void StyleTables(QTextDocument& document)
{
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (table == nullptr) {
            continue;
        }
        QTextTableFormat format = table->format();
        format.setBorder(PointsToPixels(0.25));
        format.setBorderBrush(QColor(0xa0, 0xa0, 0xa0));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(false);
        format.setCellPadding(PointsToPixels(3));
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 98));
        format.setTopMargin(PointsToPixels(4));
        format.setBottomMargin(PointsToPixels(8));
        table->setFormat(format);
    }
}

// Inline code (`text`) keeps the fixed font the importer gave it, at the code size.
void StyleInlineCode(QTextDocument& document)
{
    const QString fixedFamily = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.fontFixedPitch() &&
                !format.fontFamilies().toStringList().contains(fixedFamily)) {
                continue;
            }
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            QTextCharFormat chars;
            chars.setFontPointSize(kCodePointSize);
            if (!block.blockFormat().nonBreakableLines()) {
                chars.setBackground(kCodeBackground);
            }
            cursor.mergeCharFormat(chars);
        }
    }
}

// A fenced code block: its first and last line (each line is a block of its own).
struct CodeBlock
{
    QTextBlock first;
    QTextBlock last;
};

std::vector<CodeBlock> CodeBlocks(const QTextDocument& document)
{
    std::vector<CodeBlock> blocks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!block.blockFormat().nonBreakableLines()) {
            continue;
        }
        if (!blocks.empty() && blocks.back().last.next() == block) {
            blocks.back().last = block;
        } else {
            blocks.push_back({block, block});
        }
    }
    return blocks;
}

// A code block whose longest line is wider than the text shrinks to fit, down to a size that
// stays readable; whatever is still too long then wraps instead of running off the page.
void FitCodeBlocks(QTextDocument& document, const std::vector<CodeBlock>& blocks, qreal width,
                   QPaintDevice* device)
{
    const qreal room = width - 2 * PointsToPixels(kCodeIndentPoints);
    for (const CodeBlock& code : blocks) {
        QFont font = code.first.charFormat().font();
        font.setPointSizeF(kCodePointSize);
        const QFontMetricsF metrics(font, device);
        qreal widest = 0;
        for (QTextBlock block = code.first;; block = block.next()) {
            widest = qMax(widest, metrics.horizontalAdvance(block.text()));
            if (block == code.last) {
                break;
            }
        }
        QTextCursor cursor(&document);
        cursor.setPosition(code.first.position());
        cursor.setPosition(code.last.position() + code.last.length() - 1, QTextCursor::KeepAnchor);
        if (widest > room) {
            QTextCharFormat chars;
            chars.setFontPointSize(qMax(kMinCodePointSize, kCodePointSize * room / widest));
            cursor.mergeCharFormat(chars);
        }
        QTextBlockFormat wrapping;
        wrapping.setNonBreakableLines(false);
        cursor.mergeBlockFormat(wrapping);
    }
}

qreal Top(const QTextDocument& document, const QTextBlock& block)
{
    return document.documentLayout()->blockBoundingRect(block).top();
}

qreal Bottom(const QTextDocument& document, const QTextBlock& block)
{
    return document.documentLayout()->blockBoundingRect(block).bottom();
}

int PageOf(qreal y, qreal pageHeight)
{
    return int(std::floor(y / pageHeight));
}

// Lays the whole document out again from its current formats. Qt lays a document out lazily
// and mends only the region of a change, so after formats changed in the middle, blocks
// further down kept places from before: drawn there, they landed on other blocks or off every
// page, and whole sections were missing from the PDF.
void Relayout(QTextDocument& document)
{
    document.markContentsDirty(0, document.characterCount());
    (void)document.pageCount(); // finishes the layout
}

// A code block that would be split starts on a new page, unless it is longer than a page.
void KeepCodeBlocksTogether(QTextDocument& document, const std::vector<CodeBlock>& blocks,
                            qreal pageHeight)
{
    for (const CodeBlock& code : blocks) {
        const qreal top = Top(document, code.first);
        const qreal bottom = Bottom(document, code.last);
        if (PageOf(top, pageHeight) == PageOf(bottom - 1, pageHeight) ||
            bottom - top > pageHeight) {
            continue;
        }
        QTextCursor cursor(code.first);
        QTextBlockFormat format = code.first.blockFormat();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.setBlockFormat(format);
        // The blocks below move: the next ones are measured where they now are.
        Relayout(document);
    }
}

// Every line that reaches past the right edge of the text, and every code block split over
// two pages: what --check reports.
QStringList LayoutFaults(const QTextDocument& document, const std::vector<CodeBlock>& blocks,
                         qreal width, qreal pageHeight)
{
    QStringList faults;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QPointF origin = document.documentLayout()->blockBoundingRect(block).topLeft();
        const QTextLayout* layout = block.layout();
        for (int i = 0; layout != nullptr && i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const QString text = block.text().mid(line.textStart(), line.textLength());
            if (origin.x() + line.naturalTextRect().right() > width + 0.5) {
                faults << u"past the right margin: "_s + text;
            }
            // Drawn on both pages, cut in two by each page's edge.
            const qreal top = origin.y() + line.y();
            if (PageOf(top, pageHeight) != PageOf(top + line.height() - 1, pageHeight)) {
                faults << u"across the end of page %1: "_s.arg(PageOf(top, pageHeight) + 1) + text;
            }
        }
    }
    for (const CodeBlock& code : blocks) {
        const qreal top = Top(document, code.first);
        const qreal bottom = Bottom(document, code.last);
        if (PageOf(top, pageHeight) != PageOf(bottom - 1, pageHeight) &&
            bottom - top <= pageHeight) {
            faults << u"code block split over two pages: "_s + code.first.text();
        }
    }
    return faults;
}

// The words of a text, each with how often it occurs: runs of letters and digits in
// compatibility form, so that a ligature read back from the PDF counts as its letters and
// Markdown's marks count as nothing.
QHash<QString, int> Words(const QString& text)
{
    QHash<QString, int> words;
    QString word;
    for (const QChar c : text.normalized(QString::NormalizationForm_KC) + u' ') {
        if (c.isLetterOrNumber()) {
            word += c;
        } else if (!word.isEmpty()) {
            ++words[word];
            word.clear();
        }
    }
    return words;
}

// The words of the Markdown text that the PDF holds fewer times, as pdftotext reads it.
bool FindMissingWords(const QString& markdown, const QString& pdf, QStringList& missing,
                      QString& error)
{
    QProcess reader;
    // -raw: in its reading order pdftotext joins a word broken at a hyphen into one.
    reader.start(u"pdftotext"_s, {u"-raw"_s, u"-enc"_s, u"UTF-8"_s, pdf, u"-"_s});
    if (!reader.waitForFinished(kPdfToTextTimeoutMs) ||
        reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        error = u"pdftotext (poppler-utils) could not read %1: %2 %3"_s.arg(
            pdf, reader.errorString(), QString::fromLocal8Bit(reader.readAllStandardError()));
        return false;
    }
    const QHash<QString, int> printed = Words(QString::fromUtf8(reader.readAllStandardOutput()));
    const QHash<QString, int> written = Words(markdown);
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        if (printed.value(it.key()) < it.value()) {
            missing << u"%1 (%2 of %3 times)"_s.arg(it.key())
                           .arg(printed.value(it.key()))
                           .arg(it.value());
        }
    }
    missing.sort();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool check = args.size() > 1 && args[1] == u"--check"_s;
    if (check) {
        args.removeAt(1);
    }
    if (args.size() < 3) {
        return Fail(u"usage: markdown_pdf [--check] INPUT.md OUTPUT.pdf [TITLE]"_s);
    }
    QFile input(args[1]);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return Fail(u"cannot read %1: %2"_s.arg(args[1], input.errorString()));
    }
    const QString markdown = QString::fromUtf8(input.readAll());

    QPdfWriter writer(args[2]);
    writer.setResolution(kResolution);
    writer.setTitle(args.size() > 3 ? args[3] : QString());
    writer.setCreator(u"orvel markdown_pdf"_s);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));

    QTextDocument document;
    QFont body(u"DejaVu Serif"_s);
    body.setPointSizeF(kBodyPointSize);
    document.setDefaultFont(body);
    document.documentLayout()->setPaintDevice(&writer);
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    StyleBlocks(document);
    StyleTables(document);
    StyleInlineCode(document);
    const std::vector<CodeBlock> codeBlocks = CodeBlocks(document);

    // The text fills the page less a strip at the bottom for the page number.
    const QRectF page = writer.pageLayout().paintRectPixels(kResolution);
    const qreal footer = MmToPixels(kFooterGapMm);
    // Whole pixels: the layout places lines in 1/64 of a pixel, and a line moved to the top of a
    // page that starts at a fraction began a hair above it, drawn (and read back) on both pages.
    const qreal textHeight = std::floor(page.height() - footer);
    document.setPageSize(QSizeF(page.width(), textHeight));
    document.rootFrame()->setFrameFormat([&] {
        QTextFrameFormat frame = document.rootFrame()->frameFormat();
        frame.setMargin(0);
        return frame;
    }());
    FitCodeBlocks(document, codeBlocks, page.width(), &writer);
    Relayout(document);
    KeepCodeBlocksTogether(document, codeBlocks, textHeight);
    if (const QStringList faults = LayoutFaults(document, codeBlocks, page.width(), textHeight);
        check && !faults.isEmpty()) {
        return Fail(args[1] + u":\n"_s + faults.join(u'\n'));
    }

    QPainter painter;
    if (!painter.begin(&writer)) {
        return Fail(u"cannot write %1"_s.arg(args[2]));
    }
    const int pages = document.pageCount();
    for (int number = 1; number <= pages; ++number) {
        if (number > 1) {
            writer.newPage();
        }
        painter.save();
        painter.translate(0, -(number - 1) * textHeight);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, (number - 1) * textHeight, page.width(), textHeight);
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        QFont small = body;
        small.setPointSizeF(kCodePointSize);
        painter.setFont(small);
        painter.setPen(Qt::darkGray);
        painter.drawText(QRectF(0, page.height() - footer / 2, page.width(), footer / 2),
                         Qt::AlignHCenter | Qt::AlignBottom, QString::number(number));
    }
    if (!painter.end()) {
        return Fail(u"cannot finish %1"_s.arg(args[2]));
    }
    if (check) {
        QStringList missing;
        QString error;
        if (!FindMissingWords(markdown, args[2], missing, error)) {
            return Fail(error);
        }
        if (!missing.isEmpty()) {
            return Fail(u"%1 words of %2 are missing from %3:\n"_s.arg(missing.size())
                            .arg(args[1], args[2]) +
                        missing.join(u'\n'));
        }
    }
    return 0;
}

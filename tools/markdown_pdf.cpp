// Build tool: renders a Markdown file to a PDF with Qt's own text layout, so the manual needs
// nothing beyond Qt to build. Usage: markdown_pdf INPUT.md OUTPUT.pdf [TITLE]
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextStream>
#include <QTextTable>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int kResolution = 300;       // dots per inch of the PDF's layout
constexpr qreal kMarginMm = 22.0;      // page margins
constexpr qreal kBodyPointSize = 10.5; // body text
constexpr qreal kCodePointSize = 9.0;  // code blocks and inline code
constexpr qreal kFooterGapMm = 8.0;    // between the text and the page number
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
            format.setLeftMargin(PointsToPixels(10));
            format.setRightMargin(PointsToPixels(10));
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

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        return Fail(u"usage: markdown_pdf INPUT.md OUTPUT.pdf [TITLE]"_s);
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

    // The text fills the page less a strip at the bottom for the page number.
    const QRectF page = writer.pageLayout().paintRectPixels(kResolution);
    const qreal footer = MmToPixels(kFooterGapMm);
    document.setPageSize(QSizeF(page.width(), page.height() - footer));
    document.rootFrame()->setFrameFormat([&] {
        QTextFrameFormat frame = document.rootFrame()->frameFormat();
        frame.setMargin(0);
        return frame;
    }());

    QPainter painter;
    if (!painter.begin(&writer)) {
        return Fail(u"cannot write %1"_s.arg(args[2]));
    }
    const int pages = document.pageCount();
    const qreal textHeight = page.height() - footer;
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
    return 0;
}

#include "ui/ReportPrinter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>

namespace qv {

namespace {

QColor Rgb(std::uint32_t c)
{
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

} // namespace

TQtReportCanvas::TQtReportCanvas(QPrinter& printer, QPainter& painter)
    : FPrinter(printer), FPainter(painter), FScale(printer.resolution() / 72.0)
{
    const QRectF page = printer.pageLayout().fullRectPoints();
    FWidth = page.width();
    FHeight = page.height();
    FPainter.setRenderHint(QPainter::Antialiasing);
}

void TQtReportCanvas::BeginPage()
{
    if (FPages++ > 0)
        FPrinter.newPage();
}

QFont TQtReportCanvas::Font(double size, int style) const
{
    QFont f(QStringLiteral("Helvetica"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(size);
    f.setBold(style & rfBold);
    f.setItalic(style & rfItalic);
    return f;
}

void TQtReportCanvas::Text(double x, double top, const std::string& text, double size, int style, std::uint32_t color)
{
    const QFont f = Font(size, style);
    FPainter.setFont(f);
    FPainter.setPen(Rgb(color));
    const QFontMetricsF m(f, &FPrinter);
    FPainter.drawText(QPointF(D(x), D(top) + m.ascent()), QString::fromStdString(text));
}

double TQtReportCanvas::TextWidth(const std::string& text, double size, int style)
{
    const QFontMetricsF m(Font(size, style), &FPrinter);
    return m.horizontalAdvance(QString::fromStdString(text)) / FScale;
}

void TQtReportCanvas::FillRect(double x, double y, double w, double h, std::uint32_t color)
{
    FPainter.fillRect(QRectF(D(x), D(y), D(w), D(h)), Rgb(color));
}

void TQtReportCanvas::GradientRect(double x, double y, double w, double h, std::uint32_t color)
{
    const QRectF r(D(x), D(y), D(w), D(h));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, Rgb(color));
    FPainter.fillRect(r, g);
}

void TQtReportCanvas::Line(double x1, double y1, double x2, double y2, double width, std::uint32_t color)
{
    FPainter.setPen(QPen(Rgb(color), D(width)));
    FPainter.drawLine(QPointF(D(x1), D(y1)), QPointF(D(x2), D(y2)));
}

void SetupReportPrinter(QPrinter& printer, bool landscape)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

namespace {

int Paint(const TReportRender& render, QPrinter& printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return -1;
    TQtReportCanvas canvas(printer, painter);
    const int pages = render(canvas);
    painter.end();
    return pages;
}

} // namespace

bool SaveReportPdf(const TReportRender& render, bool landscape, const QString& fileName)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setCreator(QStringLiteral("Quorvanta"));
    SetupReportPrinter(printer, landscape);
    return Paint(render, printer) > 0;
}

void PrintReport(const TReportRender& render, bool landscape, bool preview, IPrompter& prompter, QWidget* parent)
{
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        ShowError(prompter, "Uhmmm.... sei sicuro di avere una stampante installata?");
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    SetupReportPrinter(printer, landscape);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (preview) {
        QApplication::restoreOverrideCursor();
        QPrintPreviewDialog p(&printer, parent);
        QObject::connect(&p, &QPrintPreviewDialog::paintRequested, [&render](QPrinter* pr) { Paint(render, *pr); });
        p.exec();
        return;
    }
    // The printer repeats the pages for the copies asked in the dialog.
    Paint(render, printer);
    QApplication::restoreOverrideCursor();
}

} // namespace qv

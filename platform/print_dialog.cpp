#include "platform/print_dialog.h"

#include "platform/state.h"
#include "platform/wnd.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>

namespace platform {
namespace {

// Paints the page into a PDF in memory and then replaces the file, so that a failure halfway
// leaves no part of a page behind.
PrintResult PrintToPdfFile(const QString& name, const QPageLayout& layout, const std::function<void(QPainter&)>& paint,
                           std::string& error) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(layout);
        writer.setResolution(300);
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = "the PDF could not be made";
            return PrintResult::Failed;
        }
        paint(painter);
        painter.end();
    }
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = (name + ": " + file.errorString()).toStdString();
        return PrintResult::Failed;
    }
    return PrintResult::Printed;
}

}  // namespace

PrintResult PrintPage(CWnd& owner, const std::function<void(QPainter&)>& paint, std::string& error) {
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    auto& hooks = detail::State().hooks;
    if (!hooks.printAnswers.empty()) {
        const std::optional<std::string> answer = std::move(hooks.printAnswers.front());
        hooks.printAnswers.pop_front();
        if (!answer) return PrintResult::Cancelled;
        return PrintToPdfFile(QString::fromStdString(*answer), a4, paint, error);
    }
    if (detail::State().testMode) detail::TestModeFailure("a print dialog has no answer queued");
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(a4);
    QWidget* parent = owner.GetSafeWidget();
    QPrintDialog dialog(&printer, parent != nullptr && parent->isVisible() ? parent : nullptr);
    if (dialog.exec() != QDialog::Accepted) return PrintResult::Cancelled;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return PrintToPdfFile(printer.outputFileName(), printer.pageLayout(), paint, error);
    QPainter painter;
    if (!printer.isValid() || !painter.begin(&printer)) {
        error = "the printer " + printer.printerName().toStdString() + " cannot be reached";
        return PrintResult::Failed;
    }
    paint(painter);
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        error = "the printer " + printer.printerName().toStdString() + " did not take the page";
        return PrintResult::Failed;
    }
    return PrintResult::Printed;
}

}  // namespace platform

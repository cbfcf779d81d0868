#pragma once

#include "tools/service_report.h"

#include <QPageSize>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>

class QGuiApplication;
class QPainter;

// The service report as a PDF: one page for the usual content, two at most,
// text as text (searchable, fonts embedded), the throttle curve as vectors.
// Qt Gui only, so that the window and the command line share it.
namespace kestrum {

// Paints a picture into `area` (in the painter's units, points): the window
// hands in the Monitor plot's own drawing this way.
using ReportPicture = std::function<void(QPainter& painter, const QRectF& area)>;

// A4, or Letter where the system's locale measures in inches.
QPageSize::PageSizeId LocalePageSize();

struct ReportPdfResult
{
    bool written = false;
    QString error; // the file error's text when not written
    int pages = 0;
};

// Writes the whole file or leaves `path` as it was. A QGuiApplication must
// exist (see MakeGuiApplication).
ReportPdfResult WriteServiceReportPdf(const ServiceReport& report, const QString& path,
                                      QPageSize::PageSizeId pageSize = LocalePageSize(),
                                      const ReportPicture& monitorPicture = {});

// An off-screen QGuiApplication for programs without a window, to keep
// while reports are written; none when the process has an application.
std::unique_ptr<QGuiApplication> MakeGuiApplication();

} // namespace kestrum

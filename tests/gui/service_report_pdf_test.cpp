// The report's PDF writer on its own: the two-page bound, the paper size,
// the curve as vectors, and the caller's picture.
#include "support/pdf_text.h"
#include "throttle/throttle_tables.h"
#include "tools/pdf/service_report_pdf.h"

#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

ServiceReport Sample()
{
    ServiceReport report;
    report.model = "RK-AG";
    report.family = "KAV";
    report.serialNumber = "228138";
    report.fieldMap = "18";
    report.madeAt = "2026-12-10 12:00:00";
    report.toolVersion = "1.0.0.1";
    report.settings = {{"Max Output Current", "90 %"}};
    report.switches = {{"Turbo", "off"}};
    report.sensorType = "0 - 5K Ohms";
    report.curveName = "Linear";
    report.curve = kLinearTable;
    report.errorLog.assign(32, "0A");
    return report;
}

std::string Info(const std::string& path)
{
    return RunProgram("/usr/bin/pdfinfo", {path}).out;
}

class ServiceReportPdfTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!PdfToolsPresent() || !std::filesystem::exists("/usr/bin/pdfimages"))
            GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
    }
    std::string Path() const { return dir.filePath(QStringLiteral("r.pdf")).toStdString(); }
    ReportPdfResult Write(const ServiceReport& report, QPageSize::PageSizeId size = QPageSize::A4,
                          const ReportPicture& picture = {})
    {
        return WriteServiceReportPdf(report, QString::fromStdString(Path()), size, picture);
    }

    QTemporaryDir dir;
};

TEST_F(ServiceReportPdfTest, moreChangesThanTwoPagesHold_endOnTheSecondPage_withANote)
{
    ServiceReport report = Sample();
    for (int i = 0; i < 150; ++i)
        report.changesToday.push_back({"09:00:00", "Set", {"Max Output Current: 80 -> 90 %"}});

    const ReportPdfResult written = Write(report);

    ASSERT_TRUE(written.written) << written.error.toStdString();
    EXPECT_EQ(written.pages, 2);
    EXPECT_EQ(PdfPages(Path()), 2);
    EXPECT_NE(PdfText(Path()).find("The rest is in the service history"), std::string::npos);
}

TEST_F(ServiceReportPdfTest, usualContent_fitsOnePage_withoutANote)
{
    const ReportPdfResult written = Write(Sample());

    ASSERT_TRUE(written.written);
    EXPECT_EQ(PdfPages(Path()), 1);
    EXPECT_EQ(PdfText(Path()).find("The rest is"), std::string::npos);
}

struct PaperCase
{
    const char* name;
    QPageSize::PageSizeId size;
    const char* info;
};

class PaperSize : public ServiceReportPdfTest, public testing::WithParamInterface<PaperCase>
{};

TEST_P(PaperSize, page_hasTheGivenSize)
{
    ASSERT_TRUE(Write(Sample(), GetParam().size).written);
    EXPECT_NE(Info(Path()).find(GetParam().info), std::string::npos) << Info(Path());
}

INSTANTIATE_TEST_SUITE_P(Paper, PaperSize,
                         testing::Values(PaperCase{"A4", QPageSize::A4, "595 x 842 pts (A4)"},
                                         PaperCase{"Letter", QPageSize::Letter,
                                                   "612 x 792 pts (letter)"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServiceReportPdfTest, curveIsDrawnAsVectors_andOnlyThePictureIsAnImage)
{
    ASSERT_TRUE(Write(Sample()).written);
    const std::string none = RunProgram("/usr/bin/pdfimages", {"-list", Path()}).out;

    ServiceReport report = Sample();
    report.monitor = MonitorSummary{3, {{"Battery Voltage", "Volts", "47.0", "49.0", "48.0"}}};
    int painted = 0;
    ASSERT_TRUE(Write(report, QPageSize::A4, [&painted](QPainter& painter, const QRectF& area) {
                    ++painted;
                    QImage image(40, 20, QImage::Format_RGB32);
                    image.fill(Qt::green);
                    painter.drawImage(area, image);
                }).written);
    const std::string one = RunProgram("/usr/bin/pdfimages", {"-list", Path()}).out;

    // pdfimages lists a header of two lines, then one line per image.
    const auto lines = [](const std::string& text) {
        return std::count(text.begin(), text.end(), '\n');
    };
    EXPECT_EQ(lines(none), 2);
    EXPECT_EQ(lines(one), 3);
    EXPECT_EQ(painted, 1);
    const std::string text = PdfText(Path());
    EXPECT_NE(text.find("3 polling cycles"), std::string::npos) << text;
}

} // namespace
} // namespace kestrum::test

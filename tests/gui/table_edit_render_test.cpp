#include "throttle/gui/table_edit.h"
#include "throttle/throttle_tables.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QImage Render(CTableEdit& graph)
{
    graph.resize(200, 120);
    return graph.grab().toImage();
}

TEST(TableEditRender, linearRunsFromBottomLeftToTopRightOnWhite)
{
    CTableEdit graph;
    graph.setFrameStyle(QFrame::NoFrame);
    graph.SetTable(kestrum::kLinearTable.data(), 256);
    const QImage image = Render(graph);
    const int w = image.width() - 1, h = image.height() - 1;
    struct Case
    {
        int x, y;
        QRgb colour;
    } cases[] = {{0, h, qRgb(0, 0, 0)},
                 {w, 0, qRgb(0, 0, 0)},
                 {w, h, qRgb(255, 255, 255)},
                 {0, 0, qRgb(255, 255, 255)}};
    for (const auto& c : cases)
        EXPECT_EQ(image.pixel(c.x, c.y) & 0xFFFFFF, c.colour & 0xFFFFFF) << c.x << "," << c.y;
}

TEST(TableEditRender, noTableShowsOnlyWhite)
{
    CTableEdit graph;
    graph.setFrameStyle(QFrame::NoFrame);
    const QImage image = Render(graph);
    EXPECT_EQ(image.pixel(0, image.height() - 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF, 0xFFFFFFu);
}

} // namespace

#include "throttle/gui/table_edit.h"
#include "throttle/throttle_tables.h"

#include <QImage>
#include <array>
#include <gtest/gtest.h>
#include <utility>

namespace {

QImage Render(CTableEdit& graph)
{
    graph.resize(200, 120);
    return graph.grab().toImage();
}

TEST(TableEditRender, linear_runsFromBottomLeftToTopRightOnWhite)
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

TEST(TableEditRender, corners_followTheSizeAndTheLengthOfTheTableDrawnNow)
{
    std::array<std::uint8_t, 16> ramp{};
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint8_t>(i);
    CTableEdit graph;
    graph.setFrameStyle(QFrame::NoFrame);
    // The 256-entry table first, so the short one is set after a resize
    // with the long one attached.
    graph.SetTable(kestrum::kLinearTable.data(), 256);
    for (const QSize size : {QSize(200, 120), QSize(64, 300), QSize(333, 77)}) {
        for (const auto& [table, length] :
             {std::pair{kestrum::kLinearTable.data(), 256},
              std::pair{static_cast<const std::uint8_t*>(ramp.data()), 16}}) {
            graph.resize(size);
            (void)graph.grab();
            graph.SetTable(table, length);
            const QImage image = graph.grab().toImage();
            const int w = image.width() - 1, h = image.height() - 1;
            EXPECT_EQ(image.pixel(0, h) & 0xFFFFFF, 0u) << length << " at " << w << "x" << h;
            EXPECT_EQ(image.pixel(w, 0) & 0xFFFFFF, 0u) << length << " at " << w << "x" << h;
            EXPECT_EQ(image.pixel(w, h) & 0xFFFFFF, 0xFFFFFFu) << length;
        }
    }
}

TEST(TableEditRender, noTable_showsOnlyWhite)
{
    CTableEdit graph;
    graph.setFrameStyle(QFrame::NoFrame);
    const QImage image = Render(graph);
    EXPECT_EQ(image.pixel(0, image.height() - 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF, 0xFFFFFFu);
}

} // namespace

#include "throttle/gui/table_edit.h"

#include "throttle/graph_mapping.h"

#include <QPainter>
#include <QPolygonF>

CTableEdit::CTableEdit(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
}

void CTableEdit::SetTable(const std::uint8_t* table, int length)
{
    table_ = table;
    length_ = length;
}

void CTableEdit::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    QPainter painter(this);
    painter.fillRect(area, Qt::white);
    if (!table_ || length_ < 2)
        return;
    // Mapped with the length of the table drawn now, so the last entry lands
    // on the right edge whatever the length was at the last resize. The last
    // pixel row and column are width-1 / height-1 so the corners are drawn.
    const double w = area.width() - 1;
    const double h = area.height() - 1;
    QPolygonF line;
    line.reserve(length_);
    for (int i = 0; i < length_; ++i) {
        const auto p = kestrum::MapToPixel(i, table_[i], length_, w, h);
        line << QPointF(area.left() + p.x, area.top() + p.y);
    }
    painter.setPen(QPen(Qt::black, 0)); // cosmetic: one device pixel at any ratio
    painter.drawPolyline(line);
}

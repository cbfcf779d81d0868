#pragma once

#include <QFrame>
#include <cstdint>

// The throttle table graph: step left to right, response bottom to top, a
// one-pixel black polyline on white. It only displays. The table belongs to
// the caller and must outlive its attachment.
class CTableEdit : public QFrame
{
    Q_OBJECT

public:
    explicit CTableEdit(QWidget* parent = nullptr);

    // Does not repaint; the caller updates the widget after changing it.
    void SetTable(const std::uint8_t* table, int length);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const std::uint8_t* table_ = nullptr;
    int length_ = 255;
};

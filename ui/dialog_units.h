#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>

namespace kestrum {

// Our dialogs are laid out in dialog units: a quarter of the font's average
// character width across, an eighth of its line height down. Measured on the
// platform font, the classic coordinates give a dialog that fits its texts
// at any font size or screen density.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font)
    {
        const QFontMetrics metrics(font);
        const QString alphabet =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const int letters = static_cast<int>(alphabet.size());
        baseX = (metrics.horizontalAdvance(alphabet) + letters / 2) / letters;
        baseY = metrics.height();
    }

    int X(int units) const { return (units * baseX + 2) / 4; }
    int Y(int units) const { return (units * baseY + 4) / 8; }
    QRect Rect(int x, int y, int width, int height) const
    {
        return QRect(X(x), Y(y), X(width), Y(height));
    }

private:
    int baseX = 0;
    int baseY = 0;
};

} // namespace kestrum

#pragma once

#include "link/line_quality.h"
#include "link/link_health.h"

#include <QStatusBar>
#include <QString>

class QLabel;
class QTimer;

namespace kestrum {
class CController;
}

// The line under the pages: the port in use (or "No controller found"), the
// controller's model and serial number once the Control Panel has read them,
// the link's state as a coloured dot with its name (amber "Poor line" when
// more than one transaction in ten of the last fifty needed a resend), and
// how long ago the last answer came. Its tooltip, and a click, give the link's counters.
// After a write it says for a few seconds what was done.
//
// It reads the link's health without the link's lock, four times a second
// at most, and touches a label only when its text changed.
class CStatusLine : public QStatusBar
{
    Q_OBJECT

public:
    explicit CStatusLine(kestrum::CController& controller, QWidget* parent = nullptr);

    // "Model ..., serial ..." as identified; empty until then.
    void SetIdentity(const QString& identity);
    // What a write did ("4 settings written and verified"), shown for a few
    // seconds.
    void ShowResult(const QString& result);

    QString PortText() const;
    QString StateText() const;
    QString IdentityText() const;
    QString ResultText() const;
    // Shown while a write result is (it takes the place of the age).
    QString AgeText() const;

    // No width of its own: the window's width is the sheet's, and a long
    // text is cut at the right rather than widening a fixed-size window.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The texts for a snapshot of the link, also for tests.
    static QString StateName(kestrum::LinkState state);
    static QString CountersText(const kestrum::LinkHealthSnapshot& health);
    static QString AgeText(const kestrum::LinkHealthSnapshot& health,
                           std::chrono::steady_clock::time_point now);
    // The tooltip of a "Poor line": how many of the last transactions needed
    // a resend.
    static QString ResendRateText(const kestrum::LineQualitySnapshot& quality);
    // The tooltip of the state (the resend rate of a poor line; empty else).
    QString StateToolTip() const;

public slots:
    void Update();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    static void SetText(QLabel* label, const QString& text);

    kestrum::CController& controller_;
    QLabel* port_;
    QLabel* identity_;
    QLabel* dot_;
    QLabel* state_;
    QLabel* age_;
    QLabel* result_;
    QTimer* resultTimer_;
};

#include "ui/status_line.h"

#include "link/controller.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>
#include <array>

namespace {

constexpr int kUpdateMs = 250; // four times a second at most
constexpr int kResultMs = 5000;

QString DotColour(kestrum::LinkState state)
{
    switch (state) {
    case kestrum::LinkState::Answering:
        return QStringLiteral("#2e9e3e");
    case kestrum::LinkState::NotResponding:
        return QStringLiteral("#d08a00");
    case kestrum::LinkState::PortLost:
        return QStringLiteral("#c62828");
    case kestrum::LinkState::NoPort:
        break;
    }
    return QStringLiteral("#808080");
}

QLabel* AddLabel(QStatusBar& bar, const QString& accessibleName, int stretch)
{
    auto* label = new QLabel(&bar);
    label->setAccessibleName(accessibleName);
    bar.addWidget(label, stretch);
    label->setVisible(false); // until it has something to say
    return label;
}

} // namespace

CStatusLine::CStatusLine(kestrum::CController& controller, QWidget* parent)
    : QStatusBar(parent), controller_(controller)
{
    setSizeGripEnabled(false); // the window has a fixed size
    port_ = AddLabel(*this, QStringLiteral("Port"), 0);
    identity_ = AddLabel(*this, QStringLiteral("Controller"), 0);
    dot_ = AddLabel(*this, QStringLiteral("Link state colour"), 0);
    state_ = AddLabel(*this, QStringLiteral("Link state"), 0);
    age_ = AddLabel(*this, QStringLiteral("Last answer"), 0);
    result_ = AddLabel(*this, QStringLiteral("Last write"), 1);

    resultTimer_ = new QTimer(this);
    resultTimer_->setSingleShot(true);
    connect(resultTimer_, &QTimer::timeout, this, [this] { SetText(result_, QString()); });

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CStatusLine::Update);
    timer->start(kUpdateMs);
    Update();
}

void CStatusLine::SetIdentity(const QString& text)
{
    SetText(identity_, text);
}

void CStatusLine::ShowResult(const QString& text)
{
    SetText(result_, text);
    resultTimer_->start(kResultMs);
    // A write was just answered: its result says more than the age would.
    SetText(age_, QString());
}

QSize CStatusLine::sizeHint() const
{
    return {0, QStatusBar::sizeHint().height()};
}

QSize CStatusLine::minimumSizeHint() const
{
    return {0, QStatusBar::minimumSizeHint().height()};
}

QString CStatusLine::PortText() const
{
    return port_->text();
}
QString CStatusLine::StateText() const
{
    return state_->text();
}
QString CStatusLine::IdentityText() const
{
    return identity_->text();
}
QString CStatusLine::ResultText() const
{
    return result_->text();
}
QString CStatusLine::AgeText() const
{
    return age_->text();
}
QString CStatusLine::StateToolTip() const
{
    return state_->toolTip();
}

QString CStatusLine::StateName(kestrum::LinkState linkState)
{
    switch (linkState) {
    case kestrum::LinkState::Answering:
        return QStringLiteral("Answering");
    case kestrum::LinkState::NotResponding:
        return QStringLiteral("Not responding");
    case kestrum::LinkState::PortLost:
        return QStringLiteral("Port lost");
    case kestrum::LinkState::NoPort:
        break;
    }
    return QStringLiteral("No port");
}

QString CStatusLine::CountersText(const kestrum::LinkHealthSnapshot& health)
{
    const auto column = [](const kestrum::LinkCounters& c) {
        return std::array<quint64, 5>{c.transactions, c.resends, c.timeouts, c.refusedFrames,
                                      c.strayBytes};
    };
    const auto open = column(health.sinceOpen);
    const auto total = column(health.total);
    const char* names[] = {"Transactions", "Resends", "Time-outs", "Refused frames", "Stray bytes"};
    QString text = QStringLiteral("Since the port was opened / in total");
    for (std::size_t i = 0; i < open.size(); ++i)
        text += QStringLiteral("\n%1: %2 / %3")
                    .arg(QString::fromLatin1(names[i]))
                    .arg(open[i])
                    .arg(total[i]);
    return text;
}

QString CStatusLine::AgeText(const kestrum::LinkHealthSnapshot& health,
                             std::chrono::steady_clock::time_point now)
{
    if (!health.lastAnswer || health.state == kestrum::LinkState::NoPort)
        return QString();
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now - *health.lastAnswer).count();
    if (seconds < 1)
        return QStringLiteral("last answer just now");
    if (seconds < 120)
        return QStringLiteral("last answer %1 s ago").arg(seconds);
    return QStringLiteral("last answer %1 min ago").arg(seconds / 60);
}

void CStatusLine::Update()
{
    const kestrum::LinkHealthSnapshot health = controller_.Health();
    const bool open = controller_.IsPortOpen();
    SetText(port_, open ? QString::fromStdString(controller_.Port().Name())
                        : QStringLiteral("No controller found"));
    // Without a port the identity read earlier names nothing that is here;
    // the next identification sets it again.
    if (!open)
        SetText(identity_, QString());
    // A line that answers only after resends is no healthy "Answering".
    const kestrum::LineQualitySnapshot quality = controller_.Quality();
    const bool poor = health.state == kestrum::LinkState::Answering && quality.Poor();
    const QString colour = poor ? QStringLiteral("#d08a00") : DotColour(health.state);
    const QString name = poor ? QStringLiteral("Poor line") : StateName(health.state);
    SetText(dot_, QStringLiteral("<span style=\"color:%1\">&#9679;</span>").arg(colour));
    SetText(state_, name);
    dot_->setAccessibleName(name);
    const QString rate = poor ? ResendRateText(quality) : QString();
    for (QLabel* label : {dot_, state_}) {
        if (label->toolTip() != rate)
            label->setToolTip(rate);
    }
    SetText(age_, resultTimer_->isActive() ? QString()
                                           : AgeText(health, std::chrono::steady_clock::now()));
    const QString counters = CountersText(health);
    if (toolTip() != counters) {
        setToolTip(counters);
        setAccessibleDescription(counters);
    }
}

QString CStatusLine::ResendRateText(const kestrum::LineQualitySnapshot& quality)
{
    return QStringLiteral("Resend rate %1 %: %2 of the last %3 transactions needed a resend")
        .arg(quality.ResendPercent())
        .arg(quality.resent)
        .arg(quality.transactions);
}

void CStatusLine::mousePressEvent(QMouseEvent* event)
{
    QToolTip::showText(event->globalPosition().toPoint(), toolTip(), this);
    QStatusBar::mousePressEvent(event);
}

void CStatusLine::SetText(QLabel* label, const QString& text)
{
    if (label->text() != text) {
        label->setText(text);
        label->setVisible(!text.isEmpty());
    }
}

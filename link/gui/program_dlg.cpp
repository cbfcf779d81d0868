#include "link/gui/program_dlg.h"

#include "ui/control_id.h"
#include "ui/dialog_units.h"
#include "ui/message_box.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

namespace {

constexpr int kWriteDelayId = 1015;
constexpr int kReadWriteTriesId = 1016;
constexpr int kRetryDelayId = 1017;
constexpr int kResetTriesId = 1018;
constexpr int kResetDelayId = 1019;
constexpr int kOkId = 1;
constexpr int kCancelId = 2;

// Typed characters other than digits never reach the edit, as in a
// number-style edit box. Pasted text goes in as it is and is judged on OK.
class DigitsOnlyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
            return false; // shortcuts: copy, paste, mnemonics
        }
        const QString text = key->text();
        return std::any_of(text.begin(), text.end(), [](QChar ch) {
            return ch.isPrint() && (ch < QLatin1Char('0') || ch > QLatin1Char('9'));
        });
    }
};

// Blanks around the number are allowed; anything else besides the digits
// (and a minus sign where the field is signed) refuses the text, as does a
// number that does not fit the field.
std::string Trimmed(const QString& text)
{
    std::string s = text.toStdString();
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.back())) {
        s.pop_back();
    }
    const auto first = std::find_if_not(s.begin(), s.end(), blank);
    return std::string(first, s.end());
}

template<class T>
std::optional<T> ParseNumber(const QString& text)
{
    const std::string s = Trimmed(text);
    if (s.empty() || s.front() == '+') {
        return std::nullopt;
    }
    T value{};
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc{} || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return value;
}

void Refuse(QWidget* dialog, QLineEdit* edit, const QString& message)
{
    kestrum::ShowMessageBox(message, QMessageBox::Ok, QMessageBox::NoIcon, dialog);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

QString RangeMessage(std::int64_t low, std::int64_t high)
{
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(low).arg(high);
}

// A field is checked against its range before it is stored: a refused
// value must not govern the link, since every wait of every send multiplies
// by the attempts and a reset with none strands the controller.
bool TakeTiming(QWidget* dialog, QLineEdit* edit, kestrum::CommTimings& timings,
                kestrum::Timing timing)
{
    const kestrum::TimingRange& range = kestrum::RangeOf(timing);
    std::optional<std::int64_t> value;
    if (range.isSigned) {
        value = ParseNumber<std::int32_t>(edit->text());
    } else {
        value = ParseNumber<std::uint32_t>(edit->text());
    }
    if (!value) {
        Refuse(dialog, edit,
               range.isSigned ? QStringLiteral("Please enter an integer.")
                              : QStringLiteral("Please enter a positive integer."));
        return false;
    }
    if (!kestrum::SetTiming(timings, timing, *value)) {
        Refuse(dialog, edit, RangeMessage(range.low, range.high));
        return false;
    }
    return true;
}

} // namespace

CProgramDlg::CProgramDlg(kestrum::CommTimings& timings, QWidget* parent)
    : QDialog(parent), timings_(timings)
{
    setWindowTitle(QStringLiteral("Communication Timings"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    const kestrum::DialogUnits du(font());
    auto* digitsOnly = new DigitsOnlyFilter(this);

    struct Row
    {
        const char* label;
        int id;
        int y;
        QString value;
    };
    const Row rows[] = {
        {"Write delay  (milliseconds)", kWriteDelayId, 7, QString::number(timings.writeDelay)},
        {"Number of read/write attempts", kReadWriteTriesId, 29,
         QString::number(timings.readWriteTries)},
        {"Read/write retry delay (milliseconds)", kRetryDelayId, 51,
         QString::number(timings.retryDelay)},
        {"Number of reset attempts", kResetTriesId, 73, QString::number(timings.resetTries)},
        {"Reset delay (milliseconds)", kResetDelayId, 96, QString::number(timings.resetDelay)},
    };

    // The edit column starts at 129 units unless a label needs more room
    // with the platform font; then everything to its right moves over.
    int labelWidth = 0;
    for (const Row& row : rows) {
        labelWidth =
            std::max(labelWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(row.label)));
    }
    const int editLeft = std::max(du.X(129), du.X(8) + labelWidth + du.X(6));
    const int shift = editLeft - du.X(129);

    QLineEdit* edits[std::size(rows)] = {};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        auto* label = new QLabel(QString::fromUtf8(row.label), this);
        label->setGeometry(du.X(8), du.Y(row.y), editLeft - du.X(8), du.Y(14));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

        auto* edit = new QLineEdit(row.value, this);
        kestrum::SetControlId(edit, row.id);
        edit->setGeometry(editLeft, du.Y(row.y), du.X(40), du.Y(14));
        edit->installEventFilter(digitsOnly);
        label->setBuddy(edit);
        edits[i] = edit;
    }
    writeDelay_ = edits[0];
    readWriteTries_ = edits[1];
    retryDelay_ = edits[2];
    resetTries_ = edits[3];
    resetDelay_ = edits[4];

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    kestrum::SetControlId(ok, kOkId);
    ok->setGeometry(du.X(193) + shift, du.Y(7), du.X(50), du.Y(14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CProgramDlg::accept);

    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    kestrum::SetControlId(cancel, kCancelId);
    cancel->setGeometry(du.X(193) + shift, du.Y(30), du.X(50), du.Y(14));
    connect(cancel, &QPushButton::clicked, this, &CProgramDlg::reject);

    setTabOrder(resetTries_, writeDelay_);
    setTabOrder(writeDelay_, readWriteTries_);
    setTabOrder(readWriteTries_, retryDelay_);
    setTabOrder(retryDelay_, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, resetDelay_);

    setFixedSize(du.X(252) + shift, du.Y(118));
    resetTries_->setFocus(Qt::OtherFocusReason);
}

void CProgramDlg::accept()
{
    if (TakeFields()) {
        QDialog::accept();
    }
}

// Each field goes into the live timings the moment it is read, so the link
// uses it from its next transaction on; the first refused field ends the
// taking and leaves the dialog open.
bool CProgramDlg::TakeFields()
{
    using kestrum::Timing;
    return TakeTiming(this, writeDelay_, timings_, Timing::WriteDelay) &&
           TakeTiming(this, readWriteTries_, timings_, Timing::ReadWriteTries) &&
           TakeTiming(this, retryDelay_, timings_, Timing::RetryDelay) &&
           TakeTiming(this, resetTries_, timings_, Timing::ResetTries) &&
           TakeTiming(this, resetDelay_, timings_, Timing::ResetDelay);
}

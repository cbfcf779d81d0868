#include "link/gui/program_dlg.h"
#include "ui/control_id.h"
#include "ui/message_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <gtest/gtest.h>
#include <optional>

namespace {

constexpr int kIds[] = {1015, 1016, 1017, 1018, 1019};

// Answers every message box with OK and keeps what it was asked to show.
class MessageBoxRecorder
{
public:
    MessageBoxRecorder()
    {
        kestrum::SetMessageBoxHandler([this](const kestrum::MessageBoxRequest& request) {
            texts << request.text;
            return int(QMessageBox::Ok);
        });
    }
    ~MessageBoxRecorder() { kestrum::SetMessageBoxHandler(nullptr); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QStringList texts;
};

struct Values
{
    std::uint32_t writeDelay;
    std::int32_t readWriteTries;
    std::uint32_t retryDelay;
    std::int32_t resetTries;
    std::uint32_t resetDelay;

    bool operator==(const Values&) const = default;
};

void Set(kestrum::CommTimings& timings, const Values& v)
{
    timings.writeDelay = v.writeDelay;
    timings.readWriteTries = v.readWriteTries;
    timings.retryDelay = v.retryDelay;
    timings.resetTries = v.resetTries;
    timings.resetDelay = v.resetDelay;
}

Values Get(const kestrum::CommTimings& timings)
{
    return {timings.writeDelay, timings.readWriteTries, timings.retryDelay, timings.resetTries,
            timings.resetDelay};
}

void PrintTo(const Values& v, std::ostream* os)
{
    *os << "{" << v.writeDelay << ", " << v.readWriteTries << ", " << v.retryDelay << ", "
        << v.resetTries << ", " << v.resetDelay << "}";
}

QLineEdit* Edit(const QWidget& dlg, int id)
{
    return kestrum::FindControl<QLineEdit>(&dlg, id);
}

void Type(QWidget* target, const QString& keys)
{
    for (QChar ch : keys) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &press);
    }
}

const Values kStart{20, 5, 200, 20, 50};

struct OkCase
{
    const char* name;
    std::array<const char*, 5> texts; // fields 1015..1019
    const char* message;              // null: accepted without a message
    int refusedId;                    // where the focus goes back
    Values after;                     // the live timings after OK
};

class ProgramDlgOk : public testing::TestWithParam<OkCase>
{};

TEST_P(ProgramDlgOk, takesFieldsInOrderUpToTheRefusedOne)
{
    const OkCase& c = GetParam();
    kestrum::CommTimings timings;
    Set(timings, kStart);
    MessageBoxRecorder boxes;
    CProgramDlg dlg(timings);
    dlg.show();
    for (std::size_t i = 0; i < std::size(kIds); ++i) {
        Edit(dlg, kIds[i])->setText(QString::fromUtf8(c.texts[i]));
    }

    kestrum::FindControl<QPushButton>(&dlg, 1)->click();

    EXPECT_EQ(Get(timings), c.after);
    if (c.message) {
        EXPECT_EQ(boxes.texts, QStringList{c.message});
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit(dlg, c.refusedId));
    } else {
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Validation, ProgramDlgOk,
    testing::Values(
        OkCase{"allValid", {"30", "7", "250", "15", "60"}, nullptr, 0, {30, 7, 250, 15, 60}},
        OkCase{"attemptsZeroAccepted",
               {"20", "0", "200", "20", "50"},
               nullptr,
               0,
               {20, 0, 200, 20, 50}},
        OkCase{"attemptsNinetyNineAccepted",
               {"20", "99", "200", "20", "50"},
               nullptr,
               0,
               {20, 99, 200, 20, 50}},
        OkCase{"blanksAroundNumbersAccepted",
               {" 1", "2 ", "\t3", "4", " 5 "},
               nullptr,
               0,
               {1, 2, 3, 4, 5}},
        OkCase{"longestDelaysAccepted",
               {"10000", "5", "0", "3", "10000"},
               nullptr,
               0,
               {10000, 5, 0, 3, 10000}},
        OkCase{"resetTriesOneAndNinetyNineAccepted",
               {"30", "7", "250", "1", "60"},
               nullptr,
               0,
               {30, 7, 250, 1, 60}},
        // A reset with no attempts switches the controller to its bootloader
        // and then gives up on it at once.
        OkCase{"resetTriesZeroOutOfRange",
               {"30", "7", "250", "0", "60"},
               "Please enter an integer between 1 and 99.",
               1018,
               {30, 7, 250, 20, 50}},
        OkCase{"resetTriesNegativeOutOfRange",
               {"30", "7", "250", "-3", "60"},
               "Please enter an integer between 1 and 99.",
               1018,
               {30, 7, 250, 20, 50}},
        OkCase{"resetTriesHundredOutOfRange",
               {"30", "7", "250", "100", "60"},
               "Please enter an integer between 1 and 99.",
               1018,
               {30, 7, 250, 20, 50}},
        // Past ten seconds a delay is refused with the range message, as the
        // attempts are, and nothing from the refused field on is taken.
        OkCase{"writeDelayPastTenSeconds",
               {"10001", "7", "250", "15", "60"},
               "Please enter an integer between 0 and 10000.",
               1015,
               kStart},
        OkCase{"retryDelayLargestUnsigned",
               {"30", "7", "4294967295", "15", "60"},
               "Please enter an integer between 0 and 10000.",
               1017,
               {30, 7, 200, 20, 50}},
        OkCase{"resetDelayPastTenSeconds",
               {"30", "7", "250", "15", "10001"},
               "Please enter an integer between 0 and 10000.",
               1019,
               {30, 7, 250, 15, 50}},
        OkCase{"emptyWriteDelay",
               {"", "7", "250", "15", "60"},
               "Please enter a positive integer.",
               1015,
               kStart},
        OkCase{"writeDelayPastUnsignedRange",
               {"4294967296", "7", "250", "15", "60"},
               "Please enter a positive integer.",
               1015,
               kStart},
        OkCase{"negativeWriteDelay",
               {"-1", "7", "250", "15", "60"},
               "Please enter a positive integer.",
               1015,
               kStart},
        OkCase{"attemptsNotANumber",
               {"30", "x", "250", "15", "60"},
               "Please enter an integer.",
               1016,
               {30, 5, 200, 20, 50}},
        OkCase{"attemptsHundredOutOfRange",
               {"30", "100", "250", "15", "60"},
               "Please enter an integer between 0 and 99.",
               1016,
               {30, 5, 200, 20, 50}},
        OkCase{"attemptsNegativeOutOfRange",
               {"30", "-1", "250", "15", "60"},
               "Please enter an integer between 0 and 99.",
               1016,
               {30, 5, 200, 20, 50}},
        OkCase{"retryDelayTrailingLetters",
               {"30", "7", "12a", "15", "60"},
               "Please enter a positive integer.",
               1017,
               {30, 7, 200, 20, 50}},
        OkCase{"resetTriesEmpty",
               {"30", "7", "250", "", "60"},
               "Please enter an integer.",
               1018,
               {30, 7, 250, 20, 50}},
        OkCase{"resetTriesPastSignedRange",
               {"30", "7", "250", "2147483648", "60"},
               "Please enter an integer.",
               1018,
               {30, 7, 250, 20, 50}},
        OkCase{"resetDelayExponent",
               {"30", "7", "250", "15", "1e3"},
               "Please enter a positive integer.",
               1019,
               {30, 7, 250, 15, 50}},
        OkCase{"resetDelayPlusSign",
               {"30", "7", "250", "15", "+5"},
               "Please enter a positive integer.",
               1019,
               {30, 7, 250, 15, 50}}),
    [](const testing::TestParamInfo<OkCase>& info) { return std::string(info.param.name); });

TEST(ProgramDlg, cancelAfterRefusedFieldKeepsWhatWasTaken)
{
    kestrum::CommTimings timings;
    Set(timings, kStart);
    MessageBoxRecorder boxes;
    CProgramDlg dlg(timings);
    dlg.show();
    Edit(dlg, 1015)->setText("77");
    Edit(dlg, 1016)->setText("100");
    Edit(dlg, 1017)->setText("999");

    kestrum::FindControl<QPushButton>(&dlg, 1)->click();
    kestrum::FindControl<QPushButton>(&dlg, 2)->click();

    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(Get(timings), (Values{77, 5, 200, 20, 50}));
}

TEST(ProgramDlg, refusedFieldCorrected_thenAccepted)
{
    kestrum::CommTimings timings;
    Set(timings, kStart);
    MessageBoxRecorder boxes;
    CProgramDlg dlg(timings);
    dlg.show();
    Edit(dlg, 1016)->setText("100");
    kestrum::FindControl<QPushButton>(&dlg, 1)->click();
    ASSERT_TRUE(dlg.isVisible());

    Edit(dlg, 1016)->setText("9");
    kestrum::FindControl<QPushButton>(&dlg, 1)->click();

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(timings.readWriteTries, 9);
    EXPECT_EQ(boxes.texts.size(), 1);
}

TEST(ProgramDlg, showsCurrentValuesIncludingOutOfRangeOnes)
{
    kestrum::CommTimings timings;
    Set(timings, {4294967295u, 250, 0, -4, 7});
    CProgramDlg dlg(timings);
    const QStringList expected{"4294967295", "250", "0", "-4", "7"};
    for (std::size_t i = 0; i < std::size(kIds); ++i) {
        EXPECT_EQ(Edit(dlg, kIds[i])->text(), expected[int(i)]) << kIds[i];
    }
}

TEST(ProgramDlg, opensOnResetAttemptsWithTemplateTabOrder)
{
    kestrum::CommTimings timings;
    CProgramDlg dlg(timings);
    dlg.show();
    QWidget* start = Edit(dlg, 1018);
    ASSERT_EQ(dlg.focusWidget(), start);

    QStringList order;
    QWidget* w = start;
    do {
        if (w->focusPolicy() & Qt::TabFocus) {
            order << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != start);
    EXPECT_EQ(order, (QStringList{"1018", "1015", "1016", "1017", "1", "2", "1019"}));
}

TEST(ProgramDlg, typedNonDigits_neverReachTheEdit)
{
    kestrum::CommTimings timings;
    CProgramDlg dlg(timings);
    dlg.show();
    for (int id : kIds) {
        QLineEdit* edit = Edit(dlg, id);
        edit->clear();
        Type(edit, "1a-2 .3+x");
        EXPECT_EQ(edit->text(), "123") << id;
    }
}

TEST(ProgramDlg, ok_isDefaultButton)
{
    kestrum::CommTimings timings;
    CProgramDlg dlg(timings);
    EXPECT_EQ(dlg.windowTitle(), "Communication Timings");
    EXPECT_TRUE(kestrum::FindControl<QPushButton>(&dlg, 1)->isDefault());
    EXPECT_FALSE(kestrum::FindControl<QPushButton>(&dlg, 2)->isDefault());
}

// Each label must be readable whole and stand left of its edit, whatever the
// platform font; the buttons must not cover the edits.
TEST(ProgramDlg, labels_fitLeftOfTheirEdits)
{
    kestrum::CommTimings timings;
    CProgramDlg dlg(timings);
    for (int id : kIds) {
        QLineEdit* edit = Edit(dlg, id);
        QLabel* label = nullptr;
        for (QLabel* candidate : dlg.findChildren<QLabel*>()) {
            if (candidate->buddy() == edit) {
                label = candidate;
            }
        }
        ASSERT_NE(label, nullptr) << id;
        EXPECT_LE(label->geometry().right(), edit->geometry().left()) << id;
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << id;
        EXPECT_TRUE(dlg.rect().contains(edit->geometry())) << id;
        for (int button : {1, 2}) {
            EXPECT_FALSE(edit->geometry().intersects(
                kestrum::FindControl<QPushButton>(&dlg, button)->geometry()))
                << id;
        }
    }
}

} // namespace

// Every message box: the application's caption, and a default icon that
// depends on the buttons when the caller asks for none.
#include "gui_test_support.h"
#include "ui/wait_cursor.h"

#include <QTest>
#include <QTimer>

namespace kestrum::test {
namespace {

struct IconCase
{
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon asked;
    QMessageBox::Icon shown;
};

class MessageBoxIcons : public ::testing::TestWithParam<IconCase>
{};

TEST_P(MessageBoxIcons, box_getsTheCaptionAndTheDefaultIcon)
{
    const IconCase c = GetParam();
    std::vector<MessageBoxRequest> seen;
    SetMessageBoxHandler([&](const MessageBoxRequest& request) {
        seen.push_back(request);
        return static_cast<int>(QMessageBox::Cancel);
    });

    const int answer = ShowMessageBox(QStringLiteral("Some text"), c.buttons, c.asked);
    SetMessageBoxHandler({});

    EXPECT_EQ(answer, QMessageBox::Cancel); // the handler's answer comes back
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Quorvel Kestrum");
    EXPECT_EQ(seen[0].text, "Some text");
    EXPECT_EQ(seen[0].buttons, c.buttons);
    EXPECT_EQ(seen[0].icon, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MessageBoxIcons,
    ::testing::Values(
        IconCase{QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Warning},
        IconCase{QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoIcon, QMessageBox::Warning},
        IconCase{QMessageBox::Yes | QMessageBox::No, QMessageBox::NoIcon, QMessageBox::Question},
        IconCase{QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::NoIcon,
                 QMessageBox::Question},
        IconCase{QMessageBox::Ok, QMessageBox::Information, QMessageBox::Information},
        IconCase{QMessageBox::Yes | QMessageBox::No, QMessageBox::Critical,
                 QMessageBox::Critical}));

TEST(MessageBoxTest, withoutHandler_showsARealBoxWithTheCaption)
{
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            icon = box->icon();
            box->done(QMessageBox::Ok);
        }
    });
    EXPECT_EQ(ShowMessageBox(QStringLiteral("Motor controller is not responding")),
              QMessageBox::Ok);
    EXPECT_EQ(title, "Quorvel Kestrum");
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST(MessageBoxTest, safeDefault_enterPressesNo)
{
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    EXPECT_EQ(ShowMessageBox(QStringLiteral("Write it?"), QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::Warning, nullptr, QMessageBox::No),
              QMessageBox::No);
}

TEST(MessageBoxTest, duringAWaitCursor_theBoxShowsThePointer_andTheWaitCursorComesBack)
{
    CWaitCursor wait;
    std::optional<Qt::CursorShape> shownWithBox;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (const QCursor* cursor = QApplication::overrideCursor()) {
                shownWithBox = cursor->shape();
            }
            box->done(QMessageBox::Ok);
        }
    });

    ShowMessageBox(QStringLiteral("Cannot locate Motor controller"));

    EXPECT_EQ(shownWithBox, Qt::ArrowCursor);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
}

TEST(MessageBoxTest, withoutAWaitCursor_noCursorIsLeftBehind)
{
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
        }
    });
    ShowMessageBox(QStringLiteral("Motor controller is not responding"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace kestrum::test

// Keyboard: a page's mnemonic wins over the menu bar's while the focus is in
// the page; elsewhere the menu bar gets it; F10 opens the menu bar.
#include "app/prop_sheet.h"
#include "gui_test_support.h"
#include "ui/property_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QVBoxLayout>

namespace kestrum::test {
namespace {

// A page of the test's own, with controls whose mnemonics clash with the
// menu titles ("&Settings", "&Tools", "&Help").
class ClashPage : public CPropertyPage
{
public:
    explicit ClashPage(CMainFrame& frame) : CPropertyPage(frame.Controller())
    {
        auto* layout = new QVBoxLayout(this);
        set = new QPushButton(QStringLiteral("&Set"), this);
        turbo = new QCheckBox(QStringLiteral("&Turbo"), this);
        label = new QLabel(QStringLiteral("&High limit"), this);
        edit = new QLineEdit(this);
        label->setBuddy(edit);
        other = new QLineEdit(this);
        for (QWidget* widget : std::initializer_list<QWidget*>{set, turbo, label, edit, other}) {
            layout->addWidget(widget);
        }
        QObject::connect(set, &QPushButton::clicked, [this] { ++setClicks; });
    }
    void OnRefresh() override {}

    QPushButton* set;
    QCheckBox* turbo;
    QLabel* label;
    QLineEdit* edit;
    QLineEdit* other;
    int setClicks = 0;
};

class MnemonicTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.SetFastTimings();
        frame.emplace(App());
        page = new ClashPage(*frame);
        frame->Sheet().setCurrentIndex(frame->Sheet().addTab(page, QStringLiteral("Test")));
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&*frame));
    }
    void TearDown() override
    {
        for (QAction* action : frame->menuBar()->actions()) {
            action->menu()->hide();
        }
    }

    QMenu* OpenMenu() const
    {
        for (QAction* action : frame->menuBar()->actions()) {
            if (action->menu()->isVisible()) {
                return action->menu();
            }
        }
        return nullptr;
    }

    void Focus(QWidget* widget)
    {
        widget->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == widget; }));
    }

    TempSettings settings;
    SimulatorOnPort sim;
    MessageBoxRecorder boxes;
    std::optional<CMainFrame> frame;
    ClashPage* page = nullptr;
};

TEST_F(MnemonicTest, focusInPage_altLetterPressesThePageButton_notTheMenu)
{
    Focus(page->other);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);

    EXPECT_TRUE(WaitUntil([&] { return page->setClicks == 1; }));
    EXPECT_EQ(OpenMenu(), nullptr);
}

TEST_F(MnemonicTest, focusInPage_checkBoxMnemonicTogglesIt)
{
    Focus(page->other);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);

    EXPECT_TRUE(WaitUntil([&] { return page->turbo->isChecked(); }));
    EXPECT_EQ(OpenMenu(), nullptr);
}

TEST_F(MnemonicTest, focusInPage_labelMnemonicFocusesItsBuddy)
{
    Focus(page->other);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);

    EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == page->edit; }));
    EXPECT_EQ(OpenMenu(), nullptr);
}

TEST_F(MnemonicTest, focusOnTheTabBar_altLetterPressesThePageButton_notTheMenu)
{
    Focus(frame->Sheet().tabBar());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);

    EXPECT_TRUE(WaitUntil([&] { return page->setClicks == 1; }));
    EXPECT_EQ(OpenMenu(), nullptr);
}

TEST_F(MnemonicTest, focusOutsidePage_menuBarGetsTheClashingMnemonic)
{
    auto* outside = new QLineEdit(frame->statusBar());
    outside->show();
    Focus(outside);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);

    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }));
    EXPECT_EQ(OpenMenu()->title(), "&Settings");
    EXPECT_EQ(page->setClicks, 0);
}

TEST_F(MnemonicTest, disabledPageButton_leavesTheMnemonicToTheMenu)
{
    page->set->setEnabled(false);
    Focus(page->other);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);

    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }));
    EXPECT_EQ(OpenMenu()->title(), "&Settings");
}

TEST_F(MnemonicTest, letterSharedByALabelAndAButton_cyclesTheFocusThroughBoth)
{
    auto* hold = new QPushButton(QStringLiteral("&Hold"), page);
    int holdClicks = 0;
    QObject::connect(hold, &QPushButton::clicked, [&] { ++holdClicks; });
    page->layout()->addWidget(hold);
    hold->show();
    Focus(page->other);

    // The label stands for its buddy, so the key moves on from the buddy.
    for (QWidget* expected : std::initializer_list<QWidget*>{page->edit, hold, page->edit}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
        EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == expected; }));
    }
    EXPECT_EQ(holdClicks, 0);
    EXPECT_EQ(OpenMenu(), nullptr);
}

TEST_F(MnemonicTest, noClash_menuMnemonicStillOpensItsMenu)
{
    page->turbo->hide();
    Focus(page->other);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);

    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }));
    EXPECT_EQ(OpenMenu()->title(), "&Tools");
    EXPECT_FALSE(page->turbo->isChecked());
}

TEST_F(MnemonicTest, f10_opensTheMenuBar)
{
    Focus(page->other);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);

    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }));
    EXPECT_EQ(OpenMenu()->title(), "&Settings");
}

TEST_F(MnemonicTest, altAlone_selectsTheMenuBar)
{
    Focus(page->other);

    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Alt, Qt::NoModifier);

    ASSERT_TRUE(WaitUntil([&] { return frame->menuBar()->activeAction() != nullptr; }));
    EXPECT_EQ(frame->menuBar()->activeAction()->text(), "&Settings");
    // Down then opens the selected menu, as it would with the mouse.
    QTest::keyClick(frame->menuBar(), Qt::Key_Down);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }));
    EXPECT_EQ(OpenMenu()->title(), "&Settings");
}

} // namespace
} // namespace kestrum::test

#include "app/about_dlg.h"
#include "app/version_line.h"
#include "kestrum_version.h"
#include "ui/control_id.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

QStringList LabelTexts(const QWidget& root)
{
    QStringList texts;
    for (const QLabel* label : root.findChildren<QLabel*>()) {
        texts << label->text();
    }
    return texts;
}

TEST(AboutDlg, showsThisBuildsVersionLineAndNotice)
{
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "About Kestrum");

    auto* version = kestrum::FindControl<QLabel>(&dlg, 1102);
    ASSERT_NE(version, nullptr);
    const std::string expected = kestrum::VersionLine(KESTRUM_FILE_VERSION);
    ASSERT_FALSE(expected.empty()) << "unreadable file version " << KESTRUM_FILE_VERSION;
    EXPECT_EQ(version->text().toStdString(), expected);

    auto* legal = kestrum::FindControl<QLabel>(&dlg, 1103);
    ASSERT_NE(legal, nullptr);
    EXPECT_EQ(legal->text(), QStringLiteral(KESTRUM_LEGAL_COPYRIGHT));

    EXPECT_TRUE(LabelTexts(dlg).contains("Quorvel KAV and TLQ motor controller monitor"));
}

TEST(AboutDlg, icon_drawnFromProgramResources)
{
    CAboutDlg dlg;
    bool hasIcon = false;
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        hasIcon = hasIcon || !label->pixmap().isNull();
    }
    EXPECT_TRUE(hasIcon);
}

TEST(AboutDlg, ok_isDefaultAndCloses)
{
    CAboutDlg dlg;
    dlg.show();
    auto* ok = kestrum::FindControl<QPushButton>(&dlg, 1);
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    ok->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

// Whatever the platform font, every text is shown whole and clear of the
// OK button, inside the window.
TEST(AboutDlg, texts_fitBesideOkButton)
{
    CAboutDlg dlg;
    const QRect ok = kestrum::FindControl<QPushButton>(&dlg, 1)->geometry();
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        const QRect box = label->geometry();
        EXPECT_TRUE(dlg.rect().contains(box)) << label->text().toStdString();
        EXPECT_FALSE(box.intersects(ok)) << label->text().toStdString();
        EXPECT_GE(box.width(), label->fontMetrics().horizontalAdvance(label->text()))
            << label->text().toStdString();
    }
}

} // namespace

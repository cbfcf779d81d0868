#include "app/about_dlg.h"

#include "app/file_version.h"
#include "app/version_line.h"
#include "kestrum_version.h"
#include "ui/control_id.h"
#include "ui/dialog_units.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace {

constexpr int kVersionId = 1102;
constexpr int kLegalId = 1103;
constexpr int kOkId = 1;

QLabel* AddPlainLabel(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText); // shown as written, '&' included
    return label;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/kestrum-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Kestrum"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    const kestrum::DialogUnits du(font());

    auto* icon = new QLabel(this);
    const QRect iconRect = du.Rect(8, 13, 20, 20);
    const int iconSide = std::min(iconRect.width(), iconRect.height());
    icon->setGeometry(iconRect.x(), iconRect.y(), iconSide, iconSide);
    icon->setPixmap(ProgramIcon().pixmap(iconSide, iconSide));

    // The version comes from the program file (its version resource on
    // Windows); a version text that cannot be read leaves the neutral first
    // line in place. The legal notice is compiled in.
    auto* version = AddPlainLabel(this, QStringLiteral("Quorvel Motor Control Monitor"));
    kestrum::SetControlId(version, kVersionId);
    const std::string line = kestrum::VersionLine(kestrum::ProgramFileVersion());
    if (!line.empty()) {
        version->setText(QString::fromStdString(line));
    }

    auto* purpose =
        AddPlainLabel(this, QStringLiteral("Quorvel KAV and TLQ motor controller monitor"));

    auto* legal = AddPlainLabel(this, QStringLiteral(KESTRUM_LEGAL_COPYRIGHT));
    kestrum::SetControlId(legal, kLegalId);

    // Texts keep their template width unless the platform font needs more;
    // then the OK button and the right edge move over by the difference.
    const auto place = [&du](QLabel* label, int y, int width) {
        const int needed = label->fontMetrics().horizontalAdvance(label->text()) + du.X(2);
        label->setGeometry(du.X(40), du.Y(y), std::max(du.X(width), needed), du.Y(8));
        return label->geometry().right() + 1;
    };
    const int textRight =
        std::max({place(version, 9, 145), place(purpose, 26, 145), place(legal, 43, 80)});
    const int shift = std::max(0, textRight - du.X(40 + 145));

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    kestrum::SetControlId(ok, kOkId);
    ok->setGeometry(du.X(188) + shift, du.Y(6), du.X(35), du.Y(14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(du.X(231) + shift, du.Y(66));
}

#include "profiles/gui/history_dlg.h"

#include "profiles/gui/profile_commands.h"
#include "profiles/profile_file.h"
#include "throttle/sensor_types.h"
#include "ui/message_box.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

QString Summary(const kestrum::ControllerProfile& profile)
{
    QStringList lines;
    lines << QStringLiteral("Model: %1").arg(Text(profile.modelName))
          << QStringLiteral("Serial Number: %1").arg(Text(profile.serialNumber))
          << QStringLiteral("Field Map: %1").arg(Text(profile.fieldMap))
          << QStringLiteral("Taken %1 by version %2")
                 .arg(Text(profile.takenAt), Text(profile.toolVersion));
    if (profile.panel) {
        const auto& settings = kestrum::Settings();
        for (std::size_t i = 0; i < settings.size(); ++i) {
            lines << QStringLiteral("%1: %2").arg(
                Text(std::string(settings[i].label)),
                Text(kestrum::StoredSettingText(settings[i].id, profile.panel->stored[i],
                                                profile.modelCode)));
        }
        for (std::size_t i = 0; i < kestrum::kSwitches.size(); ++i) {
            lines << QStringLiteral("%1: %2").arg(
                Text(std::string(kestrum::kSwitches[i].text)),
                profile.panel->switches[i] ? QStringLiteral("on") : QStringLiteral("off"));
        }
    }
    if (profile.throttle) {
        const auto sensor = kestrum::SensorIndex(profile.throttle->sensorCode);
        lines << QStringLiteral("Throttle sensor type: %1")
                     .arg(sensor ? Text(std::string(kestrum::kSensorTypes[*sensor].label))
                                 : QStringLiteral("none"));
        lines << QStringLiteral("Throttle curve: %1")
                     .arg(Text(kestrum::CurveDisplayName(profile.throttle->table)));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

CHistoryDlg::CHistoryDlg(CProfileCommands& profileCommands, QWidget* parent)
    : QDialog(parent), commands_(profileCommands)
{
    setWindowTitle(QStringLiteral("Service History"));
    controllers_ = new QListWidget(this);
    controllers_->setObjectName(QStringLiteral("controllers"));
    entries_ = new QListWidget(this);
    entries_->setObjectName(QStringLiteral("entries"));
    details_ = new QPlainTextEdit(this);
    details_->setObjectName(QStringLiteral("details"));
    details_->setReadOnly(true);
    auto* controllersLabel = new QLabel(QStringLiteral("&Serial Numbers:"), this);
    controllersLabel->setBuddy(controllers_);
    auto* entriesLabel = new QLabel(QStringLiteral("&Kept Before a Change:"), this);
    entriesLabel->setBuddy(entries_);
    auto* detailsLabel = new QLabel(QStringLiteral("&Details:"), this);
    detailsLabel->setBuddy(details_);

    auto* buttons = new QDialogButtonBox(this);
    compare_ = buttons->addButton(QStringLiteral("Co&mpare"), QDialogButtonBox::ActionRole);
    compare_->setObjectName(QStringLiteral("compare"));
    load_ = buttons->addButton(QStringLiteral("&Load..."), QDialogButtonBox::ActionRole);
    load_->setObjectName(QStringLiteral("load"));
    buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);

    auto* grid = new QGridLayout(this);
    grid->addWidget(controllersLabel, 0, 0);
    grid->addWidget(entriesLabel, 0, 1);
    grid->addWidget(detailsLabel, 0, 2);
    grid->addWidget(controllers_, 1, 0);
    grid->addWidget(entries_, 1, 1);
    grid->addWidget(details_, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    resize(760, 420);

    connect(controllers_, &QListWidget::currentRowChanged, this, &CHistoryDlg::OnControllerChanged);
    connect(entries_, &QListWidget::currentRowChanged, this, &CHistoryDlg::OnEntryChanged);
    connect(compare_, &QPushButton::clicked, this, &CHistoryDlg::OnCompare);
    connect(load_, &QPushButton::clicked, this, &CHistoryDlg::OnLoad);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    ListControllers();
    if (controllers_->count() == 0) {
        details_->setPlainText(
            QStringLiteral("No profile has been kept yet. One is kept in %1 before every Set, "
                           "profile load and upgrade.")
                .arg(QDir::toNativeSeparators(Text(commands_.History().Root().string()))));
    }
    controllers_->setCurrentRow(0);
    OnEntryChanged();
}

void CHistoryDlg::ListControllers()
{
    for (const std::string& serial : commands_.History().Controllers())
        controllers_->addItem(Text(serial));
}

void CHistoryDlg::OnControllerChanged()
{
    entries_->clear();
    const QListWidgetItem* item = controllers_->currentItem();
    shown_ = item ? commands_.History().Entries(item->text().toStdString())
                  : std::vector<kestrum::ServiceHistory::Entry>{};
    for (const auto& entry : shown_) {
        entries_->addItem(
            entry.keptBefore.empty()
                ? Text(entry.taken)
                : QStringLiteral("%1, before %2").arg(Text(entry.taken), Text(entry.keptBefore)));
    }
    entries_->setCurrentRow(0);
}

std::optional<kestrum::ControllerProfile> CHistoryDlg::SelectedProfile()
{
    const int row = entries_->currentRow();
    if (row < 0 || row >= static_cast<int>(shown_.size()))
        return std::nullopt;
    const kestrum::ProfileRead read = kestrum::ReadProfile(shown_[row].path.string());
    if (!read.profile)
        details_->setPlainText(QStringLiteral("This profile cannot be used.\n\n") +
                               Text(read.error));
    return read.profile;
}

void CHistoryDlg::OnEntryChanged()
{
    const bool selected = entries_->currentRow() >= 0;
    compare_->setEnabled(selected);
    load_->setEnabled(selected);
    if (const auto profile = SelectedProfile())
        details_->setPlainText(Summary(*profile));
}

void CHistoryDlg::OnCompare()
{
    const auto profile = SelectedProfile();
    if (!profile)
        return;
    const auto lines = commands_.Compare(*profile);
    if (!lines)
        return;
    details_->setPlainText(lines->isEmpty()
                               ? QStringLiteral("The controller holds what this profile holds.")
                               : QStringLiteral("Loading this profile would change:\n") +
                                     lines->join(QLatin1Char('\n')));
}

void CHistoryDlg::OnLoad()
{
    const auto profile = SelectedProfile();
    if (!profile)
        return;
    commands_.LoadProfile(*profile);
    // The load kept what the controller held before it: list it now, with
    // the same serial number selected.
    const QString serial =
        controllers_->currentItem() ? controllers_->currentItem()->text() : QString();
    const QSignalBlocker quiet(controllers_);
    controllers_->clear();
    ListControllers();
    const auto same = controllers_->findItems(serial, Qt::MatchExactly);
    controllers_->setCurrentRow(same.isEmpty() ? 0 : controllers_->row(same.front()));
    OnControllerChanged();
}

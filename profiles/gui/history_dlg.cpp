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
    : QDialog(parent), commands(profileCommands)
{
    setWindowTitle(QStringLiteral("Service History"));
    controllers = new QListWidget(this);
    controllers->setObjectName(QStringLiteral("controllers"));
    entries = new QListWidget(this);
    entries->setObjectName(QStringLiteral("entries"));
    details = new QPlainTextEdit(this);
    details->setObjectName(QStringLiteral("details"));
    details->setReadOnly(true);
    auto* controllersLabel = new QLabel(QStringLiteral("&Serial Numbers:"), this);
    controllersLabel->setBuddy(controllers);
    auto* entriesLabel = new QLabel(QStringLiteral("&Kept Before a Change:"), this);
    entriesLabel->setBuddy(entries);
    auto* detailsLabel = new QLabel(QStringLiteral("&Details:"), this);
    detailsLabel->setBuddy(details);

    auto* buttons = new QDialogButtonBox(this);
    compare = buttons->addButton(QStringLiteral("Co&mpare"), QDialogButtonBox::ActionRole);
    compare->setObjectName(QStringLiteral("compare"));
    load = buttons->addButton(QStringLiteral("&Load..."), QDialogButtonBox::ActionRole);
    load->setObjectName(QStringLiteral("load"));
    buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);

    auto* grid = new QGridLayout(this);
    grid->addWidget(controllersLabel, 0, 0);
    grid->addWidget(entriesLabel, 0, 1);
    grid->addWidget(detailsLabel, 0, 2);
    grid->addWidget(controllers, 1, 0);
    grid->addWidget(entries, 1, 1);
    grid->addWidget(details, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    resize(760, 420);

    connect(controllers, &QListWidget::currentRowChanged, this, &CHistoryDlg::OnControllerChanged);
    connect(entries, &QListWidget::currentRowChanged, this, &CHistoryDlg::OnEntryChanged);
    connect(compare, &QPushButton::clicked, this, &CHistoryDlg::OnCompare);
    connect(load, &QPushButton::clicked, this, &CHistoryDlg::OnLoad);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    ListControllers();
    if (controllers->count() == 0) {
        details->setPlainText(
            QStringLiteral("No profile has been kept yet. One is kept in %1 before every Set, "
                           "profile load and upgrade.")
                .arg(QDir::toNativeSeparators(Text(commands.History().Root().string()))));
    }
    controllers->setCurrentRow(0);
    OnEntryChanged();
}

void CHistoryDlg::ListControllers()
{
    for (const std::string& serial : commands.History().Controllers())
        controllers->addItem(Text(serial));
}

void CHistoryDlg::OnControllerChanged()
{
    entries->clear();
    const QListWidgetItem* item = controllers->currentItem();
    shown = item ? commands.History().Entries(item->text().toStdString())
                 : std::vector<kestrum::ServiceHistory::Entry>{};
    for (const auto& entry : shown) {
        entries->addItem(
            entry.keptBefore.empty()
                ? Text(entry.taken)
                : QStringLiteral("%1, before %2").arg(Text(entry.taken), Text(entry.keptBefore)));
    }
    entries->setCurrentRow(0);
}

std::optional<kestrum::ControllerProfile> CHistoryDlg::SelectedProfile()
{
    const int row = entries->currentRow();
    if (row < 0 || row >= static_cast<int>(shown.size()))
        return std::nullopt;
    const kestrum::ProfileRead read = kestrum::ReadProfile(shown[row].path.string());
    if (!read.profile)
        details->setPlainText(QStringLiteral("This profile cannot be used.\n\n") +
                              Text(read.error));
    return read.profile;
}

void CHistoryDlg::OnEntryChanged()
{
    const bool selected = entries->currentRow() >= 0;
    compare->setEnabled(selected);
    load->setEnabled(selected);
    if (const auto profile = SelectedProfile())
        details->setPlainText(Summary(*profile));
}

void CHistoryDlg::OnCompare()
{
    const auto profile = SelectedProfile();
    if (!profile)
        return;
    const auto lines = commands.Compare(*profile);
    if (!lines)
        return;
    details->setPlainText(lines->isEmpty()
                              ? QStringLiteral("The controller holds what this profile holds.")
                              : QStringLiteral("Loading this profile would change:\n") +
                                    lines->join(QLatin1Char('\n')));
}

void CHistoryDlg::OnLoad()
{
    const auto profile = SelectedProfile();
    if (!profile)
        return;
    commands.LoadProfile(*profile);
    // The load kept what the controller held before it: list it now, with
    // the same serial number selected.
    const QString serial =
        controllers->currentItem() ? controllers->currentItem()->text() : QString();
    const QSignalBlocker quiet(controllers);
    controllers->clear();
    ListControllers();
    const auto same = controllers->findItems(serial, Qt::MatchExactly);
    controllers->setCurrentRow(same.isEmpty() ? 0 : controllers->row(same.front()));
    OnControllerChanged();
}

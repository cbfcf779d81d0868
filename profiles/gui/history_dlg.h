#pragma once

#include "profiles/service_history.h"

#include <QDialog>
#include <optional>
#include <vector>

class CProfileCommands;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// Tools > Service History...: the profiles kept before each change, per
// serial number, newest first. One can be shown, compared with what the
// controller holds, or loaded back onto it.
class CHistoryDlg : public QDialog
{
    Q_OBJECT

public:
    CHistoryDlg(CProfileCommands& commands, QWidget* parent = nullptr);

    void OnControllerChanged();
    void OnEntryChanged();
    void OnCompare();
    void OnLoad();

private:
    void ListControllers();
    std::optional<kestrum::ControllerProfile> SelectedProfile();

    CProfileCommands& commands_;
    QListWidget* controllers_ = nullptr;
    QListWidget* entries_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
    QPushButton* compare_ = nullptr;
    QPushButton* load_ = nullptr;
    std::vector<kestrum::ServiceHistory::Entry> shown_;
};

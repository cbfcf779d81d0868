#pragma once

#include <QDialog>

// The About box: the version line and the legal notice of this build, the
// program's icon and an OK button. Opened modally with exec().
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

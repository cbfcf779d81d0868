#include "tools/gui/memory_dlg.h"

#include "app/control_id.h"
#include "app/dialog_units.h"
#include "app/message_box.h"
#include "app/wait_cursor.h"
#include "link/controller.h"
#include "tools/parse_byte_value.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <string>

using kestrum::MemoryOperation;

namespace {

constexpr int kAddressLowId = 1020;
constexpr int kAddressHighId = 1021;
constexpr int kDataLowId = 1022;
constexpr int kDataHighId = 1023;
constexpr int kStatusId = 1058;
constexpr int kReadWriteId = 1066;
constexpr int kAddressLowLabelId = 1068;
constexpr int kAddressHighLabelId = 1069;
constexpr int kDataLowLabelId = 1070;
constexpr int kDataHighLabelId = 1071;
constexpr int kResetId = 1115;
constexpr int kExitId = 2;

const QString kZero = QStringLiteral("0x00");
const QString kNotResponding = QStringLiteral("Motor controller is not responding");

// One row per operation: its radio button and how the rest of the dialog
// looks while it is chosen. The edits of a read hold what it reads, so they
// are disabled; "clears" are the edits reset to "0x00" when the row is
// applied (Address Low, Address High, Data Low, Data High).
struct OperationRow
{
    MemoryOperation operation;
    int radioId;
    const char* radioText;
    int radioY;
    int radioWidth;
    const char* button;
    const char* addressHighLabel;
    const char* dataLowLabel;
    const char* dataHighLabel;
    bool enabled[3]; // Address High, Data Low, Data High
    bool clears[4];
};

// In template order, which is also the order of the radio buttons on screen.
constexpr OperationRow kRows[] = {
    {MemoryOperation::ReadFlash,
     1060,
     "Read Flash",
     7,
     52,
     "&Read",
     "Address High",
     "Data Low",
     "Data High",
     {true, false, false},
     {false, false, true, true}},
    {MemoryOperation::ReadEeprom,
     1062,
     "Read Eeprom",
     24,
     59,
     "&Read",
     "",
     "Data Low",
     "",
     {false, false, false},
     {false, true, false, true}},
    {MemoryOperation::ReadRam,
     1064,
     "Read Ram",
     41,
     50,
     "&Read",
     "Data 1",
     "Data 2",
     "Data 3",
     {false, false, false},
     {false, true, true, true}},
    {MemoryOperation::WriteFlash,
     1072,
     "Write Flash",
     58,
     51,
     "&Write",
     "Address High",
     "Data Low",
     "Data High",
     {true, true, true},
     {false, false, true, true}},
    {MemoryOperation::WriteEeprom,
     1073,
     "Write Eeprom",
     75,
     59,
     "&Write",
     "",
     "Data Low",
     "",
     {false, true, false},
     {false, true, true, true}},
    {MemoryOperation::WriteRam,
     1074,
     "Write Ram",
     92,
     49,
     "&Write",
     "",
     "Data Low",
     "",
     {false, true, false},
     {false, true, true, true}},
};

const OperationRow& RowOf(MemoryOperation operation)
{
    for (const OperationRow& row : kRows) {
        if (row.operation == operation) {
            return row;
        }
    }
    return kRows[0];
}

QString Hex2(unsigned byte)
{
    return QString::asprintf("0x%02X", byte);
}

} // namespace

CMemoryDlg::CMemoryDlg(kestrum::CController& controller, MemoryOperation operation, QWidget* parent)
    : QDialog(parent), controller(controller), operation(operation)
{
    setWindowTitle(QStringLiteral("Memory Viewer"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    const kestrum::DialogUnits du(font());

    // Controls are made in template order, which is their tab order.
    radios = new QButtonGroup(this);
    for (const OperationRow& row : kRows) {
        auto* radio = new QRadioButton(QString::fromUtf8(row.radioText), this);
        kestrum::SetControlId(radio, row.radioId);
        radio->setGeometry(du.Rect(7, row.radioY, row.radioWidth, 10));
        radios->addButton(radio, static_cast<int>(row.operation));
    }

    const auto makeLabel = [&](int id, const char* text, const QRect& rect) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        kestrum::SetControlId(label, id);
        label->setGeometry(rect);
        return label;
    };
    makeLabel(kAddressLowLabelId, "Address Low", du.Rect(86, 9, 43, 8));
    addressHighLabel = makeLabel(kAddressHighLabelId, "Address High", du.Rect(86, 26, 43, 8));
    dataLowLabel = makeLabel(kDataLowLabelId, "Data Low", du.Rect(86, 44, 32, 8));
    dataHighLabel = makeLabel(kDataHighLabelId, "Data High", du.Rect(86, 63, 33, 8));

    const struct
    {
        int id;
        int y;
    } editPlaces[kFieldCount] = {
        {kAddressLowId, 7}, {kAddressHighId, 25}, {kDataLowId, 42}, {kDataHighId, 60}};
    for (int field = 0; field < kFieldCount; ++field) {
        auto* edit = new QLineEdit(kZero, this);
        kestrum::SetControlId(edit, editPlaces[field].id);
        edit->setGeometry(du.Rect(141, editPlaces[field].y, 40, 14));
        edit->setAlignment(Qt::AlignCenter);
        edits[field] = edit;
    }
    // Only the address fields are checked as the user leaves them: the data
    // fields are checked when they are used.
    edits[kAddressLow]->installEventFilter(this);
    edits[kAddressHigh]->installEventFilter(this);

    const auto makeButton = [&](int id, const char* text, int y) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        kestrum::SetControlId(button, id);
        button->setGeometry(du.Rect(206, y, 50, 14));
        return button;
    };
    readWrite = makeButton(kReadWriteId, "&Read", 7);
    readWrite->setDefault(true);
    QPushButton* reset = makeButton(kResetId, "Re&set", 30);
    QPushButton* exit = makeButton(kExitId, "E&xit", 54);

    status = new QLabel(this);
    kestrum::SetControlId(status, kStatusId);
    status->setGeometry(du.Rect(7, 113, 249, 12));
    status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status->setAlignment(Qt::AlignCenter);

    connect(radios, &QButtonGroup::idClicked, this,
            [this](int id) { SetOperation(static_cast<MemoryOperation>(id)); });
    for (int field = 0; field < kFieldCount; ++field) {
        connect(edits[field], &QLineEdit::textChanged, this,
                [this, field] { refused[field] = false; });
    }
    connect(readWrite, &QPushButton::clicked, this, &CMemoryDlg::OnReadWrite);
    connect(reset, &QPushButton::clicked, this, &CMemoryDlg::OnReset);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(du.X(265), du.Y(132));
    SetOperation(operation);
}

void CMemoryDlg::SetOperation(MemoryOperation next)
{
    operation = next;
    const OperationRow& row = RowOf(operation);
    radios->button(static_cast<int>(row.operation))->setChecked(true);
    readWrite->setText(QString::fromUtf8(row.button));
    addressHighLabel->setText(QString::fromUtf8(row.addressHighLabel));
    dataLowLabel->setText(QString::fromUtf8(row.dataLowLabel));
    dataHighLabel->setText(QString::fromUtf8(row.dataHighLabel));
    for (int field = kAddressHigh; field < kFieldCount; ++field) {
        edits[field]->setEnabled(row.enabled[field - kAddressHigh]);
    }
    for (int field = 0; field < kFieldCount; ++field) {
        if (row.clears[field]) {
            edits[field]->setText(kZero);
            refused[field] = false;
        }
    }
}

bool CMemoryDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::FocusOut || telling) {
        return QDialog::eventFilter(watched, event);
    }
    // The edit's own context menu takes the focus for a moment only.
    if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason) {
        return false;
    }
    for (Field field : {kAddressLow, kAddressHigh}) {
        if (watched == edits[field] && !TakeField(field)) {
            QScopedValueRollback guard(telling, true);
            edits[field]->setFocus(Qt::OtherFocusReason);
            // The focus is back in the edit already: its own focus-out
            // handling would now hide the cursor of the focused edit.
            return true;
        }
    }
    return false;
}

bool CMemoryDlg::TakeField(Field field)
{
    QLineEdit* edit = edits[field];
    std::string text = edit->text().toStdString();
    const bool taken = !refused[field] && kestrum::ParseByteValue(text, values[field]);
    const QString shown = QString::fromStdString(text);
    if (shown != edit->text()) {
        edit->setText(shown);
    }
    // After the text is shown (which counts as a change): only a text the
    // parse cleared stays refused; an unchanged one is refused again anyway.
    refused[field] = !taken && text == "0x00";
    if (!taken) {
        Tell(QStringLiteral("Invalid number"));
    }
    return taken;
}

void CMemoryDlg::OnReadWrite()
{
    // In order, up to the first refused field: a write then never goes out
    // with a value the parse put in place of what the user typed.
    for (int field = 0; field < kFieldCount; ++field) {
        if (!TakeField(static_cast<Field>(field))) {
            if (edits[field]->isEnabled()) {
                QScopedValueRollback guard(telling, true);
                edits[field]->setFocus(Qt::OtherFocusReason);
                edits[field]->selectAll();
            }
            return;
        }
    }
    bool answered = false;
    {
        CWaitCursor wait;
        try {
            const bool read = operation == MemoryOperation::ReadFlash ||
                              operation == MemoryOperation::ReadEeprom ||
                              operation == MemoryOperation::ReadRam;
            if (read) {
                Read();
            } else {
                Write();
            }
            answered = true;
        } catch (const kestrum::CControllerException&) {
        }
    }
    // The status line keeps what it showed before the failed access.
    if (!answered) {
        Tell(kNotResponding);
    }
}

void CMemoryDlg::Read()
{
    const unsigned addressLow = values[kAddressLow];
    const unsigned addressHigh = values[kAddressHigh];
    QString result;
    switch (operation) {
    case MemoryOperation::ReadFlash: {
        const unsigned address = addressHigh * 256 + addressLow;
        std::uint16_t word = 0;
        if (controller.ReadFlash(static_cast<std::uint16_t>(address), word)) {
            ShowByte(kDataLow, static_cast<std::uint8_t>(word & 0xFF));
            ShowByte(kDataHigh, static_cast<std::uint8_t>(word >> 8));
            result = QString::asprintf("Flash address 0x%02X%02X (%u) = 0x%04X (%u)", addressHigh,
                                       addressLow, address, unsigned{word}, unsigned{word});
        }
        break;
    }
    case MemoryOperation::ReadEeprom: {
        std::uint8_t byte = 0;
        if (controller.ReadEeprom(addressLow, byte)) {
            ShowByte(kDataLow, byte);
            result = QString::asprintf("Eeprom address 0x%02X (%u) = 0x%02X (%u)", addressLow,
                                       addressLow, unsigned{byte}, unsigned{byte});
        }
        break;
    }
    case MemoryOperation::ReadRam: {
        std::uint8_t bytes[3] = {};
        if (controller.ReadRam(addressLow, bytes)) {
            ShowByte(kAddressHigh, bytes[0]);
            ShowByte(kDataLow, bytes[1]);
            ShowByte(kDataHigh, bytes[2]);
            // The last address is not wrapped: 0xFE reads up to "0x100".
            const unsigned last = addressLow + 2;
            result = QString::asprintf(
                "Ram address 0x%02X - 0x%02X (%u - %u) = 0x%02X 0x%02X 0x%02X", addressLow, last,
                addressLow, last, unsigned{bytes[0]}, unsigned{bytes[1]}, unsigned{bytes[2]});
        }
        break;
    }
    default:
        break;
    }
    status->setText(result);
}

void CMemoryDlg::Write()
{
    const unsigned address = values[kAddressLow];
    const unsigned data = values[kDataLow];
    bool written = false;
    switch (operation) {
    case MemoryOperation::WriteFlash:
        written =
            controller.WriteFlash(static_cast<std::uint16_t>(values[kAddressHigh] * 256 + address),
                                  static_cast<std::uint16_t>(values[kDataHigh] * 256 + data));
        break;
    case MemoryOperation::WriteEeprom:
        written = controller.WriteEeprom(address, data);
        break;
    case MemoryOperation::WriteRam:
        written = controller.WriteRam(address, data);
        break;
    default:
        return;
    }
    status->setText(written ? QStringLiteral("Write succeeded") : QStringLiteral("Write failed"));
}

void CMemoryDlg::OnReset()
{
    bool answered = false;
    {
        CWaitCursor wait;
        try {
            // As the main window's Reset: a controller that does not come
            // back shows up at the next access.
            controller.ResetController();
            answered = true;
        } catch (const kestrum::CControllerException&) {
        }
    }
    if (!answered) {
        Tell(kNotResponding);
    }
}

void CMemoryDlg::Tell(const QString& text)
{
    QScopedValueRollback guard(telling, true);
    kestrum::ShowMessageBox(text, QMessageBox::Ok, QMessageBox::Warning, this);
}

void CMemoryDlg::ShowByte(Field field, std::uint8_t byte)
{
    edits[field]->setText(Hex2(byte));
    refused[field] = false;
}

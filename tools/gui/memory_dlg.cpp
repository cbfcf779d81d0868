#include "tools/gui/memory_dlg.h"

#include "link/controller.h"
#include "tools/memory_access.h"
#include "tools/parse_byte_value.h"
#include "ui/control_id.h"
#include "ui/dialog_units.h"
#include "ui/message_box.h"
#include "ui/wait_cursor.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <algorithm>
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

// One row per operation: its radio button and how the rest of the dialog
// looks while it is chosen. "enabled" are the edits the user types in;
// "clears" are the edits reset to "0x00" when the row is applied (Address
// Low, Address High, Data Low, Data High).
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
    // Of those, the ones a read fills: shown read-only, so that the values
    // read stay as legible as typed ones while nobody can type over them.
    bool results[3];
    bool clears[4];
};

// In the order the dialog was laid out in, which is also the order of the
// radio buttons on screen, top to bottom.
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
     {false, true, true},
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
     {false, true, false},
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
     {true, true, true},
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
     {false, false, false},
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
     {false, false, false},
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
     {false, false, false},
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

kestrum::MemoryArea AreaOf(MemoryOperation operation)
{
    switch (operation) {
    case MemoryOperation::ReadFlash:
    case MemoryOperation::WriteFlash:
        return kestrum::MemoryArea::Flash;
    case MemoryOperation::ReadEeprom:
    case MemoryOperation::WriteEeprom:
        return kestrum::MemoryArea::Eeprom;
    case MemoryOperation::ReadRam:
    case MemoryOperation::WriteRam:
        break;
    }
    return kestrum::MemoryArea::Ram;
}

bool IsWrite(MemoryOperation operation)
{
    return operation == MemoryOperation::WriteFlash || operation == MemoryOperation::WriteEeprom ||
           operation == MemoryOperation::WriteRam;
}

// Every text the four field labels may show, whichever operation is chosen:
// the widest sets the column where the fields start.
const char* const kLabelTexts[] = {"Address Low", "Address High", "Data Low", "Data High",
                                   "Data 1",      "Data 2",       "Data 3"};

} // namespace

CMemoryDlg::CMemoryDlg(kestrum::CController& controller, MemoryOperation operation, QWidget* parent)
    : QDialog(parent), controller_(controller), operation_(operation)
{
    setWindowTitle(QStringLiteral("Memory Viewer"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    const kestrum::DialogUnits du(font());

    // Controls are made in the order of the dialog's layout, which is their
    // tab order. Where the platform font needs more room than the classic
    // coordinates give a radio button or a label, the columns to its right
    // move over (and the dialog widens) rather than clip the text.
    radios_ = new QButtonGroup(this);
    int radiosRight = 0;
    for (const OperationRow& row : kRows) {
        auto* radio = new QRadioButton(QString::fromUtf8(row.radioText), this);
        kestrum::SetControlId(radio, row.radioId);
        const int width = std::max(du.X(row.radioWidth), radio->sizeHint().width());
        radio->setGeometry(du.X(7), du.Y(row.radioY), width,
                           std::max(du.Y(10), radio->sizeHint().height()));
        radios_->addButton(radio, static_cast<int>(row.operation));
        radiosRight = std::max(radiosRight, du.X(7) + width);
    }

    const int labelLeft = std::max(du.X(86), radiosRight + du.X(4));
    int labelWidth = 0;
    for (const char* text : kLabelTexts) {
        labelWidth = std::max(labelWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(text)));
    }
    const int editLeft =
        std::max(du.X(141) + labelLeft - du.X(86), labelLeft + labelWidth + du.X(4));
    const int shift = editLeft - du.X(141);
    // Each label reaches to the edit column and is as tall as a line of text.
    const int labelHeight = std::max(du.Y(8), fontMetrics().height());

    const auto makeLabel = [&](int id, const char* text, int y) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        kestrum::SetControlId(label, id);
        label->setGeometry(labelLeft, du.Y(y), editLeft - du.X(4) - labelLeft, labelHeight);
        return label;
    };
    makeLabel(kAddressLowLabelId, "Address Low", 9);
    addressHighLabel_ = makeLabel(kAddressHighLabelId, "Address High", 26);
    dataLowLabel_ = makeLabel(kDataLowLabelId, "Data Low", 44);
    dataHighLabel_ = makeLabel(kDataHighLabelId, "Data High", 63);

    const struct
    {
        int id;
        int y;
    } editPlaces[kFieldCount] = {
        {kAddressLowId, 7}, {kAddressHighId, 25}, {kDataLowId, 42}, {kDataHighId, 60}};
    for (int field = 0; field < kFieldCount; ++field) {
        auto* edit = new QLineEdit(kZero, this);
        kestrum::SetControlId(edit, editPlaces[field].id);
        edit->setGeometry(editLeft, du.Y(editPlaces[field].y), du.X(40), du.Y(14));
        edit->setAlignment(Qt::AlignCenter);
        edits_[field] = edit;
    }
    // Only the address fields are checked as the user leaves them: the data
    // fields are checked when they are used.
    edits_[kAddressLow]->installEventFilter(this);
    edits_[kAddressHigh]->installEventFilter(this);

    const auto makeButton = [&](int id, const char* text, int y) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        kestrum::SetControlId(button, id);
        button->setGeometry(du.X(206) + shift, du.Y(y), du.X(50), du.Y(14));
        return button;
    };
    readWrite_ = makeButton(kReadWriteId, "&Read", 7);
    readWrite_->setDefault(true);
    QPushButton* reset = makeButton(kResetId, "Re&set", 30);
    QPushButton* exit = makeButton(kExitId, "E&xit", 54);

    status_ = new QLabel(this);
    kestrum::SetControlId(status_, kStatusId);
    status_->setGeometry(du.X(7), du.Y(113), du.X(249) + shift, du.Y(12));
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setAlignment(Qt::AlignCenter);

    connect(radios_, &QButtonGroup::idClicked, this,
            [this](int id) { SetOperation(static_cast<MemoryOperation>(id)); });
    for (int field = 0; field < kFieldCount; ++field) {
        connect(edits_[field], &QLineEdit::textChanged, this,
                [this, field] { refused_[field] = false; });
    }
    connect(readWrite_, &QPushButton::clicked, this, &CMemoryDlg::OnReadWrite);
    connect(reset, &QPushButton::clicked, this, &CMemoryDlg::OnReset);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(du.X(265) + shift, du.Y(132));
    SetOperation(operation);
}

void CMemoryDlg::SetOperation(MemoryOperation next)
{
    operation_ = next;
    const OperationRow& row = RowOf(operation_);
    radios_->button(static_cast<int>(row.operation))->setChecked(true);
    readWrite_->setText(QString::fromUtf8(row.button));
    addressHighLabel_->setText(QString::fromUtf8(row.addressHighLabel));
    dataLowLabel_->setText(QString::fromUtf8(row.dataLowLabel));
    dataHighLabel_->setText(QString::fromUtf8(row.dataHighLabel));
    for (int field = kAddressHigh; field < kFieldCount; ++field) {
        const bool result = row.results[field - kAddressHigh];
        edits_[field]->setEnabled(row.enabled[field - kAddressHigh] || result);
        edits_[field]->setReadOnly(result);
    }
    for (int field = 0; field < kFieldCount; ++field) {
        if (row.clears[field]) {
            edits_[field]->setText(kZero);
            refused_[field] = false;
        }
    }
}

bool CMemoryDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::FocusOut || telling_) {
        return QDialog::eventFilter(watched, event);
    }
    // The edit's own context menu takes the focus for a moment only.
    if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason) {
        return false;
    }
    for (Field field : {kAddressLow, kAddressHigh}) {
        if (watched == edits_[field] && !(TakeField(field) && AddressFits(field))) {
            QScopedValueRollback guard(telling_, true);
            edits_[field]->setFocus(Qt::OtherFocusReason);
            // The focus is back in the edit already: its own focus-out
            // handling would now hide the cursor of the focused edit.
            return true;
        }
    }
    return false;
}

bool CMemoryDlg::TakeField(Field field)
{
    QLineEdit* edit = edits_[field];
    std::string text = edit->text().toStdString();
    const bool taken = !refused_[field] && kestrum::ParseByteValue(text, values_[field]);
    const QString shown = QString::fromStdString(text);
    if (shown != edit->text()) {
        edit->setText(shown);
    }
    // After the text is shown (which counts as a change): only a text the
    // parse cleared stays refused; an unchanged one is refused again anyway.
    refused_[field] = !taken && text == "0x00";
    if (!taken) {
        Tell(QString::fromUtf8(kestrum::kInvalidNumberText));
    }
    return taken;
}

void CMemoryDlg::OnReadWrite()
{
    // In order, up to the first refused field: a write then never goes out
    // with a value the parse put in place of what the user typed.
    for (int field = 0; field < kFieldCount; ++field) {
        if (!TakeField(static_cast<Field>(field))) {
            if (edits_[field]->isEnabled()) {
                QScopedValueRollback guard(telling_, true);
                edits_[field]->setFocus(Qt::OtherFocusReason);
                edits_[field]->selectAll();
            }
            return;
        }
    }
    const kestrum::MemoryAccess access = Access();
    if (const auto refusal = kestrum::CheckMemoryAccess(access);
        refusal != kestrum::MemoryRefusal::None) {
        // Past the memory's end or wider than its cells: told as any other
        // number the field cannot take, and nothing is sent.
        Tell(QString::fromUtf8(kestrum::kInvalidNumberText));
        const Field field = refusal == kestrum::MemoryRefusal::Address ? kAddressHigh : kDataHigh;
        QScopedValueRollback guard(telling_, true);
        edits_[field]->setFocus(Qt::OtherFocusReason);
        edits_[field]->selectAll();
        return;
    }
    bool answered = false;
    kestrum::MemoryResult result;
    {
        CWaitCursor wait;
        try {
            result = kestrum::RunMemoryAccess(controller_, access);
            answered = true;
        } catch (const kestrum::CControllerException&) {
        }
    }
    // The status line keeps what it showed before the failed access.
    if (!answered) {
        Tell(QString::fromUtf8(kestrum::NotRespondingText()));
        return;
    }
    if (!access.write && result.status == kestrum::MemoryResult::Status::Done) {
        ShowRead(result);
    }
    status_->setText(QString::fromStdString(result.text));
}

kestrum::MemoryAccess CMemoryDlg::Access() const
{
    kestrum::MemoryAccess access{.area = AreaOf(operation_), .write = IsWrite(operation_)};
    if (access.area == kestrum::MemoryArea::Flash) {
        access.address = values_[kAddressHigh] * 256u + values_[kAddressLow];
        access.value = values_[kDataHigh] * 256u + values_[kDataLow];
    } else {
        access.address = values_[kAddressLow];
        access.value = values_[kDataLow];
    }
    return access;
}

bool CMemoryDlg::AddressFits(Field field)
{
    // Only the high byte can carry a FLASH address past the end.
    if (field != kAddressHigh ||
        kestrum::CheckMemoryAccess(Access()) != kestrum::MemoryRefusal::Address) {
        return true;
    }
    Tell(QString::fromUtf8(kestrum::kInvalidNumberText));
    return false;
}

void CMemoryDlg::ShowRead(const kestrum::MemoryResult& result)
{
    switch (AreaOf(operation_)) {
    case kestrum::MemoryArea::Flash:
        ShowByte(kDataLow, static_cast<std::uint8_t>(result.word & 0xFF));
        ShowByte(kDataHigh, static_cast<std::uint8_t>(result.word >> 8));
        break;
    case kestrum::MemoryArea::Eeprom:
        ShowByte(kDataLow, result.bytes[0]);
        break;
    case kestrum::MemoryArea::Ram:
        ShowByte(kAddressHigh, result.bytes[0]);
        ShowByte(kDataLow, result.bytes[1]);
        ShowByte(kDataHigh, result.bytes[2]);
        break;
    }
}

void CMemoryDlg::OnReset()
{
    bool answered = false;
    {
        CWaitCursor wait;
        try {
            // As the main window's Reset: a controller that does not come
            // back shows up at the next access.
            controller_.ResetController();
            answered = true;
        } catch (const kestrum::CControllerException&) {
        }
    }
    if (!answered) {
        Tell(QString::fromUtf8(kestrum::NotRespondingText()));
    }
}

void CMemoryDlg::Tell(const QString& text)
{
    QScopedValueRollback guard(telling_, true);
    kestrum::ShowMessageBox(text, QMessageBox::Ok, QMessageBox::Warning, this);
}

void CMemoryDlg::ShowByte(Field field, std::uint8_t byte)
{
    edits_[field]->setText(Hex2(byte));
    refused_[field] = false;
}

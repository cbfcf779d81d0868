#pragma once

#include <QDialog>
#include <cstdint>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrum {

class CController;
struct MemoryAccess;
struct MemoryResult;

// What the memory viewer's Read/Write button does. The values are the packet
// command codes of the operations, which is how the main window's six
// commands name them.
enum class MemoryOperation : int
{
    ReadFlash = 0,
    WriteFlash = 1,
    ReadEeprom = 2,
    WriteEeprom = 3,
    ReadRam = 4,
    WriteRam = 6,
};

} // namespace kestrum

// The Memory Viewer dialog: reads or writes one FLASH word, one
// EEPROM byte or RAM (three bytes read, one written) through the link. Every
// access blocks the user-interface thread until the link returns; the link's
// own lock keeps it apart from the Monitor's polling on the wire.
//
// Opened modally with exec(), a new dialog per command, so every opening
// starts from "0x00" in all four fields.
class CMemoryDlg : public QDialog
{
    Q_OBJECT

public:
    CMemoryDlg(kestrum::CController& controller, kestrum::MemoryOperation operation,
               QWidget* parent = nullptr);

    kestrum::MemoryOperation Operation() const { return operation_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Field
    {
        kAddressLow,
        kAddressHigh,
        kDataLow,
        kDataHigh,
        kFieldCount
    };

    void SetOperation(kestrum::MemoryOperation next);
    void OnAddressFocusOut(Field field);
    // Parses one field into its value; on refusal the user has been told
    // and the field keeps or clears its text as the parse decided.
    bool TakeField(Field field);
    // On leaving an address field: false (the user told) when the FLASH
    // address it completes lies past the last word.
    bool AddressFits(Field field);
    // The access the fields' values ask for with the chosen operation.
    kestrum::MemoryAccess Access() const;
    void OnReadWrite();
    void ShowRead(const kestrum::MemoryResult& result);
    void OnReset();
    void Tell(const QString& text);
    void ShowByte(Field field, std::uint8_t byte);

    kestrum::CController& controller_;
    kestrum::MemoryOperation operation_;
    std::uint8_t values_[kFieldCount] = {};
    // A field whose text the parse replaced with "0x00" after refusing it.
    // Until the user types in it again, that "0x00" is not the user's: the
    // button refuses it rather than read or write with it.
    bool refused_[kFieldCount] = {};
    // Set while the dialog shows a box or puts the focus back: the focus
    // moves in and out of the fields meanwhile, and those moves must not
    // start another check (and another box) of their own.
    bool telling_ = false;

    QButtonGroup* radios_;
    QLabel* addressHighLabel_;
    QLabel* dataLowLabel_;
    QLabel* dataHighLabel_;
    QLineEdit* edits_[kFieldCount] = {};
    QPushButton* readWrite_;
    QLabel* status_;
};

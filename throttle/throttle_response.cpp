#include "throttle/throttle_response.h"

#include "link/controller.h"
#include "throttle/sensor_types.h"

namespace kestrum {
namespace {

constexpr unsigned kTableBaseAddress = 0;
constexpr int kMaxRereads = 3;

// A transient bad read shows as an entry below its predecessor in a table
// that must not decrease; re-read such pairs, walking back while the fix
// uncovers an earlier decreasing pair.
void CheckReadBack(CController& link, std::uint16_t base, int i, ThrottleTable& table)
{
    for (int j = i; j >= 1; --j) {
        for (int rereads = 0; table[j] < table[j - 1] && rereads < kMaxRereads; ++rereads) {
            link.ReadFlashByte(static_cast<std::uint16_t>(base + j), table[j]);
            link.ReadFlashByte(static_cast<std::uint16_t>(base + j - 1), table[j - 1]);
        }
        if (table[j] >= table[j - 1] && (j == 1 || table[j - 1] >= table[j - 2]))
            return;
    }
}

} // namespace

TableWrite WriteThrottleTable(CController& link, const ThrottleTable& table, RunProgress& progress)
{
    std::uint16_t base = 0;
    try {
        if (!link.ReadEepromWord(kTableBaseAddress, base))
            return TableWrite::NoBase;
    } catch (const CControllerException&) {
        return TableWrite::NotResponding;
    }
    progress.SetRange(0, 256);
    try {
        for (int i = 0; i < 256; ++i) {
            const auto word = static_cast<std::uint16_t>(0x3400 + table[i]);
            if (!link.WriteFlash(static_cast<std::uint16_t>(base + i), word))
                return TableWrite::Partly;
            if (i % ThrottleResponse::kEntriesPerStep == 0) {
                progress.SetPos(i);
                if (progress.Cancelled())
                    return TableWrite::Partly;
            }
        }
    } catch (const CControllerException&) {
        return TableWrite::Partly;
    }
    return TableWrite::Complete;
}

ThrottleResponse::Outcome ThrottleResponse::Refresh(CController& link, RunProgress& progress)
{
    refreshed_ = true;
    ThrottleTable& custom = CustomCurve().table;
    custom.fill(0);
    // The Custom curve's entries are gone from here on, whatever was known.
    tableKnown_ = false;
    tableEntriesRead_ = 0;
    tableReadCancelled_ = false;
    if (!link.LocateController())
        return Outcome::NotLocated;
    try {
        std::uint8_t model = 0;
        link.ReadEeprom(kModelCodeAddress, model);
        restrictedModel_ = IsRestrictedModel(model);
        if (!link.ReadEeprom(kSensorCodeAddress, sensorCode_))
            return Outcome::Done;
        checkedSensor_ = SensorIndex(sensorCode_);
        if (!link.ReadEeprom(kSensorOptionsAddress, options_))
            return Outcome::Done;
        sensorsRead_ = true;
        progress.SetRange(0, 256);
        if (!ReadTable(link, progress))
            return Outcome::Done;
        ThrottleCurve& found = Classify(custom);
        written_ = &found;
        selected_ = &found;
        return Outcome::Done;
    } catch (const CControllerException&) {
        return Outcome::NotResponding;
    }
}

bool ThrottleResponse::ReadTable(CController& link, RunProgress& progress)
{
    std::uint16_t base = 0;
    if (!link.ReadEepromWord(kTableBaseAddress, base))
        return false;
    ThrottleTable& table = CustomCurve().table;
    link.ReadFlashByte(base, table[0]);
    tableEntriesRead_ = 1;
    for (int i = 1; i < 256; ++i) {
        link.ReadFlashByte(static_cast<std::uint16_t>(base + i), table[i]);
        CheckReadBack(link, base, i, table);
        tableEntriesRead_ = i + 1;
        if (i % kEntriesPerStep == 0) {
            progress.SetPos(i);
            if (progress.Cancelled()) {
                tableReadCancelled_ = true;
                return true;
            }
        }
    }
    tableKnown_ = true;
    return true;
}

ThrottleResponse::Outcome ThrottleResponse::Set(CController& link, RunProgress& progress)
{
    // With no port open there is nothing to write to; search as Refresh does
    // so the user hears why, or the write goes ahead on the port found.
    if (!link.IsPortOpen() && !link.LocateController())
        return Outcome::NotLocated;
    try {
        if (selected_ != written_ && selected_ != nullptr) {
            switch (WriteThrottleTable(link, selected_->table, progress)) {
            case TableWrite::NotResponding:
                return Outcome::NotResponding;
            case TableWrite::Partly:
                // The controller's table is neither the old curve nor the new one.
                written_ = nullptr;
                tableKnown_ = false;
                return Outcome::PartlyWritten;
            case TableWrite::Complete:
                written_ = selected_;
                tableKnown_ = true;
                break;
            case TableWrite::NoBase:
                written_ = selected_;
                tableKnown_ = false; // nothing was sent: what the table holds is not known
                break;
            }
        }
        sensorCode_ = checkedSensor_ ? kSensorTypes[*checkedSensor_].code : kNoSensorCode;
        if (!link.WriteEeprom(kSensorCodeAddress, sensorCode_))
            throw CControllerException();
        return Outcome::Done;
    } catch (const CControllerException&) {
        if (written_ == nullptr && selected_ != nullptr)
            return Outcome::PartlyWritten;
        return Outcome::NotResponding;
    }
}

const char* SetDoneText(bool tableWritten)
{
    return tableWritten ? "Throttle table written and verified"
                        : "Throttle sensor type written and verified";
}

std::string TablePartlyWrittenText(const std::string& howAgain)
{
    std::string text = "The throttle table was only partly written.";
    if (!howAgain.empty())
        text += " " + howAgain;
    return text;
}

std::string TableReadNotice(const ThrottleResponse& response)
{
    if (response.TableKnown() || response.TableEntriesRead() == 0 ||
        response.Selected() != &CustomCurve())
        return {};
    const std::string entry = std::to_string(response.TableEntriesRead() - 1);
    if (response.TableReadCancelled())
        return "Table read cancelled at entry " + entry + ": the graph shows only what was read";
    return "Table read stopped at entry " + entry +
           " (no answer): the graph shows only what was read";
}

void ThrottleResponse::Revert()
{
    selected_ = written_;
    checkedSensor_ = SensorIndex(sensorCode_);
}

void ThrottleResponse::AdoptTable(const ThrottleTable& table, bool complete)
{
    ThrottleCurve& curve = Classify(table);
    if (&curve == &CustomCurve())
        CustomCurve().table = table;
    selected_ = &curve;
    written_ = complete ? &curve : nullptr;
    tableKnown_ = complete;
}

void ThrottleResponse::AdoptSensorCode(std::uint8_t code)
{
    sensorCode_ = code;
    checkedSensor_ = SensorIndex(code);
}

bool ThrottleResponse::SetEnabled() const
{
    if (!sensorsRead_)
        return false;
    if (selected_ != written_)
        return true;
    if (const auto index = SensorIndex(sensorCode_))
        return checkedSensor_ != index;
    return checkedSensor_.has_value();
}

} // namespace kestrum

#pragma once

#include "throttle/throttle_curves.h"
#include "tools/run_progress.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrum {

class CController;

enum class TableWrite
{
    Complete,
    NoBase,        // the table's address could not be read, quietly: nothing sent
    NotResponding, // the address read went unanswered: nothing written
    Partly,        // cancelled, or an entry was not confirmed
};

// Writes the 256 entries of `table` to where EEPROM word 0 says the table
// lives, reporting progress every ThrottleResponse::kEntriesPerStep entries.
TableWrite WriteThrottleTable(CController& link, const ThrottleTable& table, RunProgress& progress);

// What the Throttle Response page knows of the controller and the page's
// commands on the link, without any widget: the page mirrors this state into
// its controls after each command.
class ThrottleResponse
{
public:
    enum class Outcome
    {
        Done,
        NotLocated,    // the link found no controller and told the user itself
        NotResponding, // the link gave up; what was done before stays
        PartlyWritten, // the table write was cancelled or failed part-way
    };

    static constexpr int kEntriesPerStep = 16;

    // Reads model, sensor code, options, the table base and the 256 table
    // entries into the Custom curve, re-reading decreasing pairs, then
    // classifies the table. The progress run starts with the table read.
    Outcome Refresh(CController& link, RunProgress& progress);
    // Writes the selected curve's table when it is not the written one, then
    // the sensor code (the checked sensor, or none) on every Set.
    Outcome Set(CController& link, RunProgress& progress);

    // The user chose a response curve / a sensor type (none: unchecked all).
    void Select(ThrottleCurve* curve) { selected_ = curve; }
    void CheckSensor(std::optional<std::size_t> index) { checkedSensor_ = index; }
    // Back to the written curve and the controller's sensor type.
    void Revert();
    // What was written outside Set (by a profile load): a complete table
    // becomes the written curve; a partial one leaves the controller's table
    // unknown with `table` selected, so that Set writes it again.
    void AdoptTable(const ThrottleTable& table, bool complete);
    void AdoptSensorCode(std::uint8_t code);

    // Never before the sensor type and options were read: a Set then would
    // write a sensor code and a curve the technician never saw read.
    bool SetEnabled() const;
    // The response curves may be chosen once Set has a sensor code to keep.
    bool CurvesEnabled() const { return sensorsRead_; }
    bool Refreshed() const { return refreshed_; }
    ThrottleCurve* Written() const { return written_; }
    ThrottleCurve* Selected() const { return selected_; }
    std::uint8_t SensorCode() const { return sensorCode_; }
    std::optional<std::size_t> CheckedSensor() const { return checkedSensor_; }
    std::uint8_t Options() const { return options_; }
    bool RestrictedModel() const { return restrictedModel_; }
    bool SensorsRead() const { return sensorsRead_; }
    // Whether the controller's table is known whole: read to its last entry,
    // or written and confirmed. A read cut short (cancelled, or the controller
    // fell silent) still shows what it got, but is never taken for the table.
    bool TableKnown() const { return tableKnown_; }
    // How many entries the last table read got before it was cut short.
    int TableEntriesRead() const { return tableEntriesRead_; }
    bool TableReadCancelled() const { return tableReadCancelled_; }

private:
    bool ReadTable(CController& link, RunProgress& progress);

    ThrottleCurve* written_ = nullptr;
    ThrottleCurve* selected_ = nullptr;
    bool refreshed_ = false;
    std::uint8_t sensorCode_ = 0;
    std::optional<std::size_t> checkedSensor_;
    std::uint8_t options_ = 0;
    bool restrictedModel_ = false;
    bool sensorsRead_ = false; // the options were read, so the enabling is known
    bool tableKnown_ = false;
    int tableEntriesRead_ = 0;
    bool tableReadCancelled_ = false;
};

// The result line of a Set that ended Done: the table written, or only the
// sensor type.
const char* SetDoneText(bool tableWritten);

// A table write cut short, told alike by the page, a profile load and the
// command line: the result line, and the explanation that each completes
// with how to write the table again there (nothing added when `howAgain`
// is empty).
inline constexpr const char* kTablePartlyWrittenResult = "Throttle table only partly written";
std::string TablePartlyWrittenText(const std::string& howAgain);

// What the page says beside a graph of a table read cut short ("Table read
// cancelled at entry 80: ..."); empty when the graph shows a whole table.
std::string TableReadNotice(const ThrottleResponse& response);

} // namespace kestrum

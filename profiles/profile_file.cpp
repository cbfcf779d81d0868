#include "profiles/profile_file.h"

#include "profiles/atomic_file.h"
#include "throttle/sensor_types.h"
#include "tools/file_error.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace kestrum {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::uint32_t kBlankSerialNumber = 0xFFFFFF;

// Thrown by the readers below with the text the user sees.
struct Refusal
{
    std::string text;
};

std::string Quoted(const std::string& field)
{
    return "\"" + field + "\"";
}

const Json& Field(const Json& object, const std::string& parent, const std::string& name)
{
    const std::string path = parent.empty() ? name : parent + "." + name;
    const auto found = object.find(name);
    if (found == object.end())
        throw Refusal{"The field " + Quoted(path) + " is missing."};
    return *found;
}

std::string Path(const std::string& parent, const std::string& name)
{
    return parent.empty() ? name : parent + "." + name;
}

std::int64_t Integer(const Json& value, const std::string& path, std::int64_t lowest,
                     std::int64_t highest)
{
    if (!value.is_number_integer())
        throw Refusal{"The field " + Quoted(path) + " is not a whole number."};
    const std::int64_t number = value.is_number_unsigned()
                                    ? static_cast<std::int64_t>(std::min<std::uint64_t>(
                                          value.get<std::uint64_t>(), INT64_MAX))
                                    : value.get<std::int64_t>();
    if (number < lowest || number > highest) {
        throw Refusal{"The field " + Quoted(path) + " holds " + std::to_string(number) +
                      ", outside " + std::to_string(lowest) + " to " + std::to_string(highest) +
                      "."};
    }
    return number;
}

std::int64_t IntegerField(const Json& object, const std::string& parent, const std::string& name,
                          std::int64_t lowest, std::int64_t highest)
{
    return Integer(Field(object, parent, name), Path(parent, name), lowest, highest);
}

std::string TextField(const Json& object, const std::string& parent, const std::string& name)
{
    const Json& value = Field(object, parent, name);
    if (!value.is_string())
        throw Refusal{"The field " + Quoted(Path(parent, name)) + " is not a text."};
    return value.get<std::string>();
}

std::optional<std::string> TextOrNullField(const Json& object, const std::string& parent,
                                           const std::string& name)
{
    const Json& value = Field(object, parent, name);
    if (value.is_null())
        return std::nullopt;
    if (!value.is_string())
        throw Refusal{"The field " + Quoted(Path(parent, name)) + " is neither a text nor null."};
    return value.get<std::string>();
}

bool BoolField(const Json& object, const std::string& parent, const std::string& name)
{
    const Json& value = Field(object, parent, name);
    if (!value.is_boolean())
        throw Refusal{"The field " + Quoted(Path(parent, name)) + " is neither true nor false."};
    return value.get<bool>();
}

const Json& ObjectField(const Json& object, const std::string& parent, const std::string& name,
                        bool nullable)
{
    const Json& value = Field(object, parent, name);
    if (!value.is_object() && !(nullable && value.is_null())) {
        throw Refusal{"The field " + Quoted(Path(parent, name)) +
                      (nullable ? " is neither an object nor null." : " is not an object.")};
    }
    return value;
}

bool IsDecimal(const std::string& text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

Json PanelToJson(const PanelProfile& panel, std::uint8_t modelCode)
{
    Json settings = Json::object();
    const auto& all = Settings();
    for (std::size_t i = 0; i < all.size(); ++i) {
        settings[std::string(all[i].label)] = {
            {"stored", panel.stored[i]},
            {"text", StoredSettingText(all[i].id, panel.stored[i], modelCode)}};
    }
    Json switches = Json::object();
    for (std::size_t i = 0; i < kSwitches.size(); ++i)
        switches[std::string(kSwitches[i].text)] = panel.switches[i];
    return {{"settings", settings}, {"switches", switches}};
}

Json ThrottleToJson(const ThrottleProfile& throttle)
{
    Json sensor = nullptr;
    if (const auto index = SensorIndex(throttle.sensorCode))
        sensor = std::string(kSensorTypes[*index].label);
    const std::string curve = StandardCurveName(throttle.table);
    return {{"sensorCode", throttle.sensorCode},
            {"sensorType", sensor},
            {"curve", curve.empty() ? Json(nullptr) : Json(curve)},
            {"table", throttle.table}};
}

PanelProfile PanelFromJson(const Json& object, std::uint8_t modelCode)
{
    const std::string parent = "controlPanel";
    PanelProfile panel;
    const Json& settings = ObjectField(object, parent, "settings", false);
    const auto& all = Settings();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string name(all[i].label);
        const std::string path = parent + ".settings." + name;
        const Json& setting = ObjectField(settings, parent + ".settings", name, false);
        const auto stored = static_cast<std::uint16_t>(
            IntegerField(setting, path, "stored", 0, all[i].width == 1 ? 0xFF : 0xFFFF));
        TextField(setting, path, "text");
        if (!StoredSettingInRange(all[i].id, stored, modelCode)) {
            throw Refusal{"The field " + Quoted(path + ".stored") + " holds " +
                          std::to_string(stored) + ", which this controller model cannot take."};
        }
        panel.stored[i] = stored;
    }
    const std::size_t under = 1;
    const std::size_t over = 2;
    const ModelInfo& model = FindModel(modelCode);
    if (UnderVoltageAt(all[under].fromStored(panel.stored[under], model), model) >
        OverVoltageAt(all[over].fromStored(panel.stored[over], model), model)) {
        throw Refusal{"The field " + Quoted(parent + ".settings.Under Voltage.stored") +
                      " lies above Over Voltage."};
    }
    const Json& switches = ObjectField(object, parent, "switches", false);
    for (std::size_t i = 0; i < kSwitches.size(); ++i)
        panel.switches[i] =
            BoolField(switches, parent + ".switches", std::string(kSwitches[i].text));
    return panel;
}

ThrottleProfile ThrottleFromJson(const Json& object)
{
    const std::string parent = "throttle";
    ThrottleProfile throttle;
    throttle.sensorCode =
        static_cast<std::uint8_t>(IntegerField(object, parent, "sensorCode", 0, 255));
    TextOrNullField(object, parent, "sensorType");
    const Json& table = Field(object, parent, "table");
    if (!table.is_array() || table.size() != kThrottleEntries) {
        throw Refusal{"The field \"throttle.table\" is not a list of " +
                      std::to_string(kThrottleEntries) + " entries."};
    }
    for (std::size_t i = 0; i < kThrottleEntries; ++i) {
        throttle.table[i] = static_cast<std::uint8_t>(
            Integer(table[i], "throttle.table[" + std::to_string(i) + "]", 0, 255));
    }
    // The curve name is a check on the table: a table edited by hand that
    // no longer matches its name is more likely damaged than meant.
    if (const auto curve = TextOrNullField(object, parent, "curve")) {
        if (*curve != StandardCurveName(throttle.table)) {
            throw Refusal{"The field \"throttle.curve\" says \"" + *curve +
                          "\", but the table is not that curve."};
        }
    }
    return throttle;
}

ControllerProfile FromJson(const Json& root)
{
    if (!root.is_object() || !root.contains("format") || root["format"] != kProfileFormat)
        throw Refusal{"The file is not a controller profile (its field \"format\" is missing or "
                      "holds something else)."};
    const auto version = IntegerField(root, "", "version", 1, INT32_MAX);
    if (version > kProfileVersion) {
        throw Refusal{"The profile was written by a later version of this tool (its field "
                      "\"version\" holds " +
                      std::to_string(version) + ")."};
    }
    ControllerProfile profile;
    profile.takenAt = TextField(root, "", "takenAt");
    profile.toolVersion = TextField(root, "", "toolVersion");
    if (root.contains("keptBefore")) {
        profile.keptBefore = TextField(root, "", "keptBefore");
        if (profile.keptBefore.size() > 40)
            throw Refusal{"The field \"keptBefore\" is longer than an occasion's name."};
    }
    const Json& controller = ObjectField(root, "", "controller", false);
    profile.modelCode =
        static_cast<std::uint8_t>(IntegerField(controller, "controller", "modelCode", 0, 255));
    profile.modelName = TextField(controller, "controller", "model");
    profile.serialNumber = TextField(controller, "controller", "serialNumber");
    if (profile.serialNumber != "blank" &&
        !(IsDecimal(profile.serialNumber, 8) &&
          std::stoul(profile.serialNumber) < kBlankSerialNumber)) {
        throw Refusal{"The field \"controller.serialNumber\" is neither \"blank\" nor a serial "
                      "number."};
    }
    profile.fieldMap = TextField(controller, "controller", "fieldMap");
    if (!IsDecimal(profile.fieldMap, 3) || std::stoul(profile.fieldMap) > 255)
        throw Refusal{"The field \"controller.fieldMap\" is not a field map number."};
    profile.options =
        static_cast<std::uint8_t>(IntegerField(controller, "controller", "options", 0, 255));
    const Json& panel = ObjectField(root, "", "controlPanel", true);
    if (!panel.is_null())
        profile.panel = PanelFromJson(panel, profile.modelCode);
    const Json& throttle = ObjectField(root, "", "throttle", true);
    if (!throttle.is_null())
        profile.throttle = ThrottleFromJson(throttle);
    return profile;
}

// How deep objects and arrays nest in `text`, strings skipped; stops
// counting past `limit`. The JSON library builds nested values by recursion,
// so a file nested thousands deep would exhaust the stack before any field
// could be checked.
int NestingDepth(std::string_view text, int limit)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size() && deepest <= limit; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

} // namespace

std::string ProfileToJson(const ControllerProfile& profile)
{
    Json root;
    root["format"] = kProfileFormat;
    root["version"] = kProfileVersion;
    root["takenAt"] = profile.takenAt;
    root["toolVersion"] = profile.toolVersion;
    if (!profile.keptBefore.empty())
        root["keptBefore"] = profile.keptBefore;
    root["controller"] = {{"modelCode", profile.modelCode},
                          {"model", profile.modelName},
                          {"serialNumber", profile.serialNumber},
                          {"fieldMap", profile.fieldMap},
                          {"options", profile.options}};
    root["controlPanel"] =
        profile.panel ? PanelToJson(*profile.panel, profile.modelCode) : Json(nullptr);
    root["throttle"] = profile.throttle ? ThrottleToJson(*profile.throttle) : Json(nullptr);
    // Texts the controller gave (a model name) may hold any byte; replacing
    // what is not UTF-8 keeps the file writable and readable.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

ProfileRead ProfileFromJson(std::string_view text)
{
    ProfileRead result;
    // A profile nests three deep (the file, a part, a setting); some slack
    // for what a later version may add.
    constexpr int kDeepest = 8;
    if (NestingDepth(text, kDeepest) > kDeepest) {
        result.error = "The file is not a controller profile: it is nested deeper than a profile "
                       "is.";
        return result;
    }
    const Json root = Json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded()) {
        result.error = "The file is not a controller profile: it is not complete JSON text.";
        return result;
    }
    try {
        result.profile = FromJson(root);
    } catch (const Refusal& refusal) {
        result.error = refusal.text;
    }
    return result;
}

std::error_code SaveProfile(const std::string& path, const ControllerProfile& profile)
{
    return WriteFileAtomically(path, ProfileToJson(profile));
}

ProfileRead ReadProfile(const std::string& path)
{
    // A profile is a few kilobytes; anything far larger is not one, and is
    // not worth reading into memory.
    constexpr std::streamoff kLargest = 1 << 20;
    std::ifstream file(path, std::ios::binary);
    ProfileRead result;
    if (!file) {
        result.fileError = true;
        result.error = FileErrorText(std::error_code(errno, std::generic_category()), path);
        return result;
    }
    std::ostringstream text;
    char buffer[8192];
    std::streamoff total = 0;
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        total += file.gcount();
        if (total > kLargest) {
            result.error = "The file is not a controller profile: it is far too large.";
            return result;
        }
        text.write(buffer, file.gcount());
    }
    if (file.bad()) {
        result.fileError = true;
        result.error = FileErrorText(std::make_error_code(std::errc::io_error), path);
        return result;
    }
    return ProfileFromJson(text.str());
}

} // namespace kestrum

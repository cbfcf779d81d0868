#include "profiles/profile_file.h"
#include "support/temp_dir.h"
#include "throttle/throttle_tables.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace kestrum {
namespace {

using Json = nlohmann::ordered_json;

ControllerProfile SampleProfile()
{
    ControllerProfile profile;
    profile.takenAt = "2026-12-08T09:15:02";
    profile.toolVersion = "1.0.0.1";
    profile.modelCode = 3;
    profile.modelName = "KAV RK-AG";
    profile.serialNumber = "228138";
    profile.fieldMap = "18";
    profile.options = 0x03;
    profile.panel = PanelProfile{{90, 205, 585, 5, 10, 80, 0}, {false, true, false, true}};
    ThrottleProfile throttle{255, kSCurveTable};
    throttle.table[200] = 1; // no standard curve any more
    profile.throttle = throttle;
    return profile;
}

TEST(ProfileFile, roundTrip_givesTheSameProfile_withAndWithoutItsParts)
{
    ControllerProfile full = SampleProfile();
    ControllerProfile identityOnly = full;
    identityOnly.panel.reset();
    identityOnly.throttle.reset();
    ControllerProfile standardCurve = full;
    standardCurve.throttle->table = kProgressiveTable;

    for (const ControllerProfile& profile : {full, identityOnly, standardCurve}) {
        const ProfileRead read = ProfileFromJson(ProfileToJson(profile));
        ASSERT_TRUE(read.profile) << read.error;
        EXPECT_EQ(*read.profile, profile);
    }
}

TEST(ProfileFile, writesTheDisplayTextsAndTheCurveName)
{
    ControllerProfile profile = SampleProfile();
    profile.throttle->table = kSCurveTable;
    const Json json = Json::parse(ProfileToJson(profile));

    EXPECT_EQ(json["format"], "Quorvel Kestrum controller profile");
    EXPECT_EQ(json["version"], 1);
    EXPECT_EQ(json["controlPanel"]["settings"]["Under Voltage"]["text"], "21.0 Volts");
    EXPECT_EQ(json["controlPanel"]["settings"]["Top Speed"]["text"], "100.0 %");
    EXPECT_EQ(json["controlPanel"]["switches"]["Plug Brake"], true);
    EXPECT_EQ(json["throttle"]["curve"], "S-Curve");
    EXPECT_EQ(json["throttle"]["sensorType"], "0 - 5K Ohms");
}

struct Damage
{
    const char* what;
    std::function<void(Json&)> damage;
    const char* namedInError;
};

TEST(ProfileFile, damagedOrForeignFiles_areRefusedNamingTheField)
{
    const Damage cases[] = {
        {"missing field", [](Json& j) { j["controller"].erase("serialNumber"); },
         "\"controller.serialNumber\" is missing"},
        {"wrong type", [](Json& j) { j["controlPanel"]["switches"]["Turbo"] = "yes"; },
         "\"controlPanel.switches.Turbo\""},
        {"setting as text",
         [](Json& j) { j["controlPanel"]["settings"]["Brake Current"]["stored"] = "80"; },
         "\"controlPanel.settings.Brake Current.stored\" is not a whole number"},
        {"entry out of range", [](Json& j) { j["throttle"]["table"][17] = 300; },
         "\"throttle.table[17]\" holds 300, outside 0 to 255"},
        {"short table", [](Json& j) { j["throttle"]["table"].erase(255); }, "\"throttle.table\""},
        {"beyond the model",
         [](Json& j) { j["controlPanel"]["settings"]["Over Voltage"]["stored"] = 2000; },
         "\"controlPanel.settings.Over Voltage.stored\" holds 2000"},
        {"under above over",
         [](Json& j) {
             j["controlPanel"]["settings"]["Under Voltage"]["stored"] = 400;
             j["controlPanel"]["settings"]["Over Voltage"]["stored"] = 300;
         },
         "\"controlPanel.settings.Under Voltage.stored\" lies above Over Voltage"},
        {"curve name not the table", [](Json& j) { j["throttle"]["curve"] = "Linear"; },
         "\"throttle.curve\""},
        {"serial number as a path", [](Json& j) { j["controller"]["serialNumber"] = "../../etc"; },
         "\"controller.serialNumber\""},
        {"section of the wrong kind", [](Json& j) { j["throttle"] = 5; }, "\"throttle\""},
        {"foreign JSON", [](Json& j) { j.erase("format"); }, "\"format\""},
        {"later layout", [](Json& j) { j["version"] = 2; }, "later version"},
    };
    const std::string good = ProfileToJson(SampleProfile());
    for (const Damage& c : cases) {
        Json json = Json::parse(good);
        c.damage(json);
        const ProfileRead read = ProfileFromJson(json.dump());
        EXPECT_FALSE(read.profile) << c.what;
        EXPECT_NE(read.error.find(c.namedInError), std::string::npos)
            << c.what << ": " << read.error;
    }
}

TEST(ProfileFile, truncatedOrNonJsonText_isRefused)
{
    const std::string good = ProfileToJson(SampleProfile());
    for (const std::string& text : {good.substr(0, good.size() / 2), std::string("hello"),
                                    std::string(), std::string("[1, 2, 3]")}) {
        const ProfileRead read = ProfileFromJson(text);
        EXPECT_FALSE(read.profile) << text;
        EXPECT_FALSE(read.error.empty());
        EXPECT_FALSE(read.fileError);
    }
}

TEST(ProfileFile, hostileNesting_isRefusedBeforeAnythingIsBuilt)
{
    const std::string good = ProfileToJson(SampleProfile());
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    // The nesting in a string field, in a setting's value, and brackets
    // inside a text, which are no nesting at all.
    std::string inTakenAt = good;
    inTakenAt.replace(inTakenAt.find("\"2026-12-08T09:15:02\""), 21, deep);
    std::string inStored = good;
    inStored.replace(inStored.find("\"stored\": 90"), 12, "\"stored\": " + deep);
    std::string bracketsInText = good;
    bracketsInText.replace(bracketsInText.find("KAV RK-AG"), 9, "[[[[[[[[[[[[{{{{{{{{\\\"");

    for (const std::string& text : {inTakenAt, inStored}) {
        const ProfileRead read = ProfileFromJson(text);
        EXPECT_FALSE(read.profile);
        EXPECT_EQ(read.error,
                  "The file is not a controller profile: it is nested deeper than a profile is.");
    }
    const ProfileRead read = ProfileFromJson(bracketsInText);
    ASSERT_TRUE(read.profile) << read.error;
    EXPECT_EQ(read.profile->modelName, "[[[[[[[[[[[[{{{{{{{{\"");
}

std::string Contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(ProfileFile, saveReplacesTheFileWhole_andLeavesNoTemporaryFile)
{
    test::TempDir dir;
    ASSERT_TRUE(dir.Valid());
    const std::string path = dir.File("cart 7.json");
    {
        std::ofstream old(path);
        old << "an older file";
    }
    const ControllerProfile profile = SampleProfile();

    ASSERT_FALSE(SaveProfile(path, profile));

    EXPECT_EQ(Contents(path), ProfileToJson(profile));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
    const ProfileRead read = ReadProfile(path);
    ASSERT_TRUE(read.profile) << read.error;
    EXPECT_EQ(*read.profile, profile);
}

TEST(ProfileFile, fileThatCannotBeReadOrWritten_givesTheFileErrorText)
{
    test::TempDir dir;
    const std::string missing = dir.File("absent.json");

    const ProfileRead read = ReadProfile(missing);
    EXPECT_FALSE(read.profile);
    EXPECT_TRUE(read.fileError);
    EXPECT_EQ(read.error, missing + " was not found.");

    EXPECT_TRUE(SaveProfile(dir.File("no such folder/p.json"), SampleProfile()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              0);
}

} // namespace
} // namespace kestrum

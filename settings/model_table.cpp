#include "settings/model_table.h"

namespace kestrum {
namespace {

// The five voltage limit sets the models share, in volts: under-voltage
// min and max, over-voltage min and max.
struct VoltageSet
{
    double underMin;
    double underMax;
    double overMin;
    double overMax;
};

constexpr VoltageSet kA{16.0, 45.0, 30.0, 60.0};
constexpr VoltageSet kB{16.0, 40.0, 30.0, 60.0};
constexpr VoltageSet kC{16.0, 60.0, 30.0, 90.0};
constexpr VoltageSet kD{8.5, 16.0, 15.0, 30.0};
constexpr VoltageSet kE{16.0, 40.0, 30.0, 90.0};

constexpr ModelInfo Row(std::uint8_t code, std::string_view family, std::string_view model,
                        const VoltageSet& set)
{
    return ModelInfo(code, family, model, set.underMin, set.underMax, set.overMin, set.overMax);
}

} // namespace

// Codes 0 to 55 (KAV and RVH), 96 to 104 (TLQ and BLW), then the fallback.
// Some names recur on purpose: 98 and 101 are the same model, and a few model
// names appear under two families.
// clang-format off
constinit const std::array<ModelInfo, ModelCount + 1> ModelTable{
    Row(0, "KAV", "RK-AA", kA),
    Row(1, "KAV", "RK-AB", kB),
    Row(2, "KAV", "RK-AF", kA),
    Row(3, "KAV", "RK-AG", kC),
    Row(4, "KAV", "RK-AH", kB),
    Row(5, "KAV", "RK-AJ", kA),
    Row(6, "KAV", "RK-AK", kA),
    Row(7, "KAV", "RK-AL", kC),
    Row(8, "KAV", "RK-AN", kD),
    Row(9, "KAV", "RK-AO", kA),
    Row(10, "KAV", "RK-AQ", kA),
    Row(11, "KAV", "RK-AR", kA),
    Row(12, "KAV", "RK-AV", kA),
    Row(13, "KAV", "RK-AW", kA),
    Row(14, "KAV", "RK-BA", kA),
    Row(15, "KAV", "RK-BB", kA),
    Row(16, "KAV", "RK-BF", kA),
    Row(17, "KAV", "RK-BG", kA),
    Row(18, "KAV", "RK-BH", kB),
    Row(19, "KAV", "RK-BJ", kB),
    Row(20, "KAV", "RK-BK", kA),
    Row(21, "KAV", "RK-BL", kA),
    Row(22, "KAV", "RK-BN", kA),
    Row(23, "KAV", "RK-BO", kA),
    Row(24, "KAV", "RK-BQ", kC),
    Row(25, "KAV", "RK-BR", kC),
    Row(26, "KAV", "RK-BV", kC),
    Row(27, "KAV", "RK-BW", kA),
    Row(28, "KAV", "RK-FA", kA),
    Row(29, "KAV", "RK-FB", kA),
    Row(30, "KAV", "RK-FF", kA),
    Row(31, "KAV", "RK-FG", kA),
    Row(32, "KAV", "RK-FH", kA),
    Row(33, "KAV", "RK-FJ", kA),
    Row(34, "KAV", "RK-FK", kA),
    Row(35, "KAV", "RK-FL", kA),
    Row(36, "KAV", "RK-FN", kA),
    Row(37, "KAV", "RK-FO", kA),
    Row(38, "KAV", "RK-FQ", kC),
    Row(39, "KAV", "RK-FR", kA),
    Row(40, "KAV", "RK-FV", kA),
    Row(41, "KAV", "RK-FW", kA),
    Row(42, "KAV", "RK-GA", kD),
    Row(43, "KAV", "RK-GB", kA),
    Row(44, "KAV", "RK-GF", kD),
    Row(45, "KAV", "RK-GG", kD),
    Row(46, "KAV", "RK-GH", kD),
    Row(47, "KAV", "RK-GJ", kA),
    Row(48, "KAV", "RK-GK", kA),
    Row(49, "KAV", "RK-GL", kA),
    Row(50, "RVH", "RK-GN", kA),
    Row(51, "RVH", "RK-GO", kA),
    Row(52, "RVH", "RK-GQ", kA),
    Row(53, "RVH", "RK-AO", kA),
    Row(54, "RVH", "RK-AV", kA),
    Row(55, "KAV", "RK-GR", kD),
    Row(96, "TLQ", "RK-GV", kB),
    Row(97, "TLQ", "RK-GW", kB),
    Row(98, "TLQ", "RK-HA", kB),
    Row(99, "TLQ", "RK-HB", kB),
    Row(100, "TLQ", "RK-HF", kB),
    Row(101, "TLQ", "RK-HA", kB),
    Row(102, "TLQ", "RK-AG", kE),
    Row(103, "BLW", "RK-GV", kB),
    Row(104, "TLQ", "RK-HG", kB),
    Row(255, "UNKNOWN", "UNKNOWN", kB),
};
// clang-format on

const ModelInfo& FallbackModel()
{
    return ModelTable[ModelCount];
}

const ModelInfo& FindModel(std::uint8_t code)
{
    for (std::size_t row = 0; row < ModelCount; ++row) {
        if (ModelTable[row].code == code)
            return ModelTable[row];
    }
    return FallbackModel();
}

std::string DisplayName(const ModelInfo& row)
{
    std::string name(row.family);
    name += ' ';
    name += row.model;
    return name;
}

} // namespace kestrum

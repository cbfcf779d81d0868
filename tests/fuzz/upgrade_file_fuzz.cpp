#include "tools/upgrade_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

// Any bytes through both passes. Besides the sanitizers' checks, the two
// passes must agree: a file the validation accepts is walked to its end
// record, every record handed out ends within FLASH, and the walk always
// moves forward through the input.
namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrum;
    const std::string text(reinterpret_cast<const char*>(data), size);

    (void)HexByte(text);
    (void)HexWord(text);
    (void)LineChecksum(text);

    std::istringstream first(text);
    const UpgradeFileResult validated = ValidateUpgradeFile(first);
    Require(static_cast<bool>(validated) == validated.error.empty());

    std::istringstream second(text);
    UpgradeFileWalk walk(second);
    UpgradeFileWalk::Step step;
    std::uint64_t position = 0;
    while ((step = walk.Next()) == UpgradeFileWalk::Step::Data) {
        const HexDataRecord& r = walk.Record();
        // Every record the walk hands out lies wholly within FLASH.
        Require(r.wordAddress + r.wordCount <= 0x8000);
        // Each record consumes at least its own line.
        Require(walk.Position() > position && walk.Position() <= size);
        position = walk.Position();
    }
    if (validated)
        Require(step == UpgradeFileWalk::Step::End);
    if (step == UpgradeFileWalk::Step::Stopped)
        Require(!walk.Result().error.empty());
    return 0;
}

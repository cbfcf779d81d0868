#include "tools/upgrade_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

// Any bytes through both passes. Besides the sanitizers' checks, the two
// passes must agree: a file the validation accepts is walked to its end
// record, and no record holds more words than a line can carry.
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
    Require(validated.status != UpgradeFileResult::Status::ReadError);
    Require(static_cast<bool>(validated) == validated.error.empty());

    std::istringstream second(text);
    UpgradeFileWalk walk(second);
    UpgradeFileWalk::Step step;
    while ((step = walk.Next()) == UpgradeFileWalk::Step::Data) {
        const HexDataRecord& r = walk.Record();
        Require(r.wordCount <= kHexMaxWords);
        Require(r.wordAddress <= 0x7FFF);
        Require(walk.Position() <= size);
    }
    if (validated)
        Require(step == UpgradeFileWalk::Step::End);
    if (step == UpgradeFileWalk::Step::Stopped)
        Require(!walk.Result().error.empty());
    return 0;
}

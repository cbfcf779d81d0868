#include "app/version_line.h"

namespace kestrum {

std::string VersionLine(const std::string& fileVersion)
{
    // "2, 2, 0, 38" -> "2.2.0.38"
    std::string dotted;
    for (std::size_t i = 0; i < fileVersion.size(); ++i) {
        if (fileVersion.compare(i, 2, ", ") == 0) {
            dotted += '.';
            ++i;
        } else {
            dotted += fileVersion[i];
        }
    }

    std::size_t lastDot = dotted.rfind('.');
    if (lastDot == std::string::npos) {
        return {};
    }
    // A third number of exactly 0 is not shown: "2.2.0.38" -> "2.2.38".
    if (lastDot >= 2 && dotted[lastDot - 1] == '0' && dotted[lastDot - 2] == '.') {
        dotted.erase(lastDot - 2, 2);
        lastDot -= 2;
    }
    const std::string version = dotted.substr(0, lastDot);
    const std::string build = dotted.substr(lastDot + 1);
    if (version.empty() || build.empty()) {
        return {};
    }
    return "Quorvel Motor Control Monitor v" + version + " (build " + build + ")";
}

} // namespace kestrum

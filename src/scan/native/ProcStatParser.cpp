#include "ProcStatParser.h"

#include <charconv>
#include <string_view>

namespace varnholt::ProcStatParser {

namespace {

template <typename T>
bool decimal(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<ProcessStat> parse(const QByteArray& text) {
    const std::string_view line(text.constData(), std::size_t(text.size()));
    const auto nameEnd = line.rfind(')');
    if (line.find('(') == std::string_view::npos || nameEnd == std::string_view::npos) {
        return std::nullopt;
    }
    // After the name: state (field 3), ppid (4), ... starttime (22).
    constexpr int kParent = 4;
    constexpr int kStart = 22;
    ProcessStat stat;
    int field = 3;
    std::size_t at = nameEnd + 1;
    while (field <= kStart) {
        at = line.find_first_not_of(" \n", at);
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        auto end = line.find_first_of(" \n", at);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        const std::string_view value = line.substr(at, end - at);
        if ((field == kParent && !decimal(value, stat.parent)) ||
            (field == kStart && !decimal(value, stat.startTicks))) {
            return std::nullopt;
        }
        ++field;
        at = end;
    }
    return stat;
}

}  // namespace varnholt::ProcStatParser

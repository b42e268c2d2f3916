#include "Threshold.h"

#include <charconv>
#include <cmath>

#include "CtlCommand.h"
#include "HealthVerdict.h"

namespace veltrona::ctl {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool parseNumber(std::string_view text, double& value) {
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value);
}

}  // namespace

bool Threshold::alerts(double value) const {
    const bool within = value >= start && value <= end;
    return inside ? within : !within;
}

bool Threshold::isFloor() const {
    return !inside && std::isinf(end);
}

bool Threshold::isCeiling() const {
    return !inside && (start == 0 || std::isinf(start)) && !std::isinf(end);
}

std::string Threshold::text(double scale, int places) const {
    const auto bound = [&](double value) { return decimal(value * scale, places); };
    std::string range = inside ? "@" : "";
    if (std::isinf(start)) {
        range += "~:";
    } else if (start != 0 || std::isinf(end)) {
        range += bound(start) + ":";
    }
    return std::isinf(end) ? range : range + bound(end);
}

std::string Threshold::breach(const std::string& unit) const {
    if (isFloor()) {
        return "below " + decimal(start, 3) + unit;
    }
    if (isCeiling()) {
        return "above " + decimal(end, 3) + unit;
    }
    return (inside ? "inside " : "outside ") + text() + unit;
}

Threshold parseThreshold(const std::string& option, const std::string& text, BareNumber bare,
                         double least, double most, const std::string& what) {
    std::string_view rest = text;
    Threshold range;
    if (rest.starts_with('@')) {
        range.inside = true;
        rest.remove_prefix(1);
    }
    const std::size_t colon = rest.find(':');
    bool valid = true;
    if (colon == std::string_view::npos) {
        double value = 0;
        valid = parseNumber(rest, value);
        range.start = bare == BareNumber::Floor && !range.inside ? value : 0;
        range.end = bare == BareNumber::Floor && !range.inside ? kInfinity : value;
    } else {
        const std::string_view from = rest.substr(0, colon);
        const std::string_view to = rest.substr(colon + 1);
        if (from == "~") {
            range.start = -kInfinity;
        } else {
            valid = parseNumber(from, range.start) && range.start >= least;
        }
        if (!to.empty()) {
            valid = valid && parseNumber(to, range.end) && range.end >= range.start;
        }
    }
    valid = valid && range.start <= range.end;
    const bool inBounds = (std::isinf(range.start) || range.start >= least) &&
                          (std::isinf(range.end) || range.end <= most) &&
                          (std::isinf(range.start) || range.start <= most);
    if (!valid || !inBounds) {
        throw UsageError(option + ": \"" + text + "\" is not " + what +
                         " nor a range of them (10:, ~:10, 10:20, @10:20)");
    }
    return range;
}

}  // namespace veltrona::ctl

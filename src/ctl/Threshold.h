#pragma once

#include <limits>
#include <string>

namespace veltrona::ctl {

// A warning or critical line of the check, in the monitoring plugins' range syntax:
// "10" (alert outside 0 to 10), "10:" (below 10), "~:10" (above 10), "10:20" (outside 10
// to 20), "@10:20" (inside 10 to 20, bounds included).
struct Threshold {
    double start = 0;  // -infinity for "~"
    double end = std::numeric_limits<double>::infinity();
    bool inside = false;  // "@": alert inside the range instead of outside

    // Alert when `value` is below `floor` ("N:").
    static constexpr Threshold below(double floor) {
        return {floor, std::numeric_limits<double>::infinity(), false};
    }
    // Alert when `value` is above `ceiling` ("N").
    static constexpr Threshold above(double ceiling) { return {0, ceiling, false}; }

    bool alerts(double value) const;
    bool operator==(const Threshold&) const = default;
    // The single bound of "N:" or of "N" / "~:N", when the range is only that.
    bool isFloor() const;
    bool isCeiling() const;

    // The range in the plugins' syntax with each bound times `scale`, at most `places`
    // decimals: "20:", "@1:2", "~:5".
    std::string text(double scale = 1, int places = 3) const;
    // Where it alerts, for the plugin line: "below 20%", "above 1 s", "outside 10:20%".
    std::string breach(const std::string& unit) const;
};

// How a bare number reads. The guidelines take "10" as "alert above 10"; for the shares of
// free space and free inodes that would alert on a healthy disk, so there a bare number is
// a floor, "10" as "10:" (as disk checks take it). Every other form reads the same for both.
enum class BareNumber { Ceiling, Floor };

// Parses `text` as a threshold whose bounds lie within `least` and `most`; throws
// UsageError "<option>: "<text>" is not <what> nor a range of them (10:, ~:10, 10:20,
// @10:20)" otherwise.
Threshold parseThreshold(const std::string& option, const std::string& text, BareNumber bare,
                         double least, double most, const std::string& what);

}  // namespace veltrona::ctl

#include "history/ValueTicks.h"

#include <algorithm>
#include <cmath>

std::vector<double> ValueTicks::At() const {
    std::vector<double> at;
    const double scale = std::pow(10.0, Decimals());
    const int count = int(std::lround((high - low) / step));
    for (int i = 0; i <= count; ++i)
        at.push_back(std::round((low + i * step) * scale) / scale);
    return at;
}

int ValueTicks::Decimals() const {
    return std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
}

ValueTicks ChooseValueTicks(double low, double high, int most) {
    if (!std::isfinite(low) || !std::isfinite(high))
        return {};
    if (high < low)
        std::swap(low, high);
    if (high - low < 1e-9) {
        low -= 0.5;
        high += 0.5;
    }
    most = std::max(1, most);
    const double magnitude = std::pow(10.0, std::floor(std::log10((high - low) / most)));
    for (const double multiple : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        const double step = multiple * magnitude;
        const double first = std::floor(low / step + 1e-9), last = std::ceil(high / step - 1e-9);
        if (last - first <= most)
            return {first * step, last * step, step};
    }
    return {low, high, high - low};
}

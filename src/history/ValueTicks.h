#pragma once

#include <vector>

// A value axis on round numbers: the range widened to whole steps of 1, 2 or 5 times a power of
// ten, with no more than most steps (at least one). Pure, shared by every chart.
struct ValueTicks {
    double low = 0;
    double high = 1;
    double step = 1;
    // The ticks from low to high.
    std::vector<double> At() const;
    // Decimals a label needs to tell the ticks apart.
    int Decimals() const;
};

ValueTicks ChooseValueTicks(double low, double high, int most);

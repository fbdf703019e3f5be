#pragma once

#include <functional>

// Where the ping puts the transmitter count it read. Takes the count and returns whether it
// differs from the count held before. Called on the thread that runs the request.
using TransmitterCountSink = std::function<bool(int count)>;

#pragma once

#include "hw/HWRequest.h"

// Proves that the station answers and reads its transmitter count into the options, telling the
// main window when the count changed.
class CHWRequestPingTransmitters : public CHWRequest {
public:
    explicit CHWRequestPingTransmitters(MessageTargetRef notifyWindow);

    void Execute(CI2CDriver& driver) override;
    std::string Name() const override { return "Ping Transmitters"; }

    // The count read by the last successful execution (0..6), -1 before.
    int NrOfTransmitters() const { return _nrOfTransmitters; }

private:
    MessageTargetRef _notifyWindow;
    std::atomic<int> _nrOfTransmitters{-1};
};

#pragma once

#include "hw/HWRequest.h"
#include "station/TransmitterCountSink.h"

// Proves that the station answers and hands its transmitter count to the sink, telling its
// observer when the count changed.
class CHWRequestPingTransmitters : public CHWRequest {
public:
    CHWRequestPingTransmitters(RequestObserverRef observer, TransmitterCountSink sink);

    void Execute(CI2CDriver& driver) override;
    std::string Name() const override { return "Ping Transmitters"; }

    // The count read by the last successful execution (0..6), -1 before.
    int NrOfTransmitters() const { return m_nrOfTransmitters; }

private:
    TransmitterCountSink m_sink;
    std::atomic<int> m_nrOfTransmitters{-1};
};

#include "station/HWRequestPingTransmitters.h"

#include "base/Check.h"
#include "link/I2CDriver.h"
#include "log/Logger.h"
#include "station/Hardware.h"

CHWRequestPingTransmitters::CHWRequestPingTransmitters(RequestObserverRef observer, TransmitterCountSink sink)
    : CHWRequest(std::move(observer)), m_sink(std::move(sink)) {}

void CHWRequestPingTransmitters::Execute(CI2CDriver& driver) {
    CLogger& log = CLogger::Instance();
    try {
        log.Log(30, "===========================");
        log.Log(30, "Request Ping Transmitters Start");
        Check(Sync(driver)) << "Synchronize failed";
        log.Log(50, "---------------------------");
        log.Log(50, "Read number of transmitters");
        std::string msg;
        std::uint8_t nrOfTransmittersBuffer = 0xFF;
        Check(driver.ReadCompare(Hardware::EE_NUMBER_OF_TRANSMITTERS, &nrOfTransmittersBuffer,
                                 Hardware::EE_NUMBER_OF_TRANSMITTERS_SIZE, msg))
            << "Read number of transmitters failed, hardware not found";
        int n = Hardware::TransmitterCountOf(nrOfTransmittersBuffer);
        if (n >= Hardware::ntErr)
            n = Hardware::ntErr;
        if (!m_sink(n)) {
            log.Log(30, "Number of transmitters stay at %d", n);
        } else {
            log.Log(30, "Number of transmitters changed to %d", n);
            if (const auto observer = Observer())
                observer->TransmittersChanged(n);
        }
        m_nrOfTransmitters = n;
        SetMessage("");
        SetSucceeded(true);
    } catch (const std::exception& e) {
        log.Log(10, "Request failed: %s", LogText(e).c_str());
        SetMessage(std::string("Request failed: ") + e.what());
        SetSucceeded(false);
    }
    log.Log(30, "Request finished");
}

#pragma once

#include "hw/HWManager.h"
#include "ui/StationLink.h"

// The station link over the hardware manager it owns; every call goes straight through.
class CHWManagerLink : public StationLink {
public:
    explicit CHWManagerLink(CI2CDriver::PortFactory factory) : m_manager(std::move(factory)) {}
    explicit CHWManagerLink(std::shared_ptr<SerialPort> port) : m_manager(std::move(port)) {}

    StartResult Start(const std::string& port) override { return m_manager.Start(port); }
    void Stop() override { m_manager.Stop(); }
    bool IsRunning() const override { return m_manager.IsRunning(); }
    bool AddRequest(const RequestPtr& request) override { return m_manager.AddRequest(request); }
    RequestPtr CurrentRequest() override { return m_manager.CurrentRequest(); }
    RequestPtr TakeRequest() override { return m_manager.TakeRequest(); }

    CHWManager& Manager() { return m_manager; }

private:
    CHWManager m_manager;
};

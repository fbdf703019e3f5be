// A station command on a port that does not open: it says why, and it opened the device once
// (every open raises RTS and DTR on a real adapter, so a second open to learn the reason is a fault).
#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/StationCommands.h"
#include "history/HistoryWorkspace.h"
#include "platform/SerialPort.h"

#include "PseudoTerminal.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

// Passes everything to the real port and counts the opens.
class CountingPort : public SerialPort {
public:
    CountingPort(std::unique_ptr<SerialPort> port, int& opens) : m_port(std::move(port)), m_opens(opens) {}

    void open(const std::string& name, std::uint32_t baudRate) override {
        ++m_opens;
        m_port->open(name, baudRate);
    }
    bool close() override { return m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    bool setRts(bool asserted) override { return m_port->setRts(asserted); }
    bool setDtr(bool asserted) override { return m_port->setDtr(asserted); }
    bool modemStatus(ModemStatus& status) override { return m_port->modemStatus(status); }
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override {
        return m_port->waitDsrChange(milliseconds, changed);
    }
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override {
        return m_port->startDummyWrite(bytes, size);
    }
    void settleDelay() override { m_port->settleDelay(); }
    void sleep(std::uint32_t milliseconds) override { m_port->sleep(milliseconds); }
    PortSettings settings() const override { return m_port->settings(); }

private:
    std::unique_ptr<SerialPort> m_port;
    int& m_opens;
};

TEST(StationCommandPortOpening, APortThatIsNotASerialPortIsOpenedOnceAndNamed) {
    TempDir dir;
    const PseudoTerminal terminal;
    CommonOptions common;
    common.port = terminal.Device();
    common.optionsFile = (dir / "Nivaro.xml").string();
    common.history = (dir / "history.nvh").string();

    const std::vector<std::pair<std::string, std::function<int(CliSession&, const StationPortWrap&)>>>
        commands{
            {"ping", [](CliSession& s, const StationPortWrap& w) { return RunPing(s, w); }},
            {"import",
             [](CliSession& s, const StationPortWrap& w) {
                 HistoryWorkspace history;
                 return RunImport(s, history, ImportArgs{}, w);
             }},
        };
    for (const auto& [name, run] : commands) {
        int opens = 0;
        const StationPortWrap counting = [&opens](std::unique_ptr<SerialPort> port) {
            return std::make_unique<CountingPort>(std::move(port), opens);
        };
        CliSession session(common);
        std::string failure;
        try {
            run(session, counting);
        } catch (const CliFailure& e) {
            failure = e.what();
            EXPECT_EQ(e.ExitCode(), ExitFailure) << name;
        }
        EXPECT_EQ(opens, 1) << name;
        EXPECT_EQ(failure.rfind("port '" + terminal.Device() + "' cannot be opened: ", 0), 0u)
            << name << ": " << failure;
        EXPECT_NE(failure.find(terminal.Device() + " is not a serial port with modem lines"),
                  std::string::npos)
            << name << ": " << failure;
        EXPECT_EQ(failure.find("Expression"), std::string::npos) << name << ": " << failure;
        EXPECT_FALSE(std::filesystem::exists(dir / "history.nvh")) << name;
    }
}

} // namespace

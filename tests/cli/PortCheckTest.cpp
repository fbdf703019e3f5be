// nivaro-cli port-check: the adapter's figures and a one-line verdict, on the simulated adapters.
#include "CliFixture.h"

TEST_F(CliTest, PortCheckMeasuresTheAdapterAndLeavesTheStationAsItWas) {
    struct Case {
        const char* settings;
        const char* lineChange;
        const char* statusRead;
        const char* lag;
        const char* routine;
    } cases[] = {
        {"?adapter=ftdi", "1.010 ms", "1.000 ms", "0.000 ms", "about 20 s"},
        {"?adapter=pl2303&status-lag=8ms", "1.010 ms", "0.010 ms", "8.040 ms", "about 73 s"},
    };
    CreateImage("station.img", 4, 30);
    const std::string image = Read("station.img");
    for (const Case& c : cases) {
        const std::string port = std::string("sim:station.img") + c.settings;
        const CliResult r = Run({"--port", port, "port-check"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Lines(r.out)[0], "Port: " + port);
        EXPECT_EQ(Lines(r.out)[1], std::string("Line change: ") + c.lineChange);
        EXPECT_EQ(Lines(r.out)[2], std::string("Status read: ") + c.statusRead);
        EXPECT_EQ(Lines(r.out)[3], std::string("Change shows late by: ") + c.lag);
        EXPECT_NE(r.out.find("Verdict: this adapter can carry the station's bus; a whole import takes about"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find(std::string("a routine import ") + c.routine + "."), std::string::npos) << r.out;
        EXPECT_EQ(Read("station.img"), image) << c.settings << ": the measurement wrote nothing";
    }
}

TEST_F(CliTest, PortCheckOfAPortThatCannotBeOpenedExitsTwo) {
    const CliResult r = Run({"--port", Path("no-such-tty").string(), "port-check"});
    EXPECT_EQ(r.exitCode, 2);
    ExpectOneErrorLine(r, "no-such-tty");
}

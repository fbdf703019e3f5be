// The main window on the real hardware manager with the simulated station behind it.
#include "history/HistoryData.h"
#include "settings/Options.h"
#include "station/StationImage.h"
#include "ui/HWManagerLink.h"
#include "ui/MainFrame.h"
#include "ui/StatusBar.h"

#include "Fakes.h"
#include "GatedPort.h"
#include "UiTests.h"

#include <QtTest>

namespace {

constexpr int Bound = 20000; // ms; the conditions hold long before, the bound only ends a hang

QString LinkIcon(CMainFrame& frame) {
    return frame.StatusBar()->PaneIconName(CMPSBarWithAnimation::LinkPane);
}

void StationAnswers(SimulatedSerialPort& station) {
    // The base unit's usual second: 150 ms busy, then quiet.
    station.baseUnit().SetPattern({{true, 150 * BaseUnit::Ms}, {false, 850 * BaseUnit::Ms}}, true,
                                  station.now());
}

} // namespace

class StationLinkTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Options().SetPort("sim");
        Options().SetLanguageID(1033);
    }

    void linkIconFollowsWhetherTheBaseUnitAnswers() {
        Options().SetNrOfTransmitters(6);
        auto port = std::make_shared<GatedPort>();
        port->With([](SimulatedSerialPort& station) {
            StationImageSpec spec;
            spec.transmitters = 2;
            spec.measurements = 10;
            station.eeprom().bytes() = CreateStationImage(spec);
            station.baseUnit().SetSilent(station.now());
        });
        CHWManagerLink link(port);
        FakeHistory history;
        CMainFrame frame(history, link);
        QVERIFY(link.IsRunning());
        // The first ping goes out at once and finds no bus activity to synchronise with.
        QTRY_COMPARE_WITH_TIMEOUT(LinkIcon(frame), QStringLiteral("disconnected"), Bound);

        // Failed pings repeat back to back: the first answer turns the icon.
        port->With(StationAnswers);
        QTRY_COMPARE_WITH_TIMEOUT(LinkIcon(frame), QStringLiteral("connected"), Bound);
        QCOMPARE(frame.FailedPings(), 0);
        QCOMPARE(Options().GetNrOfTransmitters(), 2); // read by the ping

        port->With([](SimulatedSerialPort& station) { station.baseUnit().SetSilent(station.now()); });
        // Ping now rather than at the next tick, once the last ping has been taken back.
        bool queued = false;
        QTRY_VERIFY_WITH_TIMEOUT(queued || (queued = frame.PingTransmitters()), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(LinkIcon(frame), QStringLiteral("disconnected"), Bound);

        frame.close();
        QVERIFY(!link.IsRunning());
    }
};

static RegisterUiTest<StationLinkTest> registerStationLinkTest;

#include "StationLinkTest.moc"

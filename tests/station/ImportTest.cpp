#include "history/HistoryDamage.h"
#include "history/HistoryData.h"
#include "history/HistoryImportSink.h"
#include "link/I2CDriver.h"
#include "log/Logger.h"
#include "simulator/SimulatedSerialPort.h"
#include "station/DatasetEncoder.h"
#include "station/HWRequestReadRingBuffer.h"
#include "station/Hardware.h"
#include "station/RingBuffer.h"
#include "station/StationImage.h"

#include "RequestRecorder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>

namespace {

constexpr int Interval = 5;
CDateTime Start() {
    return CDateTime(2005, 1, 17, 14, 35, 0);
}

// Log text of the date-time of measurement i of a station started at Start.
std::string MeasurementTime(int i) {
    CDateTime when(Start().Value() + static_cast<double>(i) * Interval / 1440.0);
    CDateTime::Fields f;
    when.GetFields(f);
    return CDateTime(f.year, f.month, f.day, f.hour, f.minute, 0).LogText();
}

std::multiset<std::string> MeasurementTimes(int from, int to) {
    std::multiset<std::string> times;
    for (int i = from; i < to; ++i)
        times.insert(MeasurementTime(i));
    return times;
}

// A simulated station in virtual time, a history file and a log in a temporary folder.
class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        CLogger::Instance().SetClock([] { return CLogger::LocalTime{2005, 1, 17, 12, 0, 0, 0}; });
        CLogger::Instance().SetLevel(40);
        CLogger::Instance().SetFileOutput(true);
        driver.Open("sim", 300, 0xA0, false);
    }
    void TearDown() override {
        CLogger::Instance().SetFileOutput(false);
        CLogger::Instance().SetLevel(0);
        CLogger::Instance().SetClock(nullptr);
    }

    void Load(int transmitters, int measurements) {
        StationImageSpec spec;
        spec.transmitters = transmitters;
        spec.measurements = measurements;
        spec.start = Start();
        spec.intervalMinutes = Interval;
        port->eeprom().bytes() = CreateStationImage(spec);
    }
    // The base unit records count more measurements.
    void Record(int count) {
        for (int i = 0; i < count; ++i)
            AppendMeasurement(port->eeprom().bytes(), NextMeasurement(port->eeprom().bytes(), Interval, 1));
    }
    std::shared_ptr<CHWRequestReadRingBuffer> Import(std::shared_ptr<ImportSink> sink) {
        auto request = std::make_shared<CHWRequestReadRingBuffer>(recorder, std::move(sink));
        request->Execute(driver);
        return request;
    }
    std::shared_ptr<CHWRequestReadRingBuffer> Import(const std::filesystem::path& file) {
        return Import(std::make_shared<HistoryImportSink>(store, file));
    }
    std::shared_ptr<CHWRequestReadRingBuffer> Import() { return Import(history); }

    std::multiset<std::string> FileTimes() const {
        CHistoryData file;
        file.Read(history);
        return file.WithDatasets([](const std::vector<CDataset>& datasets) {
            std::multiset<std::string> times;
            for (const CDataset& d : datasets)
                times.insert(d.GetDateTime().LogText());
            return times;
        });
    }
    StationImageSummary Station() const { return SummarizeStationImage(port->eeprom().bytes()); }
    std::string Log() const { return ReadWholeFile(dir / "log__2005_01_17.txt"); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    TempDir dir;
    CurrentDirectory cwd{dir.path()};
    std::filesystem::path history = dir / "history.nvh";
    CHistoryData store; // what the history file holds, as the recording store does
    std::shared_ptr<SimulatedSerialPort> port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    CI2CDriver driver{port};
    std::shared_ptr<RequestRecorder> recorder = std::make_shared<RequestRecorder>();
};

TEST_F(ImportTest, EmptyStationImportsNothingAndLeavesTheRecord) {
    Load(3, 0);
    auto request = Import();
    EXPECT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_EQ(request->Summary().appended, 0);
    EXPECT_FALSE(request->Summary().newReadIndex);
    EXPECT_TRUE(Logged("end marker in first searched dataset, no new data"));
    EXPECT_TRUE(Logged("No new valid datasets appended"));
    EXPECT_EQ(Station().lastReadIndex, -1); // still erased
}

TEST_F(ImportTest, FirstImportOfANotFullStationTakesEverythingAndWritesTheRecord) {
    Load(3, 100);
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 100));
    EXPECT_TRUE(Logged("Ring buffer config invalid, parsing whole ring buffer"));
    EXPECT_TRUE(Logged("during parsing: EEPROM not full"));
    EXPECT_EQ(Station().lastReadIndex, 99);
    EXPECT_EQ(Station().lastNrOfTransmitters, 3);
    EXPECT_EQ(CDateTime(Station().lastReadDateTime).LogText(), MeasurementTime(99));
    EXPECT_EQ(Station().unread, 0);
    // Progress: 19 blocks, announced with the bytes read before each.
    ASSERT_EQ(recorder->Steps().size(), 19u);
    EXPECT_EQ(recorder->Steps().back().bytesDone, 32400u);
    EXPECT_EQ(recorder->Steps().back().bytesTotal, 32659u);
}

TEST_F(ImportTest, LaterImportsTakeOnlyWhatIsNew) {
    Load(3, 100);
    ASSERT_TRUE(Import()->Succeeded());

    auto nothingNew = Import();
    EXPECT_TRUE(nothingNew->Succeeded());
    EXPECT_EQ(nothingNew->Summary().parsed, 0);
    EXPECT_TRUE(Logged("parsing part of ring buffer"));
    EXPECT_TRUE(Logged("bytes (0) for parsing"));

    Record(10);
    auto next = Import();
    ASSERT_TRUE(next->Succeeded()) << next->Message();
    EXPECT_EQ(next->Summary().parsed, 10);
    EXPECT_EQ(next->Summary().appended, 10);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 110));
    EXPECT_EQ(Station().lastReadIndex, 109);
}

TEST_F(ImportTest, StationThatWrappedSinceTheLastRead) {
    const int slots = Hardware::RingBuffer::GetConfig(4)->DatasetCount();
    Load(4, slots - 50);
    ASSERT_TRUE(Import()->Succeeded());
    Record(100); // runs past the ring's end
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_TRUE(Logged("No end marker found, using bytes after last read dataset"));
    EXPECT_EQ(request->Summary().appended, 100);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, slots + 50));
}

TEST_F(ImportTest, FullStationWithTheMarkerInsideTheRing) {
    const int slots = Hardware::RingBuffer::GetConfig(4)->DatasetCount();
    Load(4, slots + 10);
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_TRUE(Logged("Using bytes after end marker at EEPROM address"));
    // The station keeps all but the marker's slot, oldest first.
    EXPECT_EQ(FileTimes(), MeasurementTimes(11, slots + 10));
    EXPECT_EQ(Station().lastReadIndex, 9);
}

TEST_F(ImportTest, FullStationWithTheMarkerInTheFirstSlot) {
    const int slots = Hardware::RingBuffer::GetConfig(2)->DatasetCount();
    Load(2, 2 * slots);
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_TRUE(Logged("end marker in first dataset"));
    EXPECT_TRUE(Logged("At beginning of ring buffer, continuing at end of ring buffer"));
    EXPECT_EQ(FileTimes(), MeasurementTimes(slots + 1, 2 * slots));
    EXPECT_EQ(Station().lastReadIndex, slots - 1);
}

TEST_F(ImportTest, MarkerInTheLastSlotIsFound) {
    // The newest dataset in the next-to-last slot puts the marker into the ring's last slot.
    const int slots = Hardware::RingBuffer::GetConfig(3)->DatasetCount();
    Load(3, slots - 1);
    auto first = Import();
    ASSERT_TRUE(first->Succeeded()) << first->Message();
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, slots - 1));
    EXPECT_EQ(Station().lastReadIndex, slots - 2);

    // Wrapped past the ring's end since: the marker in the first slot, the last one filled.
    Record(1);
    auto second = Import();
    ASSERT_TRUE(second->Succeeded()) << second->Message();
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, slots));
}

TEST_F(ImportTest, InvalidRecordMakesTheWholeRingBeParsedWithoutDoubles) {
    Load(3, 40);
    ASSERT_TRUE(Import()->Succeeded());
    // A record pointing past the layout.
    const auto bad = EncodeReadPosition(Start().Value(), 5000, 3);
    std::copy(bad.begin(), bad.end(), port->eeprom().bytes().begin() + Hardware::EE_PC_BEGIN);
    Record(2);
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_TRUE(Logged("Read configuration is invalid, reseting configuration"));
    EXPECT_EQ(request->Summary().known, 40);
    EXPECT_EQ(request->Summary().appended, 2);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 42));
}

// Twelve new datasets on a full four-transmitter ring (18-byte slots), last read at slot 99.
TEST_F(ImportTest, RoutineImportReadsOnlyWhatIsNew) {
    const int slots = Hardware::RingBuffer::GetConfig(4)->DatasetCount();
    Load(4, slots + 100);
    auto first = Import();
    ASSERT_TRUE(first->Succeeded()) << first->Message();
    EXPECT_EQ(first->Summary().bytesRead, 2u + 16u + 32659u); // no record yet: everything
    Record(12);
    recorder = std::make_shared<RequestRecorder>();

    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_EQ(request->Summary().appended, 12);
    EXPECT_EQ(FileTimes(), MeasurementTimes(101, slots + 112));
    EXPECT_EQ(Station().lastReadIndex, 111);
    EXPECT_EQ(Station().unread, 0);
    // Flags, record, the last read date-time, the counter, then 12 new, the marker and the
    // date-time after it.
    EXPECT_EQ(request->Summary().bytesRead, 2u + 16u + 5u + 2u + 13u * 18u + 5u);
    EXPECT_TRUE(Logged("Reading from 0x75A, 5 bytes"));
    EXPECT_TRUE(Logged("Reading from 0x76C, 239 bytes"));
    // Progress counts the bytes read so far, of those and the current read.
    const auto steps = recorder->Steps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].bytesDone, 0u);
    EXPECT_EQ(steps[0].bytesTotal, 5u);
    EXPECT_EQ(steps[1].bytesDone, 5u);
    EXPECT_EQ(steps[1].bytesTotal, 244u);
}

TEST_F(ImportTest, ForcedWholeReadReadsEverythingWithTheSameResult) {
    Load(4, 200);
    ASSERT_TRUE(Import()->Succeeded());
    Record(12);
    recorder = std::make_shared<RequestRecorder>();
    auto request = std::make_shared<CHWRequestReadRingBuffer>(
        recorder, std::make_shared<HistoryImportSink>(store, history));
    request->ForceWholeRead();
    request->Execute(driver);
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_EQ(request->Summary().bytesRead, 2u + 16u + 32659u);
    EXPECT_EQ(recorder->Steps().size(), 19u);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 212));
    EXPECT_EQ(Station().lastReadIndex, 211);
}

class EveryLayout : public ImportTest, public ::testing::WithParamInterface<int> {};

TEST_P(EveryLayout, WrappedStationImportsEverySlotWithItsLastValue) {
    const int transmitters = GetParam();
    const int slots = Hardware::RingBuffer::GetConfig(transmitters)->DatasetCount();
    Load(transmitters, slots + 1); // the ring's last slot holds a dataset
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_EQ(FileTimes(), MeasurementTimes(2, slots + 1));
    // No value of a configured sensor decodes as overflow, the last slot's last byte included.
    CHistoryData file;
    file.Read(history);
    file.WithDatasets([&](const std::vector<CDataset>& datasets) {
        for (const CDataset& d : datasets)
            for (int sensor = 0; sensor <= transmitters; ++sensor) {
                EXPECT_NE(d.GetHumidity(sensor), CDataset::HumidityOverflow) << d.GetDateTime().LogText();
                EXPECT_NE(d.GetTemperature(sensor), CDataset::TemperatureOverflow)
                    << d.GetDateTime().LogText();
            }
        return 0;
    });
}

INSTANTIATE_TEST_SUITE_P(Transmitters, EveryLayout, ::testing::Values(1, 2, 3, 4, 5));

TEST_F(ImportTest, BaseUnitRecordingBetweenImports) {
    Load(1, 20);
    port->baseUnit().SetRecording(
        SimClock::Nanos(Interval) * 60'000'000'000LL,
        [](std::span<std::uint8_t> eeprom, std::chrono::system_clock::time_point) {
            EepromImage& image = *reinterpret_cast<EepromImage*>(eeprom.data());
            AppendMeasurement(image, NextMeasurement(image, Interval, 1));
        },
        port->now());
    ASSERT_TRUE(Import()->Succeeded());
    const std::size_t afterFirst = FileTimes().size();
    port->sleep(60 * 60 * 1000); // an hour of recording
    ASSERT_TRUE(Import()->Succeeded());
    const auto times = FileTimes();
    EXPECT_GE(times.size(), afterFirst + 12);
    EXPECT_EQ(times, MeasurementTimes(0, static_cast<int>(times.size())));
}

TEST_F(ImportTest, AbortDuringTheReadLeavesStationAndHistoryUntouched) {
    Load(3, 100);
    std::weak_ptr<CHWRequestReadRingBuffer> running;
    recorder->OnStep([&](const RequestRecorder::Step& step) {
        if (step.bytesDone == 3 * 1800)
            if (auto request = running.lock())
                request->Abort();
    });
    auto request = std::make_shared<CHWRequestReadRingBuffer>(
        recorder, std::make_shared<HistoryImportSink>(store, history));
    running = request;
    const auto before = port->eeprom().bytes();
    request->Execute(driver);
    EXPECT_FALSE(request->Succeeded());
    EXPECT_TRUE(request->Aborted());
    EXPECT_EQ(request->Message(), "Request failed: Thread aborted");
    EXPECT_EQ(port->eeprom().bytes(), before);
    EXPECT_FALSE(std::filesystem::exists(history));
}

TEST_F(ImportTest, ABlockThatFailsOnceIsReadAgainAndTheImportGoesOn) {
    Load(3, 100);
    port->eeprom().FlipBitOnRead(Hardware::EE_START_OF_RINGBUFFER + 5000, 0x01, 1);
    const int syncs = port->Opens();
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_TRUE(Logged("failed: Compare failed"));
    EXPECT_TRUE(Logged("bytes again, attempt 2 of 3"));
    EXPECT_EQ(port->Opens(), syncs);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 100));
}

TEST_F(ImportTest, CompareFailureFailsTheRequestAndARetryDoublesNothing) {
    Load(3, 100);
    // Every attempt at the block reads two different values.
    port->eeprom().FlipBitOnEveryOtherRead(Hardware::EE_START_OF_RINGBUFFER + 5000, 0x01,
                                           CHWRequestReadRingBuffer::BlockAttempts);
    auto failed = Import();
    EXPECT_FALSE(failed->Succeeded());
    EXPECT_NE(failed->Message().find("Read ring buffer failed, aborting"), std::string::npos);
    EXPECT_TRUE(Logged("failed: Compare failed"));
    EXPECT_EQ(Station().lastReadIndex, -1);

    auto retry = Import();
    ASSERT_TRUE(retry->Succeeded()) << retry->Message();
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 100));
}

TEST_F(ImportTest, FailedRecordWriteBackKeepsTheDataAndTheNextImportAddsNoDoubles) {
    Load(3, 50);
    ASSERT_TRUE(Import()->Succeeded());
    Record(5);
    // Every read of one record byte comes back changed: the write-back never compares equal.
    port->eeprom().FlipBitOnRead(Hardware::EE_PC_BEGIN + 8, 0x01, 1'000'000);
    auto failed = Import();
    EXPECT_FALSE(failed->Succeeded());
    EXPECT_NE(failed->Message().find("Write configuration error: Read / write error, aborting"),
              std::string::npos);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 55));

    port->eeprom().FlipBitOnRead(Hardware::EE_PC_BEGIN + 8, 0x01, 0);
    auto next = Import();
    ASSERT_TRUE(next->Succeeded()) << next->Message();
    EXPECT_EQ(next->Summary().appended, 0);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 55));
}

TEST_F(ImportTest, UnwritableHistoryFileFailsAndTheStationOffersTheDataAgain) {
    Load(3, 30);
    auto failed = Import(dir / "missing-folder" / "history.nvh");
    EXPECT_FALSE(failed->Succeeded());
    EXPECT_NE(failed->Message().find("Appending to history file"), std::string::npos);
    EXPECT_EQ(Station().lastReadIndex, -1);
    EXPECT_EQ(Station().unread, 30);
    EXPECT_EQ(store.Size(), 0u);

    auto retry = Import();
    ASSERT_TRUE(retry->Succeeded()) << retry->Message();
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 30));
}

TEST_F(ImportTest, TransmitterCountOutsideTheLayoutsFailsAfterTheRead) {
    Load(3, 10);
    port->eeprom().bytes()[Hardware::EE_NUMBER_OF_TRANSMITTERS] = 0x06;
    auto request = Import();
    EXPECT_FALSE(request->Succeeded());
    EXPECT_NE(request->Message().find("Wrong number of transmitters requested: 6"), std::string::npos);
    EXPECT_EQ(recorder->Steps().size(), 19u);
}

TEST_F(ImportTest, NewestDatasetWithAnInvalidDateTimeSaysSoUntilTheNextMeasurement) {
    Load(3, 30);
    ASSERT_TRUE(Import()->Succeeded());
    Record(2);
    CDataset broken = NextMeasurement(port->eeprom().bytes(), Interval, 1);
    CDateTime invalid;
    invalid.SetStatus(CDateTime::invalid);
    broken.SetDateTime(invalid);
    AppendMeasurement(port->eeprom().bytes(), broken);

    auto blocked = Import();
    EXPECT_FALSE(blocked->Succeeded());
    EXPECT_TRUE(blocked->Summary().newestDatasetInvalid);
    EXPECT_NE(blocked->Message().find("The newest dataset in the station has an invalid date and time; the "
                                      "station's next measurement clears it"),
              std::string::npos)
        << blocked->Message();
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 30));

    Record(1);
    auto next = Import();
    ASSERT_TRUE(next->Succeeded()) << next->Message();
    EXPECT_FALSE(next->Summary().newestDatasetInvalid);
    EXPECT_EQ(next->Summary().appended, 3) << "the two before the invalid one and the new one";
}

TEST_F(ImportTest, RingWithoutAnyEndMarkerFailsWithoutBlamingTheNewestDataset) {
    Load(3, 30);
    // The marker slot overwritten with a valid-looking copy of the slot before it.
    const Hardware::RingBuffer& layout = *Hardware::RingBuffer::GetConfig(3);
    auto& eeprom = port->eeprom().bytes();
    const int slots = layout.DatasetCount();
    for (int slot = 30; slot < slots; ++slot)
        std::copy_n(eeprom.begin() + layout.SlotAddress(29), layout.DatasetSize(),
                    eeprom.begin() + layout.SlotAddress(slot));
    auto request = Import();
    EXPECT_FALSE(request->Succeeded());
    EXPECT_FALSE(request->Summary().newestDatasetInvalid);
    EXPECT_NE(request->Message().find("No end marker found, aborting"), std::string::npos);
    EXPECT_EQ(request->Message().find("newest dataset"), std::string::npos) << request->Message();
}

} // namespace

namespace {

// A sink in front of the history file that notes what the station held when it was asked to store,
// and can refuse.
class ObservingSink : public HistoryImportSink {
public:
    ObservingSink(CHistoryData& store, std::filesystem::path file, std::function<void()> onStore, bool refuse)
        : HistoryImportSink(store, std::move(file)), m_onStore(std::move(onStore)), m_refuse(refuse) {}
    bool Store(const std::vector<CDataset>& datasets) override {
        m_onStore();
        return !m_refuse && HistoryImportSink::Store(datasets);
    }

private:
    std::function<void()> m_onStore;
    bool m_refuse;
};

} // namespace

TEST_F(ImportTest, DatasetsAreStoredBeforeTheStationIsToldAndARefusedStoreLeavesItUntouched) {
    Load(3, 30);
    const auto untouched = port->eeprom().bytes();
    StationImageSummary atStore;
    const auto observe = [&] { atStore = Station(); };

    auto refused = Import(std::make_shared<ObservingSink>(store, history, observe, true));
    EXPECT_FALSE(refused->Succeeded());
    EXPECT_NE(
        refused->Message().find("Appending to history file '" + history.string() + "' failed, aborting"),
        std::string::npos)
        << refused->Message();
    EXPECT_EQ(port->eeprom().bytes(), untouched);
    EXPECT_EQ(Station().unread, 30);

    auto taken = Import(std::make_shared<ObservingSink>(store, history, observe, false));
    ASSERT_TRUE(taken->Succeeded()) << taken->Message();
    // While the sink stored, the station still held the old record and all datasets unread.
    EXPECT_EQ(atStore.lastReadIndex, -1);
    EXPECT_EQ(atStore.unread, 30);
    EXPECT_EQ(Station().lastReadIndex, 29);
    EXPECT_EQ(Station().unread, 0);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 30));
}

TEST_F(ImportTest, ANewRunComparesAgainstTheFileAfterAFailedWriteBack) {
    Load(3, 20);
    port->eeprom().FlipBitOnRead(Hardware::EE_PC_BEGIN + 8, 0x01, 1'000'000);
    ASSERT_FALSE(Import()->Succeeded());
    port->eeprom().FlipBitOnRead(Hardware::EE_PC_BEGIN + 8, 0x01, 0);

    // As the command line does in a new process: a store read from the file.
    CHistoryData reread;
    ASSERT_TRUE(reread.Read(history));
    auto next = Import(std::make_shared<HistoryImportSink>(reread, history));
    ASSERT_TRUE(next->Succeeded()) << next->Message();
    EXPECT_EQ(next->Summary().known, 20);
    EXPECT_EQ(next->Summary().appended, 0);
    EXPECT_EQ(FileTimes(), MeasurementTimes(0, 20));
    EXPECT_EQ(Station().lastReadIndex, 19);
}

namespace {

// A station whose every recording is kept as the truth a complete history must hold: each
// recorded dataset exactly once, with its true values. The base unit keeps its own write
// position, so damage planted in its memory does not mislead it.
class RecordedStation : public ImportTest {
protected:
    void Begin(int transmitters, int measurements, CDateTime start = Start()) {
        StationImageSpec spec;
        spec.transmitters = transmitters;
        spec.measurements = measurements;
        spec.start = start;
        spec.intervalMinutes = Interval;
        port->eeprom().bytes() = CreateStationImage(spec);
        layout = Hardware::RingBuffer::GetConfig(transmitters);
        const int slots = layout->DatasetCount();
        for (int i = std::max(0, measurements - (slots - 1)); i < measurements; ++i)
            truth.push_back(MakeMeasurement(MinuteAfter(start, i * Interval), transmitters, spec.seed));
        writeSlot = measurements % slots;
        last = MinuteAfter(start, (measurements - 1) * Interval);
    }
    static CDateTime MinuteAfter(const CDateTime& from, int minutes) {
        CDateTime::Fields f;
        CDateTime(from.Value() + minutes / 1440.0).GetFields(f);
        return CDateTime(f.year, f.month, f.day, f.hour, f.minute, 0);
    }
    void RecordAt(const CDateTime& when, std::uint32_t seed = 1) {
        Write(MakeMeasurement(when, Transmitters(), seed));
    }
    void Write(const CDataset& dataset) {
        WriteMeasurementAt(port->eeprom().bytes(), writeSlot, dataset);
        writeSlot = (writeSlot + 1) % layout->DatasetCount();
        truth.push_back(dataset);
        last = dataset.GetDateTime();
    }
    void RecordOn(int count) {
        for (int i = 0; i < count; ++i)
            RecordAt(MinuteAfter(last, Interval));
    }
    int Transmitters() const { return layout->NrOfTransmitters(); }
    std::uint8_t* SlotBytes(int slot) { return port->eeprom().bytes().data() + layout->SlotAddress(slot); }
    int SlotOf(int recentIndex) const { // slot of the dataset recorded recentIndex recordings ago (1: newest)
        const int slots = layout->DatasetCount();
        return ((writeSlot - recentIndex) % slots + slots) % slots;
    }
    void SetUnread(unsigned count) {
        port->eeprom().bytes()[Hardware::EE_EEPROM_UNREAD_GL] = static_cast<std::uint8_t>(count & 0xFF);
        port->eeprom().bytes()[Hardware::EE_EEPROM_UNREAD_GL + 1] = static_cast<std::uint8_t>(count >> 8);
    }

    static std::string Key(const CDataset& d) {
        std::string key = d.GetDateTime().LogText();
        for (int v = 0; v < 2 * CDataset::SensorCount; ++v)
            key += " " + std::to_string(d.Values()[v] + 0.0f); // the station stores no -0
        return key;
    }
    static std::multiset<std::string> Keys(const std::vector<CDataset>& datasets) {
        std::multiset<std::string> keys;
        for (const CDataset& d : datasets)
            keys.insert(Key(d));
        return keys;
    }
    std::multiset<std::string> FileKeys(const std::filesystem::path& file) const {
        CHistoryData read;
        read.Read(file);
        EXPECT_FALSE(read.Damage().Any()) << DamageText(read.Damage());
        return read.WithDatasets([](const std::vector<CDataset>& datasets) { return Keys(datasets); });
    }
    // Every recorded dataset exactly once, with its true values.
    void ExpectComplete(const std::filesystem::path& file) const {
        const auto held = FileKeys(file), recorded = Keys(truth);
        std::vector<std::string> missing, extra;
        std::set_difference(recorded.begin(), recorded.end(), held.begin(), held.end(),
                            std::back_inserter(missing));
        std::set_difference(held.begin(), held.end(), recorded.begin(), recorded.end(),
                            std::back_inserter(extra));
        EXPECT_TRUE(missing.empty() && extra.empty())
            << missing.size() << " missing, first " << (missing.empty() ? "" : missing.front()) << "; "
            << extra.size() << " not recorded, first " << (extra.empty() ? "" : extra.front());
    }
    void ExpectComplete() const { ExpectComplete(history); }

    const Hardware::RingBuffer* layout = nullptr;
    std::vector<CDataset> truth;
    int writeSlot = 0;
    CDateTime last;
};

struct StrayCase {
    const char* name;
    std::uint8_t lead;
    int newIndex; // which of the ten new datasets is damaged: 0 the first after the last import
    bool full;
};

class StrayLeadByte : public RecordedStation, public ::testing::WithParamInterface<StrayCase> {};

TEST_P(StrayLeadByte, NeverStopsImports) {
    const StrayCase& c = GetParam();
    const int slots = Hardware::RingBuffer::GetConfig(3)->DatasetCount();
    Begin(3, c.full ? slots + 100 : 100);
    ASSERT_TRUE(Import()->Succeeded());
    RecordOn(10);
    // A flipped lead byte: that dataset is lost, nothing else.
    const int damaged = SlotOf(10 - c.newIndex);
    SlotBytes(damaged)[0] = c.lead;
    truth.erase(truth.end() - (10 - c.newIndex));

    auto first = Import();
    ASSERT_TRUE(first->Succeeded()) << first->Message();
    EXPECT_EQ(first->Summary().appended, 9);
    EXPECT_TRUE(Logged("damaged dataset skipped") || Logged("Skipping dataset")) << Log();
    ExpectComplete();
    for (int round = 0; round < 3; ++round) {
        RecordOn(50);
        auto next = Import();
        ASSERT_TRUE(next->Succeeded()) << next->Message();
        EXPECT_EQ(next->Summary().appended, 50) << "round " << round;
        EXPECT_EQ(Station().unread, 0);
    }
    ExpectComplete();
}

INSTANTIATE_TEST_SUITE_P(States, StrayLeadByte,
                         ::testing::Values(StrayCase{"FfFirstAfterTheLastImport", 0xFF, 0, false},
                                           StrayCase{"FeFirstAfterTheLastImport", 0xFE, 0, false},
                                           StrayCase{"FfAmongTheNew", 0xFF, 4, false},
                                           StrayCase{"FeAmongTheNew", 0xFE, 4, false},
                                           StrayCase{"FullRingFfFirstAfterTheLastImport", 0xFF, 0, true},
                                           StrayCase{"FullRingFeAmongTheNew", 0xFE, 4, true}),
                         [](const ::testing::TestParamInfo<StrayCase>& info) { return info.param.name; });

class HalfWrittenSlot : public RecordedStation, public ::testing::WithParamInterface<int> {};

// The base unit marked the next slot, wrote the first bytes of the new one and has not counted
// it yet.
TEST_P(HalfWrittenSlot, WaitsUntilItIsComplete) {
    const int written = GetParam();
    Begin(3, 100);
    ASSERT_TRUE(Import()->Succeeded());
    RecordOn(5);
    const CDataset pending = MakeMeasurement(MinuteAfter(last, Interval), 3, 1);
    const auto unreadBefore = Station().unread;
    const int slot = writeSlot;
    const unsigned S = layout->DatasetSize();
    std::vector<std::uint8_t> full(S);
    EncodeStationDataset(pending, *layout, full);
    std::uint8_t* bytes = SlotBytes(slot);
    std::fill_n(SlotBytes((slot + 1) % layout->DatasetCount()), S, std::uint8_t{0xFF});
    std::copy_n(full.begin(), written, bytes);

    auto during = Import();
    ASSERT_TRUE(during->Succeeded()) << during->Message();
    EXPECT_EQ(during->Summary().appended, 5);
    EXPECT_TRUE(during->Summary().newestLeft);
    EXPECT_TRUE(Logged("is not completely written yet"));
    EXPECT_EQ(Station().lastReadIndex, slot - 1);
    EXPECT_EQ(Station().unread, 1) << "the slot left stays unread";
    EXPECT_EQ(unreadBefore, 5);
    ExpectComplete(); // the pending one is not recorded yet

    // The base unit finishes the slot and counts it.
    Write(pending);
    auto after = Import();
    ASSERT_TRUE(after->Succeeded()) << after->Message();
    EXPECT_EQ(after->Summary().appended, 1);
    EXPECT_FALSE(after->Summary().newestLeft);
    RecordOn(3);
    ASSERT_TRUE(Import()->Succeeded());
    ExpectComplete();
}

INSTANTIATE_TEST_SUITE_P(BytesWritten, HalfWrittenSlot, ::testing::Values(5, 8, 14));

TEST_F(RecordedStation, RealMeasurementWithEveryValueOutOfRangeIsImported) {
    Begin(3, 100);
    ASSERT_TRUE(Import()->Succeeded());
    RecordOn(2);
    CDataset overflow = MakeMeasurement(MinuteAfter(last, Interval), 3, 1);
    for (int sensor = 0; sensor <= 3; ++sensor) {
        overflow.SetTemperature(sensor, CDataset::TemperatureOverflow);
        overflow.SetHumidity(sensor, CDataset::HumidityOverflow);
    }
    Write(overflow); // counted as unread: complete
    auto counted = Import();
    ASSERT_TRUE(counted->Succeeded()) << counted->Message();
    EXPECT_EQ(counted->Summary().appended, 3);
    EXPECT_FALSE(counted->Summary().newestLeft);
    ExpectComplete();

    // A counter that lags behind (cleared by an import while the base unit counted): the next
    // import takes it at the latest.
    RecordOn(2);
    overflow.SetDateTime(MinuteAfter(last, Interval));
    Write(overflow);
    SetUnread(2);
    auto lagging = Import();
    ASSERT_TRUE(lagging->Succeeded()) << lagging->Message();
    EXPECT_EQ(lagging->Summary().appended, 2);
    EXPECT_TRUE(lagging->Summary().newestLeft);
    auto next = Import();
    ASSERT_TRUE(next->Succeeded()) << next->Message();
    EXPECT_EQ(next->Summary().appended, 1);
    ExpectComplete();
}

TEST_F(RecordedStation, ClockSetBackKeepsTheRepeatedHour) {
    Begin(3, 36, CDateTime(2005, 10, 30, 0, 0, 0)); // 00:00 to 02:55
    ASSERT_TRUE(Import()->Succeeded());
    // An hour back: 02:00 to 03:30 again, with other values.
    for (int i = 0; i < 19; ++i)
        RecordAt(MinuteAfter(CDateTime(2005, 10, 30, 2, 0, 0), i * Interval), 2);
    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_EQ(request->Summary().known, 0);
    EXPECT_EQ(request->Summary().appended, 19);
    ExpectComplete();
    EXPECT_EQ(truth.size(), 55u);

    // The same station into a new history: the same 55.
    CHistoryData fresh;
    auto all = std::make_shared<CHWRequestReadRingBuffer>(
        recorder, std::make_shared<HistoryImportSink>(fresh, dir / "new.nvh"));
    all->ImportAll();
    all->Execute(driver);
    ASSERT_TRUE(all->Succeeded()) << all->Message();
    ExpectComplete(dir / "new.nvh");
    // And again into the first: every measurement is known.
    RecordOn(1);
    auto again = Import();
    ASSERT_TRUE(again->Succeeded()) << again->Message();
    EXPECT_EQ(again->Summary().appended, 1);
    ExpectComplete();
}

TEST_F(RecordedStation, DamagedValueDigitsAreStoredAsMissing) {
    Begin(3, 20);
    ASSERT_TRUE(Import()->Succeeded());
    RecordOn(5);
    // The third new dataset: the indoor temperature's tens digit 0xC, the indoor humidity 0xC5.
    const int slot = SlotOf(3);
    SetNibble(SlotBytes(slot), 12, 0xC);
    SlotBytes(slot)[8] = 0xC5;
    CDataset& damaged = truth[truth.size() - 3];
    damaged.SetTemperature(0, CDataset::TemperatureNotAvailable);
    damaged.SetHumidity(0, CDataset::HumidityNotAvailable);

    auto request = Import();
    ASSERT_TRUE(request->Succeeded()) << request->Message();
    EXPECT_EQ(request->Summary().appended, 5);
    EXPECT_EQ(request->Summary().damaged, 1);
    EXPECT_EQ(request->Summary().damagedValues, 2);
    EXPECT_TRUE(Logged("stored 2 values no station records as missing in 1 datasets"));
    ExpectComplete();
    RecordOn(2);
    ASSERT_TRUE(Import()->Succeeded());
    ExpectComplete();
}

TEST_F(RecordedStation, ImportAllRecoversWhatTheStationHoldsIntoAnotherHistory) {
    const int slots = Hardware::RingBuffer::GetConfig(2)->DatasetCount();
    Begin(2, slots + 40);
    ASSERT_TRUE(Import()->Succeeded());
    RecordOn(7);
    ASSERT_TRUE(Import()->Succeeded());
    ExpectComplete();

    // The history is lost: a new file gets everything the station still holds.
    CHistoryData fresh;
    auto all = std::make_shared<CHWRequestReadRingBuffer>(
        recorder, std::make_shared<HistoryImportSink>(fresh, dir / "recovered.nvh"));
    all->ImportAll();
    all->Execute(driver);
    ASSERT_TRUE(all->Succeeded()) << all->Message();
    EXPECT_EQ(all->Summary().appended, slots - 1);
    truth.erase(truth.begin(), truth.end() - (slots - 1)); // the oldest are overwritten
    ExpectComplete(dir / "recovered.nvh");
    EXPECT_EQ(Station().lastReadIndex, SlotOf(1));
}

struct LayoutCase {
    const char* name;
    int from, to;
};

class LayoutChange : public RecordedStation, public ::testing::WithParamInterface<LayoutCase> {};

// The transmitter count changed without the ring being cleared: the base unit goes on with slots
// of the new size from the first one at or after its old end marker.
TEST_P(LayoutChange, ParsesNoByteWithALayoutItWasNotWrittenIn) {
    const LayoutCase& c = GetParam();
    Begin(c.from, 100);
    ASSERT_TRUE(Import()->Succeeded());
    RecordOn(5); // unread, in the old layout
    const int oldMarker = writeSlot * static_cast<int>(layout->DatasetSize());
    port->eeprom().bytes()[Hardware::EE_NUMBER_OF_TRANSMITTERS] = static_cast<std::uint8_t>(c.to);
    layout = Hardware::RingBuffer::GetConfig(c.to);
    const int S = static_cast<int>(layout->DatasetSize());
    writeSlot = (oldMarker + S - 1) / S;
    RecordOn(10);

    auto changed = Import();
    ASSERT_TRUE(changed->Succeeded()) << changed->Message();
    EXPECT_EQ(changed->Summary().appended, 15);
    EXPECT_NE(changed->Summary().layoutChange.find("took 5 datasets written with " + std::to_string(c.from) +
                                                   " and 10 written with " + std::to_string(c.to)),
              std::string::npos)
        << changed->Summary().layoutChange;
    EXPECT_EQ(Station().lastNrOfTransmitters, c.to);
    EXPECT_EQ(Station().lastReadIndex, SlotOf(1));
    ExpectComplete();

    RecordOn(20);
    auto next = Import();
    ASSERT_TRUE(next->Succeeded()) << next->Message();
    EXPECT_EQ(next->Summary().appended, 20);
    EXPECT_TRUE(next->Summary().layoutChange.empty());
    ExpectComplete();
}

INSTANTIATE_TEST_SUITE_P(States, LayoutChange,
                         ::testing::Values(LayoutCase{"ThreeToFive", 3, 5}, LayoutCase{"FiveToTwo", 5, 2},
                                           LayoutCase{"OneToFour", 1, 4}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

} // namespace

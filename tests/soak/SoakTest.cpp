// Soak: hundreds of imports from one simulated station that keeps recording, in virtual time, with
// a fault in some of them. After every import the history file must hold each valid dataset the
// station recorded and still holds or that an earlier import took, exactly once, and nothing
// else; the read position in the station must never lie past a dataset the file lacks.
//
// It runs on two seeds. NIVARO_SOAK_IMPORTS (default 1000), NIVARO_SOAK_SEED (one seed instead of
// the two) and NIVARO_SOAK_TRANSMITTERS (default 5) run it longer or otherwise by hand (scripts/soak
// runs it at scale), NIVARO_SOAK_VERBOSE=1 prints every import, NIVARO_SOAK_LOG=50 logs a replay;
// a failure names the seed and the import to replay.
#include "FaultPort.h"
#include "StationModel.h"
#include "TempDir.h"
#include "simulator/SimulatorTarget.h"

#include "history/HistoryData.h"
#include "history/HistoryImportSink.h"
#include "history/HistoryRecord.h"
#include "hw/HWManager.h"
#include "log/Logger.h"
#include "station/HWRequestReadRingBuffer.h"
#include "station/Hardware.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using namespace Hardware;

namespace {

constexpr BaseUnit::Nanos Ms = BaseUnit::Ms;
// The whole history file and store are compared this often; in between only what was appended.
constexpr long FullCheckEvery = 100;
constexpr std::uint32_t FirstSeed = 20050117;

// SplitMix64: the same figures from the same seed on every platform.
struct Random {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t Below(std::uint64_t n) { return n == 0 ? 0 : Next() % n; }
    std::int64_t Between(std::int64_t low, std::int64_t high) {
        return low + static_cast<std::int64_t>(Below(static_cast<std::uint64_t>(high - low + 1)));
    }
    bool Percent(int percent) { return Below(100) < static_cast<std::uint64_t>(percent); }
};

enum Fault {
    None,
    Silent,
    NoAcknowledge,
    FlippedBit,
    SclDriven,
    WriteBackFails,
    Aborted,
    Unplugged,
    FaultKinds
};
const char* const FaultNames[FaultKinds] = {"none",
                                            "base unit silent",
                                            "no acknowledge",
                                            "flipped bit in a read",
                                            "base unit drives SCL",
                                            "write-back fails",
                                            "abort",
                                            "adapter unplugged"};

// Counts the requests the worker finished.
class FinishedCount : public RequestObserver {
public:
    void Finished(const RequestOutcome&) override {
        std::lock_guard lock(m_lock);
        ++m_count;
        m_changed.notify_all();
    }
    // Real time only guards against a hang; the import itself runs in virtual time.
    bool WaitFor(int count) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::minutes(10), [&] { return m_count >= count; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_count = 0;
};

long EnvNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 0) : fallback;
}

struct Figures {
    int imports = 0, succeeded = 0;
    std::array<int, FaultKinds> faults{};
    std::array<int, FaultKinds> failedWith{};
    std::size_t recorded = 0, invalid = 0, recordedDuringImports = 0, appended = 0;
    int gapsWrapping = 0, wraps = 0;
    int lost = 0, doubled = 0, foreign = 0, skipped = 0, leftBehind = 0;
    int blockedByInvalidNewest = 0;
    int stationChanged = 0; // imports after which the EEPROM differed outside the PC's cells
    std::array<int, FaultKinds> failedAfterFault{};
};

// One line for scripts/soak's tables: every 250 imports ("partial") and at the end ("final").
void PrintFigures(std::uint32_t seed, int transmitters, const Figures& figures, BaseUnit::Nanos now,
                  const char* stage) {
    int failedWithoutFault = 0;
    for (int f = 0; f < FaultKinds; ++f)
        failedWithoutFault += figures.failedAfterFault[f];
    std::printf(
        "soak-figures %s seed=%u transmitters=%d imports=%d succeeded=%d faulted=%d lost=%d doubled=%d "
        "foreign=%d skipped=%d outsidePc=%d cleanFailed=%d cleanFailedAfterUnplug=%d "
        "blockedByInvalidNewest=%d hours=%.1f\n",
        stage, seed, transmitters, figures.imports, figures.succeeded, figures.imports - figures.faults[None],
        figures.lost, figures.doubled, figures.foreign, figures.skipped, figures.stationChanged,
        failedWithoutFault, figures.failedAfterFault[Unplugged], figures.blockedByInvalidNewest,
        static_cast<double>(now) / 3.6e12);
    std::fflush(stdout);
}

class Soak : public ::testing::TestWithParam<std::uint32_t> {
protected:
    void SetUp() override {
        // NIVARO_SOAK_LOG=50 writes the diagnostic log of a replay into the current directory.
        CLogger::Instance().SetLevel(static_cast<int>(EnvNumber("NIVARO_SOAK_LOG", 0)));
        CLogger::Instance().SetFileOutput(EnvNumber("NIVARO_SOAK_LOG", 0) > 0);
    }
    CHistoryData recording; // the program's recording store, imported into round after round
};

// Every check after one import; the first broken invariant is described in violation.
struct ImportCheck {
    const StationModel& model;
    SimulatedSerialPort& station;
    const std::filesystem::path& historyFile;
    const CHistoryData& recording;
    Figures& figures;
    std::vector<char> inFile;
    std::vector<char> counted; // datasets already counted as lost
    std::ostringstream violation;

    std::size_t scanned = 0; // records of the file counted in inFile
    // The datasets before it are in the file, counted as lost or invalid: no later check can find
    // them wanting, so each check looks only at the datasets after them.
    std::size_t settled = 0;
    std::array<std::uint8_t, HistoryRecordSize> lastScanned{}; // the last of them, as it was

    // full: the whole file and the whole store; otherwise only what was appended since the last
    // check (the file's earlier part is looked at through its last record and its size).
    void Run(bool succeeded, std::size_t recordedBefore, bool full) {
        const std::uintmax_t size =
            std::filesystem::exists(historyFile) ? std::filesystem::file_size(historyFile) : 0;
        if (size % HistoryRecordSize != 0)
            violation << "history file size " << size << " is not a multiple of 56; ";
        const std::size_t records = size / HistoryRecordSize;
        if (full || records < scanned) {
            if (records < scanned)
                violation << "the history file shrank from " << scanned << " to " << records << " records; ";
            inFile.assign(model.Count(), 0);
            scanned = 0;
            settled = 0;
        }
        inFile.resize(model.Count(), 0);
        counted.resize(model.Count(), 0);
        const std::size_t from = scanned > 0 ? scanned - 1 : 0;
        const std::string bytes = ReadFileFrom(historyFile, from * HistoryRecordSize);
        if (scanned > 0 && (bytes.size() < HistoryRecordSize ||
                            std::memcmp(bytes.data(), lastScanned.data(), HistoryRecordSize) != 0))
            violation << "record " << scanned - 1 << " of the history file changed; ";
        figures.appended = records;
        for (std::size_t r = scanned; r < records; ++r) {
            const auto* record =
                reinterpret_cast<const std::uint8_t*>(bytes.data()) + (r - from) * HistoryRecordSize;
            CDataset dataset;
            DecodeHistoryRecord(record, dataset);
            const int k = model.FindByDate(dataset.GetDateTime().Value());
            if (k < 0 || std::memcmp(record, model.At(static_cast<std::size_t>(k)).record.data(),
                                     HistoryRecordSize) != 0) {
                if (figures.foreign++ == 0)
                    violation << "record " << r << " (" << dataset.GetDateTime().LogText()
                              << ") is no dataset the station recorded; ";
            } else if (inFile[static_cast<std::size_t>(k)]++) {
                if (figures.doubled++ == 0)
                    violation << "dataset " << k << " (" << dataset.GetDateTime().LogText()
                              << ") is in the file twice; ";
            }
            if (r + 1 == records)
                std::copy_n(record, HistoryRecordSize, lastScanned.begin());
        }
        scanned = std::max(scanned, records);
        const std::size_t recorded = model.Count();
        while (settled < recorded && (!model.At(settled).valid || inFile[settled] || counted[settled]))
            ++settled;
        for (std::size_t k = settled; k < recorded; ++k) {
            const StationModel::Recording& recording = model.At(k);
            if (!recording.valid || inFile[k])
                continue;
            if (recording.gone && !counted[k]) {
                counted[k] = 1;
                if (figures.lost++ == 0)
                    violation << "dataset " << k << " (" << recording.expected.GetDateTime().LogText()
                              << ") was overwritten in the station but never reached the file; ";
            }
            if (succeeded && k < recordedBefore && !recording.gone) {
                if (figures.leftBehind++ == 0)
                    violation << "dataset " << k << " (" << recording.expected.GetDateTime().LogText()
                              << ") was in the station before a successful import but is not in the file; ";
            }
        }
        CheckReadPosition();
        CheckStation();
        CheckStore(records, full);
    }

    // Where the next import will start must not lie past a dataset the file lacks.
    void CheckReadPosition() {
        const EepromImage& eeprom = station.eeprom().bytes();
        const StationImageSummary summary = SummarizeStationImage(eeprom);
        const RingBuffer& layout = model.Layout();
        const auto index = static_cast<std::uint32_t>(summary.lastReadIndex);
        if (index >= static_cast<std::uint32_t>(layout.DatasetCount()) || summary.lastNrOfTransmitters < 1 ||
            summary.lastNrOfTransmitters > 5)
            return; // an invalid record: the next import reads the whole ring
        const CDateTime atIndex = DecodeDateTime(eeprom.data() + layout.SlotAddress(static_cast<int>(index)));
        if (atIndex.GetStatus() != CDateTime::valid || !(atIndex == CDateTime(summary.lastReadDateTime)))
            return; // no match: the whole ring again
        if (model.HolderOf(static_cast<int>(index)) < 0) {
            violation << "the read position names slot " << index << ", which holds no dataset; ";
            return;
        }
        for (const int slot : model.SlotsOldestFirst()) {
            const auto k = static_cast<std::size_t>(model.HolderOf(slot));
            if (model.At(k).valid && !inFile[k] && figures.skipped++ == 0)
                violation << "the read position (slot " << index << ") lies past dataset " << k << " in slot "
                          << slot << ", which is not in the file; ";
            if (slot == static_cast<int>(index))
                break;
        }
    }

    // The PC writes its read position and the unread counter, nothing else.
    void CheckStation() {
        const EepromImage& eeprom = station.eeprom().bytes();
        const EepromImage& shadow = model.Shadow();
        for (std::size_t a = 0; a < eeprom.size(); ++a) {
            const bool pcArea = (a >= EE_EEPROM_UNREAD_GL && a < EE_EEPROM_UNREAD_GL + 2u) ||
                                (a >= EE_PC_BEGIN && a < EE_PC_BEGIN + EE_PC_SIZE);
            if (!pcArea && eeprom[a] != shadow[a]) {
                ++figures.stationChanged;
                violation << "station EEPROM changed at address " << a << "; ";
                return;
            }
        }
    }

    // The recording store in memory holds what the file holds (record by record in a full check).
    void CheckStore(std::size_t records, bool full) {
        if (!full) {
            if (recording.WithDatasets([](const std::vector<CDataset>& d) { return d.size(); }) != records)
                violation << "the recording store holds another number of datasets than the file; ";
            return;
        }
        const std::string bytes = ReadWholeFile(historyFile);
        std::vector<CDataset> fromFile;
        for (std::size_t r = 0; r < bytes.size() / HistoryRecordSize; ++r)
            DecodeHistoryRecord(reinterpret_cast<const std::uint8_t*>(bytes.data()) + r * HistoryRecordSize,
                                fromFile.emplace_back());
        std::stable_sort(fromFile.begin(), fromFile.end(), HistoryOrder);
        const bool same = recording.WithDatasets([&](const std::vector<CDataset>& stored) {
            if (stored.size() != fromFile.size())
                return false;
            std::uint8_t a[HistoryRecordSize], b[HistoryRecordSize];
            for (std::size_t i = 0; i < stored.size(); ++i) {
                EncodeHistoryRecord(stored[i], a);
                EncodeHistoryRecord(fromFile[i], b);
                if (std::memcmp(a, b, HistoryRecordSize) != 0)
                    return false;
            }
            return true;
        });
        if (!same)
            violation << "the recording store differs from the file; ";
    }
};

} // namespace

TEST_P(Soak, ImportsUnderFaultsLoseAndDoubleNothing) {
    const long imports = EnvNumber("NIVARO_SOAK_IMPORTS", 1000);
    if (EnvNumber("NIVARO_SOAK_SEED", 0) != 0 && GetParam() != FirstSeed)
        GTEST_SKIP() << "NIVARO_SOAK_SEED names the one seed to run";
    const auto seed = static_cast<std::uint32_t>(EnvNumber("NIVARO_SOAK_SEED", GetParam()));
    const int transmitters = static_cast<int>(EnvNumber("NIVARO_SOAK_TRANSMITTERS", 5));
    const bool verbose = EnvNumber("NIVARO_SOAK_VERBOSE", 0) != 0;

    TempDir dir;
    const std::filesystem::path historyFile = dir / "history.nvh";
    StationModel model(transmitters, seed);
    const int slots = model.Layout().DatasetCount();
    auto station = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    station->eeprom().bytes() = model.Cleared();
    // NIVARO_SOAK_PORT: the simulator's settings ("?adapter=pl2303&status-lag=8ms"), the seed's
    // choices unless it names its own; NIVARO_SOAK_BUSY_BASE=1: a base unit that keeps off the bus
    // 50 ms to 2 s after the PC and writes its recordings byte by byte.
    if (const char* setting = std::getenv("NIVARO_SOAK_PORT")) {
        SimulatorTarget target =
            ParseSimulatorTarget(std::string("?seed=") + std::to_string(seed) + "&" + setting);
        station->SetAdapter(target.adapter);
        station->SetSeed(target.seed);
    }
    if (EnvNumber("NIVARO_SOAK_BUSY_BASE", 0) != 0) {
        station->baseUnit().SetQuietAfterPc(50 * Ms, 2000 * Ms);
        station->baseUnit().SetOwnBytePace(1 * Ms);
    }
    auto port = std::make_shared<FaultPort>(station);
    const auto now = [&] { return station->now(); };
    // The base unit also records while an import runs (when it finds the bus quiet).
    std::size_t duringImports = 0;
    station->baseUnit().SetRecording(
        20'000 * Ms,
        [&](std::span<std::uint8_t> eeprom, std::chrono::system_clock::time_point) {
            model.Record(eeprom);
            ++duringImports;
        },
        now());

    CHWManager manager(port);
    ASSERT_TRUE(manager.Start("sim"));
    auto finished = std::make_shared<FinishedCount>();
    Random random{seed};
    Figures figures;
    ImportCheck check{model, *station, historyFile, recording, figures, {}, {}, {}};
    std::uint64_t cleanLineChanges = 0;
    std::uint64_t bytesRead = 0, routineImports = 0; // routine: less than the whole ring buffer read
    Fault previousFault = None;

    for (long i = 0; i < imports; ++i) {
        // The station records while nobody looks: mostly a few datasets, sometimes enough to wrap
        // the ring, never so many that it overwrites what no import has taken yet.
        std::size_t unread = 0;
        for (const int slot : model.SlotsOldestFirst()) {
            const auto k = static_cast<std::size_t>(model.HolderOf(slot));
            unread += (k >= check.inFile.size() || !check.inFile[k]) ? 1 : 0;
        }
        const int choice = static_cast<int>(random.Below(100));
        std::int64_t gap = choice < 60   ? random.Between(0, 40)
                           : choice < 85 ? random.Between(41, 300)
                                         : random.Between(301, slots - 200);
        gap = std::min<std::int64_t>(gap, slots - 16 - static_cast<std::int64_t>(unread));
        const int wrapsBefore = model.Wraps();
        for (std::int64_t g = 0; g < gap; ++g)
            model.Record(station->eeprom().bytes(), random.Percent(1));
        figures.gapsWrapping += model.Wraps() != wrapsBefore ? 1 : 0;

        const Fault fault =
            (i == 0 || !random.Percent(40)) ? None : static_cast<Fault>(1 + random.Below(FaultKinds - 1));
        const std::size_t recordedBefore = model.Count();
        auto request = std::make_shared<CHWRequestReadRingBuffer>(
            finished, std::make_shared<HistoryImportSink>(recording, historyFile));
        const std::uint64_t strikeAt = random.Below(cleanLineChanges + 1);
        SimulatedSerialPort& sim = *station;
        ReadPositionBytes keptRecord{};
        int writesToLose = 0;
        switch (fault) {
        case None:
            break;
        case Silent:
            port->ArmAt(strikeAt, [&] { sim.baseUnit().SetSilent(sim.now()); });
            break;
        case NoAcknowledge:
            port->ArmAt(strikeAt, [&] { sim.eeprom().SetAcknowledging(false); });
            break;
        case FlippedBit: {
            // Mostly in the ring buffer, sometimes in the flags or the read position.
            const auto address =
                random.Percent(80)
                    ? static_cast<std::uint16_t>(EE_START_OF_RINGBUFFER + random.Below(EE_RINGBUFFER_SIZE))
                    : static_cast<std::uint16_t>(random.Percent(50) ? EE_EEPROM_FLAGS_1 + random.Below(2)
                                                                    : EE_PC_BEGIN + random.Below(EE_PC_SIZE));
            sim.eeprom().FlipBitOnRead(address, static_cast<std::uint8_t>(1u << random.Below(8)), 1);
            break;
        }
        case SclDriven: {
            const BaseUnit::Nanos length = random.Between(1, 400) * Ms;
            port->ArmAt(strikeAt, [&, length] {
                sim.baseUnit().DriveSclLow(sim.now(), sim.now() + length, sim.now());
            });
            break;
        }
        case WriteBackFails: {
            // The EEPROM loses the first writes of the read position (one to many, so the
            // driver's retries sometimes win); the rest of the station stays as it is.
            writesToLose = static_cast<int>(random.Between(1, 12));
            std::copy_n(sim.eeprom().bytes().begin() + EE_PC_BEGIN, EE_PC_SIZE, keptRecord.begin());
            port->OnPageWrite([&] {
                auto pc = sim.eeprom().bytes().begin() + EE_PC_BEGIN;
                if (std::equal(keptRecord.begin(), keptRecord.end(), pc))
                    return;
                if (writesToLose > 0) {
                    --writesToLose;
                    std::copy(keptRecord.begin(), keptRecord.end(), pc);
                } else {
                    std::copy_n(pc, EE_PC_SIZE, keptRecord.begin());
                }
            });
            break;
        }
        case Aborted:
            port->ArmAt(strikeAt, [request] { request->Abort(); });
            break;
        case Unplugged:
            port->ArmAt(strikeAt, [&] { sim.SetVanished(true); });
            break;
        case FaultKinds:
            break;
        }
        ++figures.faults[fault];

        const std::uint64_t changesBefore = station->LineChanges();
        ASSERT_TRUE(manager.AddRequest(request)) << "import " << i;
        ASSERT_TRUE(finished->WaitFor(static_cast<int>(i) + 1))
            << "import " << i << " hangs (seed " << seed << ")";
        const auto taken = manager.TakeRequest();
        ASSERT_EQ(taken, request);

        // The fault ends with the import.
        port->Disarm();
        station->SetVanished(false);
        station->eeprom().SetAcknowledging(true);
        station->baseUnit().SetPattern({{true, 150 * Ms}, {false, 850 * Ms}}, true, now());
        station->baseUnit().DriveSclLow(BaseUnit::Infinite, BaseUnit::Infinite, now());
        station->eeprom().ClearFlips();

        if (verbose)
            std::printf("import %ld: %lld recorded before it, fault %s at line change %llu, %s %s\n", i,
                        static_cast<long long>(gap), FaultNames[fault],
                        static_cast<unsigned long long>(strikeAt),
                        taken->Succeeded() ? "succeeded" : "failed", taken->Message().c_str());
        ++figures.imports;
        bytesRead += request->Summary().bytesRead;
        routineImports += request->Summary().bytesRead < EE_RINGBUFFER_SIZE ? 1 : 0;
        figures.succeeded += taken->Succeeded() ? 1 : 0;
        if (!taken->Succeeded())
            ++figures.failedWith[fault];
        if (fault == None) {
            cleanLineChanges = station->LineChanges() - changesBefore;
            // The end-marker rules judge the marker after an invalid dataset invalid, so while
            // the station's newest dataset is invalid there is no end marker to be found: the
            // import fails and takes nothing until the station records again.
            const bool newestInvalid = !model.At(model.Count() - 1).valid;
            if (!taken->Succeeded() && newestInvalid && request->Summary().newestDatasetInvalid)
                ++figures.blockedByInvalidNewest;
            // The port of an unplugged adapter comes back with the next import but one. Any other
            // fault ends with its import: the bus is cleared before the next one's transfers.
            else if (!taken->Succeeded() && previousFault == Unplugged)
                ++figures.failedAfterFault[previousFault];
            else if (!taken->Succeeded()) {
                ++figures.failedAfterFault[previousFault];
                ADD_FAILURE() << "import " << i << " without a fault failed (seed " << seed
                              << ", fault before: " << FaultNames[previousFault] << "): " << taken->Message();
                break;
            }
        }
        previousFault = taken->Succeeded() ? None : fault;
        check.Run(taken->Succeeded(), recordedBefore, i % FullCheckEvery == 0 || i + 1 == imports);
        if ((i + 1) % 250 == 0 && i + 1 < imports)
            PrintFigures(seed, transmitters, figures, station->now(), "partial");
        ASSERT_TRUE(check.violation.str().empty())
            << "seed " << seed << ", import " << i << " (fault: " << FaultNames[fault] << ", request "
            << (taken->Succeeded() ? "succeeded" : "failed: " + taken->Message())
            << "): " << check.violation.str();
    }
    manager.Stop();

    for (std::size_t k = 0; k < model.Count(); ++k)
        figures.invalid += model.At(k).valid ? 0 : 1;
    figures.recorded = model.Count();
    figures.recordedDuringImports = duringImports;
    figures.wraps = model.Wraps();

    std::printf("Soak (seed %u, %d transmitters, %d slots): %d imports, %d succeeded, %.1f h virtual time\n",
                seed, transmitters, slots, figures.imports, figures.succeeded,
                static_cast<double>(station->now()) / 3.6e12);
    for (int f = 0; f < FaultKinds; ++f)
        std::printf("  fault %-22s %4d imports, %4d failed, %3d failed imports without a fault right after\n",
                    FaultNames[f], figures.faults[f], figures.failedWith[f], figures.failedAfterFault[f]);
    std::printf(
        "  datasets recorded %zu (%zu invalid, %zu during imports), ring wrapped %d times (%d times between "
        "two imports)\n",
        figures.recorded, figures.invalid, figures.recordedDuringImports, figures.wraps,
        figures.gapsWrapping);
    std::printf(
        "  appended %zu, lost %d, doubled %d, foreign %d, skipped by the read position %d, left behind %d\n",
        figures.appended, figures.lost, figures.doubled, figures.foreign, figures.skipped,
        figures.leftBehind);
    std::printf("  imports without a fault that found no end marker behind an invalid newest dataset: %d\n",
                figures.blockedByInvalidNewest);
    std::printf("  imports that read only what was new %llu, bytes read %.1f %% of whole reads\n",
                static_cast<unsigned long long>(routineImports),
                100.0 * static_cast<double>(bytesRead) / (figures.imports * (EE_RINGBUFFER_SIZE + 18.0)));
    PrintFigures(seed, transmitters, figures, station->now(), "final");
    EXPECT_EQ(figures.lost, 0);
    EXPECT_EQ(figures.doubled, 0);
}

// Two recordings of the station's life; NIVARO_SOAK_SEED runs one of its own instead.
INSTANTIATE_TEST_SUITE_P(Seeds, Soak, ::testing::Values(FirstSeed, 19991231u));

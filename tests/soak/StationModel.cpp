#include "StationModel.h"

#include "station/DatasetEncoder.h"
#include "station/Hardware.h"

#include <algorithm>
#include <bit>

using namespace Hardware;

namespace {

constexpr int IntervalMinutes = 5;

CDateTime MeasurementTime(std::size_t k) {
    // Whole minutes from a fixed start, as the station's clock gives them.
    const CDateTime start(2005, 1, 17, 14, 35, 0);
    CDateTime::Fields f;
    CDateTime(start.Value() + static_cast<double>(k) * IntervalMinutes / 1440.0).GetFields(f);
    return CDateTime(f.year, f.month, f.day, f.hour, f.minute, 0);
}

} // namespace

StationModel::StationModel(int transmitters, std::uint32_t seed)
    : m_layout(RingBuffer::GetConfig(transmitters)), m_seed(seed),
      m_holder(static_cast<std::size_t>(m_layout->DatasetCount()), -1) {
    m_shadow = Cleared();
}

EepromImage StationModel::Cleared() const {
    EepromImage image;
    image.fill(0xFF);
    image[EE_EEPROM_UNREAD_GL] = 0;
    image[EE_EEPROM_UNREAD_GL + 1] = 0;
    image[EE_EEPROM_FLAGS_1] = 0;
    image[EE_NUMBER_OF_TRANSMITTERS] = static_cast<std::uint8_t>(m_layout->NrOfTransmitters());
    return image;
}

void StationModel::Record(std::span<std::uint8_t> eeprom, bool invalid) {
    std::lock_guard lock(m_lock);
    const auto k = m_recordings.size();
    const unsigned size = m_layout->DatasetSize();
    const int slots = m_layout->DatasetCount();

    CDataset dataset = MakeMeasurement(MeasurementTime(k), m_layout->NrOfTransmitters(), m_seed);
    if (invalid) {
        CDateTime broken;
        broken.SetStatus(CDateTime::invalid);
        dataset.SetDateTime(broken);
    }
    std::uint8_t* slot = eeprom.data() + m_layout->SlotAddress(m_marker);
    EncodeStationDataset(dataset, *m_layout, {slot, size});
    Recording recording;
    recording.expected.DecodeStation(slot, *m_layout);
    recording.valid = recording.expected.GetDateTime().GetStatus() == CDateTime::valid;
    EncodeHistoryRecord(recording.expected, recording.record.data());

    const int next = (m_marker + 1) % slots;
    if (const int old = m_holder[static_cast<std::size_t>(next)]; old >= 0)
        m_recordings[static_cast<std::size_t>(old)].gone = true;
    m_holder[static_cast<std::size_t>(next)] = -1;
    std::uint8_t* marker = eeprom.data() + m_layout->SlotAddress(next);
    std::fill_n(marker, size, std::uint8_t{0xFF});
    if (next == 0) {
        eeprom[EE_EEPROM_FLAGS_1] |= EE_FLAG_RINGBUFFER_FULL;
        ++m_wraps;
    }
    const unsigned unread = eeprom[EE_EEPROM_UNREAD_GL] | eeprom[EE_EEPROM_UNREAD_GL + 1] << 8;
    const unsigned counted = std::min(unread + 1, static_cast<unsigned>(slots - 1));
    eeprom[EE_EEPROM_UNREAD_GL] = static_cast<std::uint8_t>(counted & 0xFF);
    eeprom[EE_EEPROM_UNREAD_GL + 1] = static_cast<std::uint8_t>(counted >> 8);

    std::copy_n(slot, size, m_shadow.data() + m_layout->SlotAddress(m_marker));
    std::copy_n(marker, size, m_shadow.data() + m_layout->SlotAddress(next));
    m_shadow[EE_EEPROM_FLAGS_1] = eeprom[EE_EEPROM_FLAGS_1];

    m_holder[static_cast<std::size_t>(m_marker)] = static_cast<int>(k);
    if (recording.valid)
        m_byDate.emplace(std::bit_cast<std::uint64_t>(recording.expected.GetDateTime().Value()),
                         static_cast<int>(k));
    m_recordings.push_back(std::move(recording));
    m_marker = next;
}

std::size_t StationModel::Count() const {
    std::lock_guard lock(m_lock);
    return m_recordings.size();
}

int StationModel::FindByDate(double date) const {
    std::lock_guard lock(m_lock);
    const auto it = m_byDate.find(std::bit_cast<std::uint64_t>(date));
    return it == m_byDate.end() ? -1 : it->second;
}

std::vector<int> StationModel::SlotsOldestFirst() const {
    std::lock_guard lock(m_lock);
    const int slots = m_layout->DatasetCount();
    std::vector<int> order;
    for (int i = 1; i <= slots; ++i) {
        const int slot = (m_marker + i) % slots;
        if (m_holder[static_cast<std::size_t>(slot)] >= 0)
            order.push_back(slot);
    }
    return order;
}

#include "history/HistoryData.h"

#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "history/TextExport.h"
#include "log/Logger.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

class Stopwatch {
public:
    long Milliseconds() const {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - _start)
                .count());
    }

private:
    std::chrono::steady_clock::time_point _start = std::chrono::steady_clock::now();
};

} // namespace

std::size_t CHistoryData::Size() const {
    CriticalSectionLock lock(m_lock);
    return m_datasets.size();
}

void CHistoryData::Clear() {
    CriticalSectionLock lock(m_lock);
    m_datasets.clear();
}

CDataset CHistoryData::At(std::size_t index) const {
    CriticalSectionLock lock(m_lock);
    return m_datasets.at(index);
}

bool CHistoryData::Replace(std::size_t index, const CDataset& dataset) {
    CriticalSectionLock lock(m_lock);
    if (index < m_datasets.size() && m_datasets[index] == dataset) {
        m_datasets[index] = dataset;
        return true;
    }
    // Datasets arrived meanwhile and moved it: find it by its date-time.
    const auto found = std::find(m_datasets.begin(), m_datasets.end(), dataset);
    if (found == m_datasets.end())
        return false;
    *found = dataset;
    return true;
}

void CHistoryData::EmitChanged() const {
    Changed(*this);
}

void CHistoryData::SortAppended(std::size_t firstAppended) {
    const auto middle = m_datasets.begin() + static_cast<std::ptrdiff_t>(firstAppended);
    if (std::is_sorted(m_datasets.begin(), m_datasets.end(), HistoryOrder))
        return;
    std::sort(middle, m_datasets.end(), HistoryOrder);
    std::inplace_merge(m_datasets.begin(), middle, m_datasets.end(), HistoryOrder);
}

void CHistoryData::ReadFrom(std::istream& stream) {
    CriticalSectionLock lock(m_lock);
    const std::size_t before = m_datasets.size();
    ReadHistoryRecords(stream, m_datasets);
    SortAppended(before);
}

bool CHistoryData::WriteTo(std::ostream& stream) const {
    CriticalSectionLock lock(m_lock);
    const Stopwatch watch;
    CLogger::Instance().Log(30, "Write history file start");
    const bool ok = WriteHistoryRecords(stream, m_datasets);
    CLogger::Instance().Log(30, "Write history file finished %ld dp, %ld ms",
                            static_cast<long>(m_datasets.size()), watch.Milliseconds());
    return ok;
}

bool CHistoryData::AppendTo(std::ostream& stream, const std::vector<CDataset>& datasets) const {
    CriticalSectionLock lock(m_lock);
    const Stopwatch watch;
    const bool ok = WriteHistoryRecords(stream, datasets);
    CLogger::Instance().Log(30, "Append history file finished %ld dp, %ld ms",
                            static_cast<long>(datasets.size()), watch.Milliseconds());
    return ok;
}

bool CHistoryData::WriteFile(const Path& path) const {
    CriticalSectionLock lock(m_lock);
    return WriteHistoryFileReplacing(path, [this](std::ostream& out) { return WriteTo(out); });
}

bool CHistoryData::AppendFile(const Path& path, const std::vector<CDataset>& datasets) const {
    CriticalSectionLock lock(m_lock);
    return AppendHistoryFile(path, [&](std::ostream& out) { return AppendTo(out, datasets); });
}

bool CHistoryData::Read(const Path& path) {
    const Stopwatch watch;
    CLogger::Instance().Log(30, "Read history file start");
    CriticalSectionLock lock(m_lock);
    m_datasets.clear();
    bool ok = false;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!ec && fs::exists(status) && !fs::is_directory(status)) {
        const auto size = fs::file_size(path, ec);
        if (!ec)
            m_datasets.reserve(static_cast<std::size_t>(size / HistoryRecordSize));
        std::ifstream in(path, std::ios::binary);
        if (in) {
            ReadFrom(in);
            ok = true;
        }
    }
    CLogger::Instance().Log(30, "Read history file finished %ld dp, %ld ms",
                            static_cast<long>(m_datasets.size()), watch.Milliseconds());
    EmitChanged();
    return ok;
}

bool CHistoryData::Update(const Path& path, const CDataset& dataset) {
    const Stopwatch watch;
    CLogger::Instance().Log(30, "Update history file start");
    CriticalSectionLock lock(m_lock);
    std::error_code ec;
    if (!fs::exists(path, ec))
        return false; // never create a file here
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file)
        return false;
    if (!ReplaceHistoryRecord(file, dataset))
        return false;
    file.clear(); // a search that ran to the end of the file left the stream failed
    file.close();
    if (file.fail())
        return false;
    CLogger::Instance().Log(30, "Update history file finished %ld ms", watch.Milliseconds());
    EmitChanged();
    return true;
}

bool CHistoryData::Update(const Path& path, std::size_t index, const CDataset& dataset) {
    CriticalSectionLock lock(m_lock);
    Replace(index, dataset);
    return Update(path, dataset);
}

bool CHistoryData::Append(const Path& path, const std::vector<CDataset>& datasets) {
    CriticalSectionLock lock(m_lock);
    // Only what reached the file is kept: a caller that finds the write failed can offer the
    // same datasets again without doubling them in memory.
    const bool ok = AppendFile(path, datasets);
    if (ok) {
        const std::size_t before = m_datasets.size();
        m_datasets.insert(m_datasets.end(), datasets.begin(), datasets.end());
        SortAppended(before);
    }
    EmitChanged();
    return ok;
}

bool CHistoryData::Delete(const Path& path, const std::vector<std::size_t>& indices) {
    CriticalSectionLock lock(m_lock);
    // Erase in one pass; indices may come in any order and twice, any past the end are ignored.
    std::vector<bool> erase(m_datasets.size(), false);
    for (std::size_t index : indices)
        if (index < erase.size())
            erase[index] = true;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_datasets.size(); ++i)
        if (!erase[i])
            m_datasets[kept++] = m_datasets[i];
    m_datasets.resize(kept);
    const bool ok = WriteFile(path);
    EmitChanged();
    return ok;
}

bool CHistoryData::Export(const Path& path, const ColumnFormat& format) const {
    CriticalSectionLock lock(m_lock);
    return WriteTextExport(path, m_datasets, format);
}

void CHistoryData::RemoveKnown(std::vector<CDataset>& datasets) const {
    CriticalSectionLock lock(m_lock);
    // The store is sorted, so a binary search finds the run of a date-time.
    const auto known = [this](const CDataset& dataset) {
        const auto [first, last] =
            std::equal_range(m_datasets.begin(), m_datasets.end(), dataset, HistoryOrder);
        return std::find(first, last, dataset) != last;
    };
    datasets.erase(std::remove_if(datasets.begin(), datasets.end(), known), datasets.end());
}

std::string CDisplayedHistory::FileName() const {
    CriticalSectionLock lock(m_lock);
    return m_fileName;
}

void CDisplayedHistory::SetFileName(const std::string& fileName) {
    CriticalSectionLock lock(m_lock);
    m_fileName = fileName;
    m_fileOpened = true;
    DecideShown();
}

CDisplayedHistory::Path CDisplayedHistory::RecordingFile() const {
    CriticalSectionLock lock(m_lock);
    return m_recordingFile;
}

void CDisplayedHistory::SetRecordingFile(const Path& recordingFile) {
    CriticalSectionLock lock(m_lock);
    m_recordingFile = recordingFile;
    if (!m_fileOpened)
        m_fileName = recordingFile.native();
    DecideShown();
}

bool CDisplayedHistory::ShowsRecordingFile() const {
    CriticalSectionLock lock(m_lock);
    return m_showsRecordingFile;
}

void CDisplayedHistory::DecideShown() {
    m_showsRecordingFile = IsSameHistoryFile(m_fileName, m_recordingFile);
}

CHistoryData& RecordingHistory() {
    static CHistoryData recording;
    return recording;
}

CDisplayedHistory& DisplayedHistory() {
    static CDisplayedHistory displayed;
    return displayed;
}

bool IsSameHistoryFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        if (!ec)
            return same;
    }
    const fs::path na = fs::absolute(a, ec).lexically_normal();
    const fs::path nb = fs::absolute(b, ec).lexically_normal();
    return na == nb;
}

std::string HistoryTitle(const fs::path& path, std::size_t count) {
    return path.filename().string() + " (" + std::to_string(count) + ")";
}

bool ReadRecording(const fs::path& file) {
    DisplayedHistory().SetRecordingFile(file);
    return RecordingHistory().Read(file);
}

bool IsRecordingFileDisplayed() {
    return DisplayedHistory().ShowsRecordingFile();
}

namespace {

CHistoryData& DisplayedStore() {
    return IsRecordingFileDisplayed() ? RecordingHistory() : static_cast<CHistoryData&>(DisplayedHistory());
}

} // namespace

std::size_t DisplayedCount() {
    return DisplayedStore().Size();
}

CDataset DisplayedAt(std::size_t index) {
    return DisplayedStore().At(index);
}

bool OpenDisplayed(const std::string& path) {
    DisplayedHistory().SetFileName(path);
    if (!IsRecordingFileDisplayed())
        return DisplayedHistory().Read(path);
    DisplayedHistory().Clear();
    const bool ok = RecordingHistory().Read(path);
    DisplayedHistory().Changed(DisplayedHistory());
    return ok;
}

bool UpdateDisplayed(const CDataset& dataset) {
    const std::string file = DisplayedHistory().FileName();
    if (!IsRecordingFileDisplayed())
        return DisplayedHistory().Update(file, dataset);
    const bool ok = RecordingHistory().Update(file, dataset);
    DisplayedHistory().Changed(DisplayedHistory());
    return ok;
}

bool UpdateDisplayed(std::size_t index, const CDataset& dataset) {
    const std::string file = DisplayedHistory().FileName();
    if (!IsRecordingFileDisplayed())
        return DisplayedHistory().Update(file, index, dataset);
    const bool ok = RecordingHistory().Update(file, index, dataset);
    DisplayedHistory().Changed(DisplayedHistory());
    return ok;
}

bool DeleteDisplayed(const std::vector<std::size_t>& indices) {
    return DisplayedStore().Delete(DisplayedHistory().FileName(), indices);
}

bool ExportDisplayed(const std::string& path, const ColumnFormat& format) {
    return DisplayedStore().Export(path, format);
}

std::string DisplayedTitle() {
    if (IsRecordingFileDisplayed())
        return RecordingTitle();
    return HistoryTitle(DisplayedHistory().FileName(), DisplayedCount());
}

std::string RecordingTitle() {
    return HistoryTitle(DisplayedHistory().RecordingFile(), RecordingHistory().Size());
}

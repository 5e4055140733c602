#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::demo {

// One answer of the download host that carried a body, as the control address reports it.
struct DownloadRecord {
    enum class State { sending, stalled, complete, cut };

    int id = 0;
    std::string key;    // the release file's key
    int status = 0;     // 200 or 206
    std::string range;  // the Content-Range sent; empty for a whole file
    std::string fault;  // the fault it was served with; "none" for a proper answer
    int64_t length = 0; // the body length the answer announced
    int64_t sent = 0;   // body bytes written to the connection so far
    State state = State::sending;
};

std::string nameOf(DownloadRecord::State state);

// Counts the body bytes each download answer actually wrote, so that a test can prove that a
// resumed download fetched only the rest. Keeps the latest `kept` answers; safe to use from
// several threads.
class DownloadMeter {
public:
    static constexpr size_t kept = 256;

    // Records a new answer and returns its id (counting from 1).
    int open(DownloadRecord record);
    void addSent(int id, int64_t bytes);
    void setState(int id, DownloadRecord::State state);

    std::optional<DownloadRecord> find(int id) const;
    // The kept answers, oldest first; only those of one file when `key` is given.
    std::vector<DownloadRecord> list(const std::optional<std::string>& key) const;

private:
    DownloadRecord* entry(int id); // the caller holds lock_

    mutable std::mutex lock_;
    std::deque<DownloadRecord> records_; // guarded by lock_
    int nextId_ = 1;                     // guarded by lock_
};

} // namespace ostrel::demo

#pragma once
// A driver library that records every call and answers from a script, so that
// the frames the program sends can be checked byte for byte. Built as a real
// shared object named RDUPSLT.DLL; a test reaches the same instance through
// the exported RecordingDriverInstance().
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct RecordedCall {
    std::uint32_t code = 0;
    std::vector<std::uint8_t> request;  // requestLength bytes of the request buffer
    std::uint32_t replyLength = 0;
    bool returnedWasZeroed = false;
    bool overlappedWasNull = false;
    std::uint8_t Opcode() const { return request.empty() ? 0 : request[0]; }
};

struct RecordedOpen {
    std::string name;
    std::uint32_t access = 0, share = 0, disposition = 0, flags = 0;
    bool securityWasNull = false, templateWasNull = false;
};

struct RecordingDriver {
    std::mutex mutex;
    std::vector<RecordedOpen> opens;
    std::vector<RecordedCall> calls;
    int closeCount = 0;
    int openResult = 1;
    int closeResult = 1;

    // Reply bytes by opcode (zero-padded to the reply length).
    std::map<std::uint8_t, std::vector<std::uint8_t>> replies;
    // Opcode -> how many of its next calls fail (-1: all of them).
    std::map<std::uint8_t, int> failures;
    // Opcode -> the outcomes of its next calls in order (false: fails); used
    // before `failures`, one entry per call.
    std::map<std::uint8_t, std::vector<bool>> outcomes;
    // WaitDone answers: `busyPolls` busy replies (alternating 1 and 2), then `doneByte`.
    int busyPolls = 0;
    std::uint8_t doneByte = 0;
    // What a successful call returns (the block calls pass it on).
    int successResult = 1;
    // A call with this opcode never returns until ReleaseHang (-1: none hangs).
    int hangOpcode = -1;
    bool hanging = false;  // a call is held now
    std::condition_variable hangChanged;

    // Job data taken by Write, in order (kept only while `keepJobData`), and its count.
    std::string jobData;
    bool keepJobData = true;
    std::uint64_t jobBytes = 0;
    int writeResult = 1;
    // Bytes one Write takes at most (0: the machine's memory is full).
    std::size_t writeLimit = std::numeric_limits<std::size_t>::max();
    // Called with what each Write took, outside the lock.
    std::function<void(const std::string&)> onWrite;
    std::string JobData() {
        std::lock_guard lock(mutex);
        return jobData;
    }

    void ReleaseHang() {
        std::lock_guard lock(mutex);
        hangOpcode = -1;
        hangChanged.notify_all();
    }
    bool Hanging() {
        std::lock_guard lock(mutex);
        return hanging;
    }

    void Reset() {
        opens.clear();
        calls.clear();
        closeCount = 0;
        openResult = closeResult = successResult = 1;
        replies.clear();
        failures.clear();
        outcomes.clear();
        busyPolls = 0;
        doneByte = 0;
        hangOpcode = -1;
        jobData.clear();
        keepJobData = true;
        jobBytes = 0;
        writeResult = 1;
        writeLimit = std::numeric_limits<std::size_t>::max();
        onWrite = nullptr;
    }
    std::vector<RecordedCall> Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }
};

extern "C" RecordingDriver* RecordingDriverInstance();

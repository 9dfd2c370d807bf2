#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "SerialEngine.h"

// A scripted engine for driving exact byte sequences and line states into the receive cycle.
// Tests push bytes, set modem bits and read back what the program asked of the port.
class FakeEngine : public tessavue::SerialEngine {
public:
    // What the test scripts
    std::deque<uint8_t> pending;
    uint8_t modemStatus = 0;
    bool openSucceeds = true;
    int16_t openError = 0; // what a failed open returns (an errno, or 0 for no reason given)
    int32_t logStartResult = -1;
    // Set to report the end of the log at the next fetch (0 = size limit, >0 = errno).
    int16_t nextLogStatus = kLogContinues;
    std::vector<uint8_t> recent; // the copy of recent data, oldest first
    uint64_t dropped = 0;
    bool deviceGone = false; // the port is lost once the pending bytes are fetched
    // How much SendData queues before it takes less: a far end that stops reading.
    size_t sendCapacity = kSendQueueBytes;

    // What the program did
    std::vector<std::string> openedPorts;
    std::vector<std::string> lineParams;
    std::vector<int16_t> lineCodes;
    std::vector<uint8_t> logged;
    std::string logPath;
    int32_t logMaxBytes = 0;
    bool portOpen = false;
    bool logOpen = false;
    int closeCalls = 0;
    int resetCalls = 0;
    int logStopCalls = 0;
    int lastClearCalls = 0;
    int reopenCalls = 0;
    std::vector<uint8_t> sendQueue; // taken by SendData, not yet on the line
    std::vector<uint8_t> sentToLine;

    int16_t OpenCommPort(const std::string& portName) override {
        openedPorts.push_back(portName);
        portOpen = openSucceeds;
        return openSucceeds ? -1 : openError;
    }
    void SetCommPortParam(const std::string& params) override { lineParams.push_back(params); }
    void ResetStatus() override { ++resetCalls; }
    void CloseCommPort() override {
        ++closeCalls;
        portOpen = false;
    }
    void RcvDataFirst(int32_t& count, int32_t&, int16_t logOn, int16_t& logSt, int32_t&) override {
        m_batch.clear();
        while (!pending.empty() && m_batch.size() < static_cast<size_t>(kMaxBytesPerFetch)) {
            m_batch.push_back(pending.front());
            pending.pop_front();
        }
        count = static_cast<int32_t>(m_batch.size());
        recent.insert(recent.end(), m_batch.begin(), m_batch.end());
        if (recent.size() > static_cast<size_t>(kRecentCopyBytes))
            recent.erase(recent.begin(), recent.end() - kRecentCopyBytes);
        if (logOn == 1 && logOpen) logged.insert(logged.end(), m_batch.begin(), m_batch.end());
        logSt = nextLogStatus;
        if (nextLogStatus != kLogContinues) logOpen = false;
        nextLogStatus = kLogContinues;
    }
    void RcvDataNext(uint8_t& value, int16_t index) override {
        value = index >= 0 && static_cast<size_t>(index) < m_batch.size() ? m_batch[index] : 0;
    }
    void ReadModemStatus(uint8_t& status) override { status = portOpen ? modemStatus : 0; }
    void SetLineSt(int16_t code) override { lineCodes.push_back(code); }
    int32_t LogStart(const std::string& path, int32_t, int32_t maxBytes) override {
        logPath = path;
        logMaxBytes = maxBytes;
        logOpen = logStartResult == -1;
        return logStartResult;
    }
    void LogStop() override {
        ++logStopCalls;
        logOpen = false;
    }
    void MoveLastFirst(int32_t& count) override { count = static_cast<int32_t>(recent.size()); }
    void MoveLastData(uint8_t& value, int32_t index) override {
        value = index >= 0 && static_cast<size_t>(index) < recent.size() ? recent[index] : 0;
    }
    void LastClear() override {
        ++lastClearCalls;
        recent.clear();
    }
    uint64_t droppedBytes() const override { return dropped; }
    bool portLost() const override { return portOpen && deviceGone && pending.empty(); }
    int16_t reopenCommPort() override {
        ++reopenCalls;
        portOpen = openSucceeds && !deviceGone;
        return portOpen ? -1 : 2; // ENOENT, as for a device not back yet
    }

    size_t SendData(const uint8_t* data, size_t size) override {
        const size_t taken =
            std::min(size, sendCapacity - std::min(sendCapacity, sendQueue.size()));
        sendQueue.insert(sendQueue.end(), data, data + taken);
        return taken;
    }
    size_t sendQueued() const override { return sendQueue.size(); }
    uint64_t sentBytes() const override { return sentToLine.size(); }
    // The line takes everything queued.
    void drainSendQueue() {
        sentToLine.insert(sentToLine.end(), sendQueue.begin(), sendQueue.end());
        sendQueue.clear();
    }

    void push(std::initializer_list<uint8_t> bytes) { pending.insert(pending.end(), bytes); }

private:
    std::vector<uint8_t> m_batch;
};

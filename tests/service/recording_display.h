#pragma once
// A display that records what the command thread shows, for tests.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "service/display.h"

class RecordingDisplay : public IDisplay {
public:
    void SetText(Window window, int controlId, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_texts[{window, controlId}] = text;
        m_history.push_back({{window, controlId}, text});
    }
    void EnableControls(std::initializer_list<int> controlIds, bool enable) override {
        std::lock_guard lock(m_mutex);
        for (int id : controlIds) m_enabled[id] = enable;
    }
    bool IsEnabled(int controlId) const override {
        std::lock_guard lock(m_mutex);
        auto it = m_enabled.find(controlId);
        return it == m_enabled.end() || it->second;
    }
    void SetProgress(int percent) override { progress = percent; }
    void EndMainWindow(int result) override {
        std::lock_guard lock(m_mutex);
        m_endResults.push_back(result);
    }
    void SetYCenter(int counts) override { yCenter = counts; }
    bool ShowSensorPauses(const std::atomic<bool>& stop) override {
        ++pausesShown;
        return answerPauses && !stop.load();
    }

    std::string Text(Window window, int id) const {
        std::lock_guard lock(m_mutex);
        auto it = m_texts.find({window, id});
        return it == m_texts.end() ? std::string("<unset>") : it->second;
    }
    // Every text a control was given, in order.
    std::vector<std::string> History(Window window, int id) const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> texts;
        for (const auto& [key, text] : m_history)
            if (key == std::make_pair(window, id)) texts.push_back(text);
        return texts;
    }
    std::vector<int> EndResults() const {
        std::lock_guard lock(m_mutex);
        return m_endResults;
    }
    void ClearHistory() {
        std::lock_guard lock(m_mutex);
        m_history.clear();
    }

    std::atomic<int> progress{-1};
    std::atomic<int> yCenter{0};
    std::atomic<int> pausesShown{0};
    std::atomic<bool> answerPauses{true};

private:
    using Key = std::pair<Window, int>;
    mutable std::mutex m_mutex;
    std::map<Key, std::string> m_texts;
    std::vector<std::pair<Key, std::string>> m_history;
    std::map<int, bool> m_enabled;
    std::vector<int> m_endResults;
};

#pragma once
// Streaming RML-1 syntax: any byte sequence is accepted; memory use does not
// grow with the length of a command.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "rml/rml_listener.h"

namespace sim {

class RmlParser {
public:
    explicit RmlParser(RmlListener& listener) : m_listener(listener) {}

    void Feed(std::uint8_t byte) {
        // Most bytes of a job are digits of whole numbers: taken here, inline.
        if (m_state == State::Number && m_scale == 0 && byte >= '0' && byte <= '9') {
            if (m_value < kValueLimit) m_value = m_value * 10 + (byte - '0');
            return;
        }
        // A byte that ends one command is read again as the start of the next;
        // that happens at most twice for one byte (end, then a fresh start).
        while (!Step(byte)) {
        }
    }
    // Drops a half-read command, as when the machine clears its memory.
    void Reset();

private:
    // Digits beyond this cannot change a clamped coordinate or speed.
    static constexpr double kValueLimit = 1e12;

    enum class State {
        Idle,
        Letter,
        Prefix,
        PrefixLetter,
        Parameters,
        Number,
        AfterNumber,
        Discard
    };

    bool Step(std::uint8_t byte);  // false: the byte was not consumed, feed it again
    bool StepIdle(std::uint8_t byte);
    bool StepLetter(std::uint8_t byte);
    bool StepPrefix(std::uint8_t byte);
    bool StepPrefixLetter(std::uint8_t byte);
    bool StepParameters(std::uint8_t byte);
    bool StepNumber(std::uint8_t byte);
    bool StepAfterNumber(std::uint8_t byte);
    void Begin(Mnemonic mnemonic);
    void EndImplicitly();
    void Fail(RmlError error);

    RmlListener& m_listener;
    State m_state = State::Idle;
    char m_prefix = 0;  // '!' or '^' while reading a prefixed mnemonic
    char m_first = 0;   // first letter of a mnemonic
    // The number being read.
    double m_value = 0;
    double m_scale = 0;  // 0 before the decimal point, else the weight of the next digit
    bool m_negative = false;
};

}  // namespace sim

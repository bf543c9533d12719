#pragma once
// The program's own reader of the job language: bytes in, commands and their
// parameters out, with the machine's rules for what a command is. Fed in
// pieces of any size, so a file is read in one pass without holding it.
#include <cstddef>
#include <cstdint>

namespace jobs {

// clang-format off
enum class Command : std::uint8_t {
    // one letter
    D, F, H, I, M, R, V, W, Z, At,
    // two letters
    DF, IN, PA, PD, PR, PU, VS,
    // '!' and two letters
    DW, MC, NR, PZ, RC, VZ, ZM, ZO, ZZ, ZE,
};
// clang-format on

class RmlListener {
public:
    virtual ~RmlListener() = default;
    virtual void OnCommand(Command command) = 0;
    virtual void OnParameter(double value) = 0;
    // The command is over; `semicolon` when a ';' ended it. Every ';' counts as
    // a command done on the machine, also one that ends garbage or stands alone.
    virtual void OnEnd(bool semicolon) = 0;
};

class RmlReader {
public:
    explicit RmlReader(RmlListener& listener) : m_listener(listener) {}
    void Feed(const char* data, std::size_t size);
    // The file has ended: a command still open ends without its ';'.
    void Finish();

private:
    // clang-format off
    enum class State : std::uint8_t {
        Idle, Letter, Prefix, PrefixLetter, Parameters, Number, AfterNumber, Discard
    };
    // clang-format on
    // False when the byte must be looked at again in the new state.
    bool Step(std::uint8_t byte);
    bool StepIdle(std::uint8_t byte);
    bool StepLetter(std::uint8_t byte);
    bool StepPrefixed(std::uint8_t byte);
    bool StepParameters(std::uint8_t byte);
    bool StepNumber(std::uint8_t byte);
    void AddDigit(std::uint8_t digit);
    bool StepAfterNumber(std::uint8_t byte);
    void Begin(Command command);
    void EndWithout();
    void Discard() { m_state = State::Discard; }

    RmlListener& m_listener;
    State m_state = State::Idle;
    char m_prefix = 0;
    char m_first = 0;
    std::uint64_t m_digits = 0;
    int m_fraction = -1;  // digits after the '.'; -1 before one
    bool m_negative = false;
};

}  // namespace jobs

#include "jobs/rml_reader.h"

#include <algorithm>
#include <cstring>

namespace jobs {

namespace {

// Digits past these change nothing the machine can reach.
constexpr std::uint64_t kLargestWhole = 1'000'000'000'000;
constexpr int kFractionDigits = 9;
constexpr double kPowersOfTen[kFractionDigits + 1] = {1,   1e1, 1e2, 1e3, 1e4,
                                                      1e5, 1e6, 1e7, 1e8, 1e9};

bool IsSpace(std::uint8_t b) { return b <= 0x20; }  // blanks, line ends, the zero bytes
bool IsBlankOrTab(std::uint8_t b) { return b == ' ' || b == '\t'; }
bool IsDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }
bool IsLetter(std::uint8_t b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }
bool StartsNumber(std::uint8_t b) { return IsDigit(b) || b == '+' || b == '-' || b == '.'; }
char Upper(std::uint8_t b) { return static_cast<char>(b & ~0x20); }

bool OneLetter(char c, Command& command) {
    static constexpr char kLetters[] = "DFHIMRVWZ";
    const char* found = std::strchr(kLetters, c);
    if (!found || c == 0) return false;
    command = static_cast<Command>(found - kLetters);
    return true;
}

struct Pair {
    char first, second;
    Command command;
};
constexpr Pair kTwoLetters[] = {{'D', 'F', Command::DF}, {'I', 'N', Command::IN},
                                {'P', 'A', Command::PA}, {'P', 'D', Command::PD},
                                {'P', 'R', Command::PR}, {'P', 'U', Command::PU},
                                {'V', 'S', Command::VS}};
constexpr Pair kCommon[] = {{'D', 'W', Command::DW}, {'M', 'C', Command::MC},
                            {'N', 'R', Command::NR}, {'P', 'Z', Command::PZ},
                            {'R', 'C', Command::RC}, {'V', 'Z', Command::VZ},
                            {'Z', 'M', Command::ZM}, {'Z', 'O', Command::ZO},
                            {'Z', 'Z', Command::ZZ}, {'Z', 'E', Command::ZE}};

template <std::size_t N>
bool FindPair(const Pair (&table)[N], char first, char second, Command& command) {
    for (const Pair& p : table) {
        if (p.first == first && p.second == second) {
            command = p.command;
            return true;
        }
    }
    return false;
}

}  // namespace

void RmlReader::Feed(const char* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        // The common case first: parameters of a move.
        if (m_state == State::Number && IsDigit(b)) {
            AddDigit(b);
            continue;
        }
        while (!Step(b)) {
        }
    }
}

void RmlReader::Finish() {
    if (m_state == State::Number) StepNumber(' ');
    if (m_state == State::Parameters || m_state == State::AfterNumber) m_listener.OnEnd(false);
    m_state = State::Idle;
}

bool RmlReader::Step(std::uint8_t byte) {
    if (byte >= 0x80 && m_state != State::Discard) {
        // Not part of the language: what was open ends, the rest up to ';' is dropped.
        if (m_state == State::Parameters || m_state == State::Number ||
            m_state == State::AfterNumber)
            m_listener.OnEnd(false);
        Discard();
        return true;
    }
    switch (m_state) {
        case State::Idle:
            return StepIdle(byte);
        case State::Letter:
            return StepLetter(byte);
        case State::Prefix:
        case State::PrefixLetter:
            return StepPrefixed(byte);
        case State::Parameters:
            return StepParameters(byte);
        case State::Number:
            return StepNumber(byte);
        case State::AfterNumber:
            return StepAfterNumber(byte);
        case State::Discard:
            if (byte == ';') {
                m_listener.OnEnd(true);
                m_state = State::Idle;
            }
            return true;
    }
    return true;
}

bool RmlReader::StepIdle(std::uint8_t byte) {
    if (byte == ';') {
        m_listener.OnEnd(true);
    } else if (IsSpace(byte)) {
    } else if (byte == '!' || byte == '^') {
        m_prefix = static_cast<char>(byte);
        m_state = State::Prefix;
    } else if (byte == '@') {
        Begin(Command::At);
    } else if (IsLetter(byte)) {
        m_first = Upper(byte);
        m_state = State::Letter;
    } else {
        Discard();  // a number or a sign where a command should start
    }
    return true;
}

bool RmlReader::StepLetter(std::uint8_t byte) {
    if (IsBlankOrTab(byte)) return true;
    Command command;
    if (IsLetter(byte) && FindPair(kTwoLetters, m_first, Upper(byte), command)) {
        Begin(command);
        return true;
    }
    if (OneLetter(m_first, command)) {
        Begin(command);
        return false;  // the byte is a parameter or the next command
    }
    Discard();
    return false;  // a ';' here still ends the dropped command
}

bool RmlReader::StepPrefixed(std::uint8_t byte) {
    if (IsBlankOrTab(byte)) return true;
    if (!IsLetter(byte)) {
        Discard();
        return false;
    }
    if (m_state == State::Prefix) {
        m_first = Upper(byte);
        m_state = State::PrefixLetter;
        return true;
    }
    Command command;
    const bool found = m_prefix == '!' ? FindPair(kCommon, m_first, Upper(byte), command)
                                       : FindPair(kTwoLetters, m_first, Upper(byte), command);
    if (!found) {
        Discard();
        return false;
    }
    Begin(command);
    return true;
}

bool RmlReader::StepParameters(std::uint8_t byte) {
    if (byte == ';') {
        m_listener.OnEnd(true);
        m_state = State::Idle;
        return true;
    }
    if (IsSpace(byte)) return true;
    if (!StartsNumber(byte)) {
        EndWithout();
        return false;
    }
    m_digits = 0;
    m_fraction = -1;
    m_negative = byte == '-';
    m_state = State::Number;
    return byte == '+' || byte == '-' || StepNumber(byte);
}

bool RmlReader::StepNumber(std::uint8_t byte) {
    if (IsDigit(byte)) {
        AddDigit(byte);
        return true;
    }
    if (byte == '.' && m_fraction < 0) {
        m_fraction = 0;
        return true;
    }
    const double value = double(m_digits) / kPowersOfTen[std::max(m_fraction, 0)];
    m_listener.OnParameter(m_negative ? -value : value);
    m_state = State::AfterNumber;
    return false;
}

void RmlReader::AddDigit(std::uint8_t digit) {
    // Whole and fraction digits together, as an integer: exact, and cheap.
    if (m_fraction < 0) {
        if (m_digits < kLargestWhole) m_digits = m_digits * 10 + (digit - '0');
    } else if (m_fraction < kFractionDigits && m_digits < kLargestWhole * 1000) {
        m_digits = m_digits * 10 + (digit - '0');
        ++m_fraction;
    }
}

bool RmlReader::StepAfterNumber(std::uint8_t byte) {
    if (byte == ',') {
        m_state = State::Parameters;
        return true;
    }
    if (byte == ';') {
        m_listener.OnEnd(true);
        m_state = State::Idle;
        return true;
    }
    if (IsSpace(byte)) return true;
    EndWithout();
    return false;
}

void RmlReader::Begin(Command command) {
    m_listener.OnCommand(command);
    m_state = State::Parameters;
}

void RmlReader::EndWithout() {
    m_listener.OnEnd(false);
    m_state = State::Idle;
}

}  // namespace jobs

#include "rml/rml_parser.h"

#include <array>
#include <cctype>
#include <cstring>
#include <utility>

namespace sim {

namespace {

// Digits beyond this cannot change a clamped coordinate or speed.
constexpr double kSmallestDigit = 1e-9;

struct Name {
    char first, second;
    Mnemonic mnemonic;
};

constexpr std::array<std::pair<char, Mnemonic>, 10> kOneLetter{{{'D', Mnemonic::D},
                                                                {'F', Mnemonic::F},
                                                                {'H', Mnemonic::H},
                                                                {'I', Mnemonic::I},
                                                                {'M', Mnemonic::M},
                                                                {'R', Mnemonic::R},
                                                                {'V', Mnemonic::V},
                                                                {'W', Mnemonic::W},
                                                                {'Z', Mnemonic::Z},
                                                                {'@', Mnemonic::At}}};
constexpr std::array<Name, 7> kTwoLetter{{{'D', 'F', Mnemonic::DF},
                                          {'I', 'N', Mnemonic::IN},
                                          {'P', 'A', Mnemonic::PA},
                                          {'P', 'D', Mnemonic::PD},
                                          {'P', 'R', Mnemonic::PR},
                                          {'P', 'U', Mnemonic::PU},
                                          {'V', 'S', Mnemonic::VS}}};
constexpr std::array<Name, 10> kCommon{{{'D', 'W', Mnemonic::DW},
                                        {'M', 'C', Mnemonic::MC},
                                        {'N', 'R', Mnemonic::NR},
                                        {'P', 'Z', Mnemonic::PZ},
                                        {'R', 'C', Mnemonic::RC},
                                        {'V', 'Z', Mnemonic::VZ},
                                        {'Z', 'M', Mnemonic::ZM},
                                        {'Z', 'O', Mnemonic::ZO},
                                        {'Z', 'Z', Mnemonic::ZZ},
                                        {'Z', 'E', Mnemonic::ZE}}};

std::optional<Mnemonic> OneLetter(char c) {
    for (const auto& [letter, mnemonic] : kOneLetter) {
        if (letter == c) return mnemonic;
    }
    return std::nullopt;
}

template <std::size_t N>
std::optional<Mnemonic> TwoLetters(const std::array<Name, N>& table, char first, char second) {
    for (const auto& name : table) {
        if (name.first == first && name.second == second) return name.mnemonic;
    }
    return std::nullopt;
}

bool IsBlankOrTab(std::uint8_t b) { return b == ' ' || b == '\t'; }
bool IsSpace(std::uint8_t b) { return b <= 0x20; }  // blanks, line ends and the zero bytes
bool IsLetter(std::uint8_t b) { return b < 0x80 && std::isalpha(b); }
bool IsDigit(std::uint8_t b) { return b >= '0' && b <= '9'; }
bool StartsNumber(std::uint8_t b) { return IsDigit(b) || b == '+' || b == '-' || b == '.'; }
char Upper(std::uint8_t b) { return static_cast<char>(std::toupper(b)); }

}  // namespace

void RmlParser::Reset() { m_state = State::Idle; }

bool RmlParser::Step(std::uint8_t byte) {
    if (byte >= 0x80 && m_state != State::Discard) {
        const bool inCommand = m_state == State::Parameters || m_state == State::Number ||
                               m_state == State::AfterNumber;
        if (inCommand) m_listener.OnEnd(false);
        Fail(RmlError::BadByte);
        return true;
    }
    switch (m_state) {
        case State::Idle:
            return StepIdle(byte);
        case State::Letter:
            return StepLetter(byte);
        case State::Prefix:
            return StepPrefix(byte);
        case State::PrefixLetter:
            return StepPrefixLetter(byte);
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

bool RmlParser::StepIdle(std::uint8_t byte) {
    if (byte == ';') {
        m_listener.OnEnd(true);
    } else if (IsSpace(byte)) {
        // between commands
    } else if (byte == '!' || byte == '^') {
        m_prefix = static_cast<char>(byte);
        m_state = State::Prefix;
    } else if (byte == '@') {
        Begin(Mnemonic::At);
    } else if (IsLetter(byte)) {
        m_first = Upper(byte);
        m_state = State::Letter;
    } else if (StartsNumber(byte)) {
        Fail(RmlError::NumberAsCommand);
    } else {
        Fail(RmlError::UnknownMnemonic);
    }
    return true;
}

bool RmlParser::StepLetter(std::uint8_t byte) {
    if (IsBlankOrTab(byte)) return true;
    if (IsLetter(byte)) {
        if (auto two = TwoLetters(kTwoLetter, m_first, Upper(byte))) {
            Begin(*two);
            return true;
        }
    }
    if (auto one = OneLetter(m_first)) {
        Begin(*one);
        return false;  // the byte belongs to its parameters, or starts the next command
    }
    Fail(RmlError::UnknownMnemonic);
    return false;  // a ';' here still ends the discarded command
}

bool RmlParser::StepPrefix(std::uint8_t byte) {
    if (IsBlankOrTab(byte)) return true;
    if (!IsLetter(byte)) {
        Fail(RmlError::UnknownMnemonic);
        return false;
    }
    m_first = Upper(byte);
    m_state = State::PrefixLetter;
    return true;
}

bool RmlParser::StepPrefixLetter(std::uint8_t byte) {
    if (IsBlankOrTab(byte)) return true;
    if (IsLetter(byte)) {
        const auto found = m_prefix == '!' ? TwoLetters(kCommon, m_first, Upper(byte))
                                           : TwoLetters(kTwoLetter, m_first, Upper(byte));
        if (found) {
            Begin(*found);
            return true;
        }
    }
    Fail(RmlError::UnknownMnemonic);
    return false;  // a ';' here still ends the discarded command
}

bool RmlParser::StepParameters(std::uint8_t byte) {
    if (byte == ';') {
        m_listener.OnEnd(true);
        m_state = State::Idle;
        return true;
    }
    if (IsSpace(byte)) return true;
    if (!StartsNumber(byte)) {
        EndImplicitly();
        return false;
    }
    m_value = 0;
    m_scale = 0;
    m_negative = byte == '-';
    m_state = State::Number;
    return byte == '+' || byte == '-' || StepNumber(byte);
}

bool RmlParser::StepNumber(std::uint8_t byte) {
    if (IsDigit(byte)) {
        const int digit = byte - '0';
        if (m_scale == 0) {
            if (m_value < kValueLimit) m_value = m_value * 10 + digit;
        } else if (m_scale >= kSmallestDigit) {
            m_value += digit * m_scale;
            m_scale /= 10;
        }
        return true;
    }
    if (byte == '.' && m_scale == 0) {
        m_scale = 0.1;
        return true;
    }
    m_listener.OnParameter(m_negative ? -m_value : m_value);
    m_state = State::AfterNumber;
    return false;
}

bool RmlParser::StepAfterNumber(std::uint8_t byte) {
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
    EndImplicitly();
    return false;
}

void RmlParser::Begin(Mnemonic mnemonic) {
    m_listener.OnCommand(mnemonic);
    m_state = State::Parameters;
}

void RmlParser::EndImplicitly() {
    m_listener.OnEnd(false);
    m_state = State::Idle;
}

void RmlParser::Fail(RmlError error) {
    m_listener.OnError(error);
    m_state = State::Discard;
}

}  // namespace sim

#include "rml/rml_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "rml/rml_interpreter.h"
#include "sim_test_util.h"

namespace {

using sim::Mnemonic;

const char* Name(Mnemonic m) {
    static const char* const kNames[] = {
        "D",  "F",  "H",  "I",   "M",   "R",   "V",   "W",   "Z",   "@",   "DF",  "IN",  "PA", "PD",
        "PR", "PU", "VS", "!DW", "!MC", "!NR", "!PZ", "!RC", "!VZ", "!ZM", "!ZO", "!ZZ", "!ZE"};
    return kNames[static_cast<int>(m)];
}

// Writes what the parser reports as text: commands with their parameters,
// errors as "E<n>", and each ';' as "|". Ends without a ';' are not shown.
class Recorder : public sim::RmlListener {
public:
    void OnCommand(Mnemonic m) override { log += std::string(" ") + Name(m); }
    void OnParameter(double v) override {
        char text[32];
        std::snprintf(text, sizeof text, " %g", v);
        log += text;
    }
    void OnEnd(bool terminated) override {
        if (terminated) log += " |";
    }
    void OnError(sim::RmlError e) override { log += " E" + std::to_string(static_cast<int>(e)); }
    std::string log;
};

std::string Parse(std::string_view text) {
    Recorder recorder;
    sim::RmlParser parser(recorder);
    for (char c : text) parser.Feed(static_cast<std::uint8_t>(c));
    return recorder.log;
}

// Two streams mean the same when they give the same commands, parameters and
// errors; where their ';' differ only the command count differs.
std::string Meaning(std::string_view text) {
    std::string log = Parse(text);
    std::erase(log, '|');
    std::string squeezed;
    for (char c : log) {
        if (c == ' ' && !squeezed.empty() && squeezed.back() == ' ') continue;
        squeezed += c;
    }
    return squeezed;
}

TEST(RmlParser, ExamplesOfTheLanguageReferenceParseAlike) {
    EXPECT_EQ(Meaning("PA100,,100;"), Meaning("PA100,;,100;"));
    EXPECT_EQ(Meaning("PA100++100;"), Meaning("PA100;++100;"));
    EXPECT_EQ(Meaning("PA . 100,100;"), Meaning("PA0;100,100;"));
    EXPECT_EQ(Meaning("PD\t0,1;"), Meaning("PD0,1;"));
    EXPECT_EQ(Parse("PA100,,100;"), " PA 100 E1 |");
    EXPECT_EQ(Parse("PA100++100;"), " PA 100 E2 |");
    EXPECT_EQ(Parse("PA . 100,100;"), " PA 0 E2 |");
    EXPECT_EQ(Parse("PD\t0,1;"), " PD 0 1 |");
}

TEST(RmlParser, MnemonicGroupsCaseAndSpacing) {
    EXPECT_EQ(Parse("pa;Pu10,-2.5;"), " PA | PU 10 -2.5 |");
    EXPECT_EQ(Parse("^IN;^df;^PR;"), " IN | DF | PR |");
    EXPECT_EQ(Parse("!mc1;!VZ 30.0;!ZM0;"), " !MC 1 | !VZ 30 | !ZM 0 |");
    EXPECT_EQ(Parse("V15;VS10;F2;W100;@1,2;H;"), " V 15 | VS 10 | F 2 | W 100 | @ 1 2 | H |");
    EXPECT_EQ(Parse("P A1,2;V S3;"), " PA 1 2 | VS 3 |") << "blank or tab between the letters";
    EXPECT_EQ(Parse("P\nA1;"), " E1 |") << "a line end is not allowed between them";
    EXPECT_EQ(Parse("Z1,2,3\r\n;"), " Z 1 2 3 |");
    EXPECT_EQ(Parse("PAPU1,2;"), " PA PU 1 2 |") << "a letter after a mnemonic starts the next";
    EXPECT_EQ(Parse(std::string(";;\0\0 ;", 6)), " | | |") << "every ';' counts";
}

TEST(RmlParser, ErrorsDiscardUpToTheSemicolon) {
    EXPECT_EQ(Parse("XY1,2;PA;"), " E1 | PA |");
    EXPECT_EQ(Parse("!QQ5;^VV;PA;"), " E1 | E1 | PA |");
    EXPECT_EQ(Parse("12,3;PA;"), " E2 | PA |");
    EXPECT_EQ(Parse("PA1\x80,2;PU;"), " PA E3 | PU |");
    EXPECT_EQ(Parse("\xff\xfe;PA;"), " E3 | PA |");
    EXPECT_EQ(Parse("G90 G17\nG0 X1 Y2\n"), " E1") << "G-code has no ';': nothing runs";
}

TEST(RmlParser, NumbersAreDigitsSignAndPointOnly) {
    EXPECT_EQ(Parse("PA-.5,+3.;"), " PA -0.5 3 |");
    EXPECT_EQ(Parse("PA1e5;"), " PA 1 E1 |");
    EXPECT_EQ(Parse("PA1.2.3;"), " PA 1.2 E2 |");
    EXPECT_EQ(Parse("PA" + std::string(100, '9') + ";"), " PA 1e+13 |")
        << "clamped, not overflowed";
}

TEST(RmlParser, SurvivesLongRunsWithoutSemicolonOrOfZeroBytes) {
    Recorder recorder;
    sim::RmlParser parser(recorder);
    for (int i = 0; i < 10'000'000; ++i) parser.Feed(static_cast<std::uint8_t>('A' + i % 26));
    for (int i = 0; i < 1'000'000; ++i) parser.Feed(0);
    for (char c : std::string("Z;PA;")) parser.Feed(static_cast<std::uint8_t>(c));
    EXPECT_LT(recorder.log.size(), 2'000'000u);
    EXPECT_TRUE(recorder.log.ends_with(" PA |")) << recorder.log.substr(recorder.log.size() - 40);
}

class FixedTop : public sim::JobContext {
public:
    double UserTopZ() const override { return 9000; }
};

std::vector<sim::JobOp> Interpret(std::string_view text) {
    FixedTop top;
    sim::RmlInterpreter interpreter(top);
    sim::RmlParser parser(interpreter);
    for (char c : text) parser.Feed(static_cast<std::uint8_t>(c));
    return {interpreter.Ops().begin(), interpreter.Ops().end()};
}

std::string Moves(std::string_view text) {
    std::string out;
    for (const auto& op : Interpret(text)) {
        if (op.kind != sim::JobOp::Kind::Move) continue;
        char line[96];
        std::snprintf(line, sizeof line, "(%g,%g,%g@%g)", op.target.x, op.target.y, op.target.z,
                      op.value);
        out += line;
    }
    return out;
}

TEST(RmlInterpreter, ModesHeightsAndSpeeds) {
    EXPECT_EQ(Moves("!PZ-10,200;VS5;!VZ2;PU100,0;PD100,50;"),
              "(0,0,200@2)(100,0,200@5)(100,0,-10@2)(100,50,-10@5)");
    EXPECT_EQ(Moves("PR;PU10,10,5,5;PA;PU1,1;"),
              "(0,0,0@5)(10,10,0@10)(15,15,0@10)(15,15,0@5)(1,1,0@10)");
    EXPECT_EQ(Moves("VS7;Z1,2,3;V3;Z4,5,6;!VZ9;!ZM0;"), "(1,2,3@7)(4,5,6@3)(4,5,0@9)");
    EXPECT_EQ(Moves("PR;Z1,1,1,1,1,1;!ZM-1;"), "(1,1,1@10)(2,2,2@10)(2,2,1@5)");
    EXPECT_EQ(Moves("VS999;PU1,2,3;"), "(0,0,0@5)(1,2,0@50)") << "speed clamped, odd value ignored";
    EXPECT_EQ(Moves("Z5,5,5;H;"), "(5,5,5@10)(5,5,9000@5)(0,0,9000@10)");
    EXPECT_EQ(Moves("!PZ0,300;PU5,5;^IN;"), "(0,0,300@5)(5,5,300@10)(5,5,0@5)(0,0,0@10)");
}

TEST(RmlInterpreter, EachSemicolonIsOneCommandDoneAfterItsMoves) {
    const auto ops = Interpret("PU1,1;;XX;W5;!RC12;!MC1;");
    std::string kinds;
    for (const auto& op : ops) kinds += "MDoSC"[static_cast<int>(op.kind)];
    EXPECT_EQ(kinds, "MMCCCDCSCoC");
}

}  // namespace

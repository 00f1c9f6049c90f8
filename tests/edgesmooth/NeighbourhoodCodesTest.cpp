// The neighbourhood codes say what the rule functions say, for every pixel of random maps (any byte of
// flag bits, sparse to dense, at every distance from the borders), at every instruction set the processor
// has, and the active bits name exactly the pixels with a right or below step.
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "edgesmooth/CornerRules.h"
#include "edgesmooth/NeighbourhoodCodes.h"
#include "edgesmooth/StepRuns.h"
#include "tests/edgesmooth/EdgeTestSupport.h"

namespace {

// A fix code's two bits for a rule's target: 0 for none, else the index of the target among `choices`
// plus one (a target outside them reads as -1, which no code has).
int FixOf(const std::optional<EdgePoint>& target, std::initializer_list<EdgePoint> choices) {
    if (!target)
        return 0;
    int i = 1;
    for (const EdgePoint& c : choices) {
        if (c == *target)
            return i;
        ++i;
    }
    return -1;
}

// What the codes of (x, y) should hold, from the rule functions, as text for a readable failure.
std::string FromRules(const EdgeFlagMap& m, int32_t x, int32_t y) {
    std::ostringstream out;
    const bool right = m.Right(x, y), below = m.Below(x, y);
    out << "active " << (right || below);
    if (right) {
        const bool crossed = (m.Anti(x, y) || m.Anti(x, y - 1)) && (m.Diag(x, y) || m.Diag(x, y - 1));
        out << " rampLeft " << RampMayStart(m, kRampLeft, x, y) << " rampRight "
            << RampMayStart(m, kRampRight, x, y) << " rowTracers " << RowTracersRun(m, x, y) << " light "
            << !crossed << " notchRight "
            << FixOf(NotchRightTarget(m, x, y), {{x - 1, y}, {x + 1, y - 1}, {x - 1, y - 1}});
    }
    if (below) {
        out << " rampUp " << RampMayStart(m, kRampUp, x, y) << " rampDown "
            << RampMayStart(m, kRampDown, x, y) << " columnTracers " << ColumnTracersRun(m, x, y)
            << " notchBelow " << FixOf(NotchBelowTarget(m, x, y), {{x, y}, {x - 1, y - 1}, {x, y - 1}});
        if (right)
            out << " notchCorner " << FixOf(NotchCornerTarget(m, x, y), {{x + 1, y - 1}, {x, y - 1}});
    }
    if (right || below) {
        out << " lone " << IsLonePixel(m, x, y) << " corner "
            << FixOf(CornerRestoreTarget(m, x, y), {{x + 1, y - 1}, {x, y}}) << " jogs";
        const JogMoves jogs = SoftenJogMoves(m, x, y);
        for (int i = 0; i < jogs.count; ++i)
            out << " (" << jogs.moves[i].target.x - x << "," << jogs.moves[i].target.y - y << "<-"
                << jogs.moves[i].colour.x - x << "," << jogs.moves[i].colour.y - y << ")";
    }
    return out.str();
}

// The same text read from the codes.
std::string FromCodes(const SegmentCodes& c, int i, uint8_t bits) {
    std::ostringstream out;
    const bool right = bits & kEdgeRight, below = bits & kEdgeBelow;
    const uint8_t s = c.steps[i], f = c.fixes[i];
    out << "active " << ((c.active >> i) & 1);
    if (right)
        out << " rampLeft " << bool(s & kCodeRampLeft) << " rampRight " << bool(s & kCodeRampRight)
            << " rowTracers " << bool(s & kCodeRowTracers) << " light " << bool(s & kCodeLight)
            << " notchRight " << ((f >> kFixNotchRightShift) & 3);
    if (below) {
        out << " rampUp " << bool(s & kCodeRampUp) << " rampDown " << bool(s & kCodeRampDown)
            << " columnTracers " << bool(s & kCodeColumnTracers) << " notchBelow "
            << ((f >> kFixNotchBelowShift) & 3);
        if (right)
            out << " notchCorner " << ((f >> kFixNotchCornerShift) & 3);
    }
    if (right || below) {
        out << " lone " << bool(s & kCodeLone) << " corner " << ((f >> kFixCornerShift) & 3) << " jogs";
        for (int k = 0; k < 8; ++k)
            if ((c.jogs[i] >> k) & 1)
                out << " (" << int(kJogOffsets[k].targetX) << "," << int(kJogOffsets[k].targetY) << "<-"
                    << int(kJogOffsets[k].colourX) << "," << int(kJogOffsets[k].colourY) << ")";
    }
    return out.str();
}

TEST(NeighbourhoodCodes, MatchTheRulesOnRandomMaps) {
    std::mt19937 rng(7);
    struct Case {
        int32_t w, h;
    };
    int mismatches = 0;
    for (Case size : {Case{150, 12}, Case{64, 9}, Case{65, 6}, Case{7, 7}, Case{3, 4}, Case{1, 1}}) {
        // Each flag bit set with probability 1/4, 1/2 and 3/4: sparse maps reach the long patterns'
        // negated bits, dense ones their set bits.
        for (unsigned density : {1u, 2u, 3u}) {
            for (int round = 0; round < 20; ++round) {
                TestMap t(size.w, size.h);
                for (int32_t y = 0; y < size.h; ++y)
                    for (int32_t x = 0; x < size.w; ++x) {
                        uint8_t byte = 0;
                        for (int b = 0; b < 4; ++b)
                            if (rng() % 4 < density)
                                byte |= uint8_t(1 << b);
                        t.map.Row(y)[x] = byte;
                    }
                for (EdgeIsa isa : {EdgeIsa::Plain, EdgeIsa::Avx2}) {
                    if (isa > BestEdgeIsa())
                        continue;
                    SegmentCodes codes;
                    for (int32_t y = 0; y < size.h; ++y)
                        for (int32_t x0 = 0; x0 < size.w; x0 += kCodedPixels) {
                            CodeSegment(codes, t.map, x0, y, isa);
                            for (int32_t x = x0; x < std::min(size.w, x0 + kCodedPixels); ++x) {
                                const std::string rules = FromRules(t.map, x, y);
                                const std::string coded = FromCodes(codes, x - x0, t.map.At(x, y));
                                if (rules != coded && ++mismatches <= 5) {
                                    ADD_FAILURE()
                                        << size.w << "x" << size.h << " at (" << x << ", " << y << ") isa "
                                        << int(isa) << "\n rules " << rules << "\n codes " << coded;
                                }
                            }
                            // No pixel past the image is active.
                            if (x0 + kCodedPixels > size.w) {
                                EXPECT_EQ(codes.active >> (size.w - x0), 0u);
                            }
                        }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace

#include "engine/parameter_derivation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "res/resource.h"
#include "tests/engine/voice_test_support.h"

namespace {

struct FieldBounds {
    std::string ParameterTexts::*field;
    const char* name;
    int lowest;
    int highest;
    UINT message;
};

const FieldBounds kFields[] = {
    {&ParameterTexts::strBuffer, "buffer", 1, 10000, 1000},
    {&ParameterTexts::strRange, "range", 1, 7, 1001},
    {&ParameterTexts::strModRatio, "modulator frequency", 1, 9, 1002},
    {&ParameterTexts::strModDepth, "modulator strength", 0, 1000, 1003},
    {&ParameterTexts::strLeftShift, "left shift", -12, 12, 1005},
    {&ParameterTexts::strRightShift, "right shift", -12, 12, 1006},
    {&ParameterTexts::strDistortion, "distortion", 0, 1000, 1008},
    {&ParameterTexts::strFeedback, "feedback", 0, 1000, 1009},
    {&ParameterTexts::strRangeAdjust, "range adjustment", -24, 12, 2005},
};

UINT DeriveWith(std::string ParameterTexts::*field, const std::string& text) {
    ParameterTexts t = StartupParameterTexts();
    t.*field = text;
    return DeriveParameters(t, 0, OverCycleData(0));
}

}  // namespace

TEST(ParameterDerivation, StartupSettingsPass) {
    ASSERT_EQ(DeriveParameters(StartupParameterTexts(), 0, OverCycleData(0)), 0u);
    const PERFORMANCESTATE& ps = PerformanceState;
    EXPECT_EQ(ps.nBlockBytes, 400u);
    EXPECT_EQ(ps.dPitchRange, 5.0);
    EXPECT_EQ(ps.dModRatio, 1.0);
    EXPECT_EQ(ps.dModStrength, 20.0);
    EXPECT_EQ(ps.dBaseOctave, 9.0);
    EXPECT_EQ(ps.nOverCycle, 1);
    EXPECT_EQ(ps.nOverCycleLog2, 0);
    EXPECT_DOUBLE_EQ(ps.dLeftShiftRatio, 1.122462048309373);    // 2^(2/12)
    EXPECT_DOUBLE_EQ(ps.dRightShiftRatio, 1.3348398541700344);  // 2^(5/12)
    EXPECT_EQ(ps.dNegativeGain, 1.0);
    EXPECT_EQ(ps.dModFeedback, 0.0);
    EXPECT_EQ(ps.dDetune, 0.0);
}

TEST(ParameterDerivation, EachFieldAcceptsItsBoundsAndRefusesBeyondThem) {
    for (const FieldBounds& f : kFields) {
        EXPECT_EQ(DeriveWith(f.field, std::to_string(f.lowest)), 0u) << f.name;
        EXPECT_EQ(DeriveWith(f.field, std::to_string(f.highest)), 0u) << f.name;
        EXPECT_EQ(DeriveWith(f.field, std::to_string(f.lowest - 1)), f.message) << f.name;
        EXPECT_EQ(DeriveWith(f.field, std::to_string(f.highest + 1)), f.message) << f.name;
        // Beyond the int range the text saturates and is refused, never wrapped into range.
        EXPECT_EQ(DeriveWith(f.field, "4294967297"), f.message) << f.name;
        EXPECT_EQ(DeriveWith(f.field, "-4294967297"), f.message) << f.name;
    }
}

TEST(ParameterDerivation, TextWithoutDigitsReadsAsZero) {
    // Zero is out of range for these...
    EXPECT_EQ(DeriveWith(&ParameterTexts::strBuffer, ""), 1000u);
    EXPECT_EQ(DeriveWith(&ParameterTexts::strRange, "abc"), 1001u);
    EXPECT_EQ(DeriveWith(&ParameterTexts::strModRatio, ""), 1002u);
    // ...and accepted for the others.
    EXPECT_EQ(DeriveWith(&ParameterTexts::strModDepth, ""), 0u);
    EXPECT_EQ(PerformanceState.dModStrength, 0.0);
    EXPECT_EQ(DeriveWith(&ParameterTexts::strRangeAdjust, "x"), 0u);
    EXPECT_EQ(PerformanceState.dBaseOctave, 9.0);
}

TEST(ParameterDerivation, ReadsLeadingIntegerPart) {
    EXPECT_EQ(DeriveWith(&ParameterTexts::strRange, "  +7 octaves"), 0u);
    EXPECT_EQ(PerformanceState.dPitchRange, 7.0);
    EXPECT_EQ(DeriveWith(&ParameterTexts::strBuffer, "-1"), 1000u);  // compared as unsigned
}

TEST(ParameterDerivation, FirstFailingFieldWins) {
    ParameterTexts t = StartupParameterTexts();
    t.strRange = "9";
    t.strDistortion = "2000";
    EXPECT_EQ(DeriveParameters(t, 0, OverCycleData(0)), 1001u);

    t = StartupParameterTexts();
    t.strBuffer = "0";
    t.strRangeAdjust = "99";
    EXPECT_EQ(DeriveParameters(t, 0, OverCycleData(0)), 1000u);

    t = StartupParameterTexts();
    t.strFeedback = "-1";
    t.strRangeAdjust = "-25";
    EXPECT_EQ(DeriveParameters(t, 0, OverCycleData(0)), 1009u);

    t = StartupParameterTexts();
    t.strLeftShift = "13";
    t.strRightShift = "13";
    EXPECT_EQ(DeriveParameters(t, 0, OverCycleData(0)), 1005u);
}

TEST(ParameterDerivation, FieldsBeforeTheFailureKeepTheirNewValues) {
    ParameterTexts t = StartupParameterTexts();
    t.strRange = "3";
    t.strModRatio = "0";
    EXPECT_EQ(DeriveParameters(t, 0, OverCycleData(0)), 1002u);
    EXPECT_EQ(PerformanceState.dPitchRange, 3.0);
    EXPECT_EQ(PerformanceState.dModRatio, 0.0);
}

TEST(ParameterDerivation, BufferSizeGivesBlockBytes) {
    EXPECT_EQ(DeriveWith(&ParameterTexts::strBuffer, "1"), 0u);
    EXPECT_EQ(PerformanceState.nBlockBytes, 1u);
    EXPECT_EQ(DeriveWith(&ParameterTexts::strBuffer, "10000"), 0u);
    EXPECT_EQ(PerformanceState.nBlockBytes, 10000u);
}

TEST(ParameterDerivation, OverCycleItemsGiveCountAndLog) {
    const int expectedCount[] = {1, 2, 4, 8, 16};
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(DeriveParameters(StartupParameterTexts(), 0, OverCycleData(i)), 0u);
        EXPECT_EQ(PerformanceState.nOverCycle, expectedCount[i]);
        EXPECT_EQ(PerformanceState.nOverCycleLog2, i);
        EXPECT_EQ(PerformanceState.dBaseOctave, 9.0 - i);
    }
}

TEST(ParameterDerivation, BaseOctaveFromRangeAdjustmentAndOverCycle) {
    ParameterTexts t = StartupParameterTexts();
    t.strRangeAdjust = "-24";
    ASSERT_EQ(DeriveParameters(t, 0, OverCycleData(4)), 0u);
    EXPECT_EQ(PerformanceState.dBaseOctave, 3.0);  // -2 + 9 - 4

    t.strRangeAdjust = "7";
    ASSERT_EQ(DeriveParameters(t, 0, OverCycleData(0)), 0u);
    EXPECT_DOUBLE_EQ(PerformanceState.dBaseOctave, 9.0 + 7.0 / 12.0);
}

TEST(ParameterDerivation, DistortionGivesNegativeGain) {
    const struct {
        const char* text;
        double gain;
    } cases[] = {{"0", 1.0}, {"250", 0.5}, {"500", 0.0}, {"1000", -1.0}};
    for (const auto& c : cases) {
        ASSERT_EQ(DeriveWith(&ParameterTexts::strDistortion, c.text), 0u);
        EXPECT_EQ(PerformanceState.dNegativeGain, c.gain) << c.text;
    }
}

TEST(ParameterDerivation, FeedbackShiftsAndDetune) {
    ParameterTexts t = StartupParameterTexts();
    t.strFeedback = "1000";
    t.strLeftShift = "-12";
    t.strRightShift = "12";
    ASSERT_EQ(DeriveParameters(t, 1, OverCycleData(0)), 0u);
    EXPECT_DOUBLE_EQ(PerformanceState.dModFeedback, 0.9);
    EXPECT_EQ(PerformanceState.dLeftShiftRatio, 0.5);
    EXPECT_EQ(PerformanceState.dRightShiftRatio, 2.0);
    EXPECT_EQ(PerformanceState.dDetune, 1.0);
    // Only check state 1 counts as checked.
    ASSERT_EQ(DeriveParameters(t, 2, OverCycleData(0)), 0u);
    EXPECT_EQ(PerformanceState.dDetune, 0.0);
}

TEST(PerformanceStateStartup, TwoPiIsTheDoubledShortPi) {
    InitPerformanceState();
    EXPECT_EQ(PerformanceState.dTwoPi, 6.28318530717958);
    EXPECT_LT(PerformanceState.dTwoPi, 2 * M_PI);
}

TEST(Derive, AValueThatLeavesTheSharedRecordAlone) {
    InitPerformanceState();
    PerformanceState.dModRatio = -7.0;
    const Derivation d = Derive(StartupParameterTexts(), 1, kOverCycleItemData[4]);
    EXPECT_EQ(d.nError, 0u);
    EXPECT_EQ(d.values.dModRatio, 1.0);
    EXPECT_EQ(d.values.nOverCycle, 16);
    EXPECT_EQ(d.values.dBaseOctave, 9.0 - 4);
    EXPECT_EQ(d.values.dDetune, 1.0);
    EXPECT_EQ(PerformanceState.dModRatio, -7.0) << "the program's record is not touched";
    // A failure: what came before it is derived, the rest is as given.
    ParameterTexts t = StartupParameterTexts();
    t.strLeftShift = "13";
    DerivedParameters from;
    from.dRightShiftRatio = 42.0;
    const Derivation f = Derive(t, 0, kOverCycleItemData[0], from);
    EXPECT_EQ(f.nError, static_cast<UINT>(IDS_ERR_LEFT_SHIFT));
    EXPECT_EQ(f.values.dModStrength, 20.0);
    EXPECT_EQ(f.values.dRightShiftRatio, 42.0);
}

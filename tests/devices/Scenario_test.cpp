// The scenario text of the board simulator: one event a line, in time order,
// and a clear error with the line number for anything else.

#include "host/board/Scenario.h"

#include <gtest/gtest.h>

namespace {

using board::BoardState;
using board::Scenario;

TEST(Scenario, EventsChangeTheBoardInTimeOrder)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.Parse("# a short drive\n"
                               "0s acc on 12.4V\n"
                               "\n"
                               "5s acc off\n"
                               "2500ms temp 71.5C\n"
                               "7s voltage 11.8V\n"
                               "8s powerkey down\n"
                               "9s powerkey up\n"
                               "10.5s power off\n",
                               error))
        << error;
    const auto& events = scenario.Events();
    std::vector<double> times;
    for (const auto& e : events)
        times.push_back(e.atSec);
    EXPECT_EQ(times, (std::vector<double> { 0, 2.5, 5, 7, 8, 9, 10.5 }));
    EXPECT_EQ(events[1].line, 5);

    BoardState state;
    events[0].apply(state);
    EXPECT_TRUE(state.acc);
    EXPECT_FLOAT_EQ(state.volts, 12.4f);
    events[1].apply(state);
    EXPECT_FLOAT_EQ(state.celsius, 71.5f);
    events[2].apply(state);
    EXPECT_FALSE(state.acc);
    EXPECT_FLOAT_EQ(state.volts, 12.4f) << "acc off leaves the supply voltage";
    events[3].apply(state);
    EXPECT_FLOAT_EQ(state.volts, 11.8f);
    events[4].apply(state);
    EXPECT_TRUE(state.powerKey);
    events[5].apply(state);
    EXPECT_FALSE(state.powerKey);
    EXPECT_TRUE(state.supply);
    events[6].apply(state);
    EXPECT_FALSE(state.supply);
}

TEST(Scenario, TheDefaultRunsFormsDriveParkAndCutOff)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.Parse("0s acc on 12.4V\n"
                               "10s gps route straight 60kmh\n"
                               "20s shock 2.5g\n"
                               "40s acc off\n"
                               "45s motion\n"
                               "46s motion 5s\n"
                               "50s card out\n"
                               "55s card in\n"
                               "60s kill\n"
                               "60s parking off\n"
                               "60s storage internal\n",
                               error))
        << error;
    BoardState state;
    state.sensors.gps.fix = false;
    const auto& events = scenario.Events();
    events[0].apply(state);
    events[1].apply(state);
    EXPECT_DOUBLE_EQ(state.sensors.gps.kmh, 60);
    EXPECT_TRUE(state.sensors.gps.fix);
    events[2].apply(state);
    EXPECT_EQ(state.sensors.shocks, 1);
    EXPECT_DOUBLE_EQ(state.sensors.shockG, 2.5);
    events[3].apply(state);
    EXPECT_DOUBLE_EQ(state.sensors.gps.kmh, 0) << "a car with its ignition off stands";
    events[4].apply(state);
    EXPECT_EQ(state.sensors.motions, 1);
    EXPECT_DOUBLE_EQ(state.sensors.motionSec, 3);
    events[5].apply(state);
    EXPECT_EQ(state.sensors.motions, 2);
    EXPECT_DOUBLE_EQ(state.sensors.motionSec, 5);
    EXPECT_TRUE(state.card);
    events[6].apply(state);
    EXPECT_FALSE(state.card);
    events[7].apply(state);
    EXPECT_TRUE(state.card);
    events[8].apply(state);
    EXPECT_EQ(state.kills, 1);
    EXPECT_EQ(state.parking, "") << "the preferences stay as they are until a scenario says";
    events[9].apply(state);
    events[10].apply(state);
    EXPECT_EQ(state.parking, "off");
    EXPECT_EQ(state.storage, "internal");
}

TEST(Scenario, ALineThatIsNoEventIsAnErrorWithItsNumber)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        { "0s acc on\n1s wobble\n", "line 2: unknown event \"wobble\"" },
        { "soon acc on\n", "line 1: bad time \"soon\"" },
        { "-1s acc on\n", "line 1: bad time \"-1s\"" },
        { "5s\n", "line 1: no event" },
        { "0s acc maybe\n", "line 1: expected on or off" },
        { "0s acc on 12.4\n", "line 1: expected acc on [volts V] or acc off" },
        { "0s acc off 12V\n", "line 1: expected acc on [volts V] or acc off" },
        { "\n\n0s voltage twelve\n", "line 3: expected one value in V" },
        { "0s temp 70\n", "line 1: expected one value in C" },
        { "0s powerkey\n", "line 1: expected down or up" },
        { "0s power down\n", "line 1: expected on or off" },
        { "0s power off now\n", "line 1: expected one word" },
        { "0s card gone\n", "line 1: expected in or out" },
        { "0s kill -9\n", "line 1: expected kill alone" },
        { "0s storage usb\n", "line 1: expected sd or internal" },
        { "0s parking on now\n", "line 1: expected one word" },
        { "0s motion 0s\n", "line 1: expected motion [SECONDSs]" },
        { "0s motion 3\n", "line 1: expected motion [SECONDSs]" },
        { "0s gps route curvy 60kmh\n", "line 1: expected gps route straight SPEEDkm/h" },
        { "0s gps route straight 60mph\n", "line 1: expected gps route straight SPEEDkm/h" },
        { "0s await\n", "line 1: expected await recording" },
        { "0s await parking\n", "line 1: expected await recording" },
    };
    for (const Case& c : cases) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(scenario.Parse(c.text, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(scenario.Events().empty());
    }
}

} // namespace

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

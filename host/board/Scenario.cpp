#include "host/board/Scenario.h"

#include "host/board/ProgramWatch.h"
#include "host/board/SensorEvents.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace board {

namespace {

using Words = std::vector<std::string>;
using Apply = std::function<void(BoardState&)>;
// Turns an event's arguments into its effect; false with the reason in `error`.
using EventParser = bool (*)(const Words& args, Apply& apply, std::string& error);

// A number directly followed by `unit`, as in "12.4V".
bool ParseQuantity(const std::string& word, const char* unit, double& value)
{
    const char* text = word.c_str();
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && std::string(end) == unit;
}

struct Toggle {
    const char* on;
    const char* off;
};

const Toggle ON_OFF = { "on", "off" };
const Toggle DOWN_UP = { "down", "up" };
const Toggle IN_OUT = { "in", "out" };
const Toggle MEDIA = { "sd", "internal" };

bool ParseSwitch(const Words& args, const Toggle& words, bool& value, std::string& error)
{
    if (args.empty() || (args[0] != words.on && args[0] != words.off)) {
        error = std::string("expected ") + words.on + " or " + words.off;
        return false;
    }
    value = args[0] == words.on;
    return true;
}

// A switch word and nothing after it.
bool ParseOneWord(const Words& args, const Toggle& words, bool& value, std::string& error)
{
    if (!ParseSwitch(args, words, value, error))
        return false;
    if (args.size() != 1) {
        error = "expected one word";
        return false;
    }
    return true;
}

// "acc on [12.4V]", "acc off"
bool ParseAcc(const Words& args, Apply& apply, std::string& error)
{
    bool on = false;
    if (!ParseSwitch(args, ON_OFF, on, error))
        return false;
    double volts = 0;
    bool withVolts = args.size() == 2 && on;
    if (args.size() > 2 || (args.size() == 2 && !(withVolts && ParseQuantity(args[1], "V", volts)))) {
        error = "expected acc on [volts V] or acc off";
        return false;
    }
    apply = [on, withVolts, volts](BoardState& s) {
        s.acc = on;
        if (withVolts)
            s.volts = static_cast<float>(volts);
        // With the ignition off the car stands.
        if (!on)
            s.sensors.gps.kmh = 0;
    };
    return true;
}

// One switch of the board: "powerkey down", "power off" (B+ cut), "card out".
template <bool BoardState::*Field, const Toggle& Choice>
bool ParseToggle(const Words& args, Apply& apply, std::string& error)
{
    bool on = false;
    if (!ParseOneWord(args, Choice, on, error))
        return false;
    apply = [on](BoardState& s) { s.*Field = on; };
    return true;
}

// One measured value of the board: "voltage 11.8V", "temp 70C".
template <float BoardState::*Field, char Unit>
bool ParseReading(const Words& args, Apply& apply, std::string& error)
{
    const char unit[] = { Unit, '\0' };
    double value = 0;
    if (args.size() != 1 || !ParseQuantity(args[0], unit, value)) {
        error = std::string("expected one value in ") + unit;
        return false;
    }
    apply = [value](BoardState& s) { s.*Field = static_cast<float>(value); };
    return true;
}

// "kill": the program is cut off at once, as by a power cut (SIGKILL).
bool ParseKill(const Words& args, Apply& apply, std::string& error)
{
    if (!args.empty()) {
        error = "expected kill alone";
        return false;
    }
    apply = [](BoardState& s) { ++s.kills; };
    return true;
}

// "storage sd|internal", "parking on|off": what the preferences in the EEPROM say.
template <std::string BoardState::*Field, const Toggle& Choices>
bool ParsePreference(const Words& args, Apply& apply, std::string& error)
{
    bool first = false;
    if (!ParseOneWord(args, Choices, first, error))
        return false;
    std::string value = args[0];
    apply = [value](BoardState& s) { s.*Field = value; };
    return true;
}

struct EventKind {
    const char* name;
    EventParser parse;
};

const EventKind EVENT_KINDS[] = {
    { "acc", ParseAcc },
    { "voltage", ParseReading<&BoardState::volts, 'V'> },
    { "temp", ParseReading<&BoardState::celsius, 'C'> },
    { "powerkey", ParseToggle<&BoardState::powerKey, DOWN_UP> },
    { "power", ParseToggle<&BoardState::supply, ON_OFF> },
    { "card", ParseToggle<&BoardState::card, IN_OUT> },
    { "kill", ParseKill },
    { "storage", ParsePreference<&BoardState::storage, MEDIA> },
    { "parking", ParsePreference<&BoardState::parking, ON_OFF> },
    { "gps", ParseGps },
    { "shock", ParseShock },
    { "tap", ParseTap },
    { "motion", ParseMotion },
};

bool ParseTime(const std::string& word, double& seconds)
{
    double ms = 0;
    if (ParseQuantity(word, "ms", ms)) {
        seconds = ms / 1000;
        return seconds >= 0;
    }
    return ParseQuantity(word, "s", seconds) && seconds >= 0;
}

// "await recording": what the timeline waits for; the awaits of one scenario share a watch.
bool ParseAwait(const Words& args, const std::shared_ptr<RecordingWatch>& watch, std::function<bool()>& until,
                std::string& error)
{
    if (args.size() != 1 || args[0] != "recording") {
        error = "expected await recording";
        return false;
    }
    until = [watch] { return watch->Met(); };
    return true;
}

bool ParseLine(const Words& words, const std::shared_ptr<RecordingWatch>& watch, ScenarioEvent& event,
               std::string& error)
{
    if (!ParseTime(words[0], event.atSec)) {
        error = "bad time \"" + words[0] + "\"";
        return false;
    }
    if (words.size() < 2) {
        error = "no event";
        return false;
    }
    if (words[1] == "await")
        return ParseAwait(Words(words.begin() + 2, words.end()), watch, event.until, error);
    for (const EventKind& kind : EVENT_KINDS)
        if (words[1] == kind.name)
            return kind.parse(Words(words.begin() + 2, words.end()), event.apply, error);
    error = "unknown event \"" + words[1] + "\"";
    return false;
}

} // namespace

bool Scenario::Parse(const std::string& text, std::string& error)
{
    _events.clear();
    auto watch = std::make_shared<RecordingWatch>();
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream split(line);
        Words words;
        for (std::string word; split >> word;)
            words.push_back(word);
        if (words.empty() || words[0][0] == '#')
            continue;
        ScenarioEvent event;
        event.line = number;
        event.text = line;
        std::string reason;
        if (!ParseLine(words, watch, event, reason)) {
            error = "line " + std::to_string(number) + ": " + reason;
            _events.clear();
            return false;
        }
        _events.push_back(event);
    }
    std::stable_sort(_events.begin(), _events.end(),
                     [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.atSec < b.atSec; });
    return true;
}

} // namespace board

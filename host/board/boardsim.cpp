// boardsim [SCENARIO]: plays the car and the board for one run of dashrec
// inside the sandbox. It lays out /sys, binds the MCU line at /dev/ttyS1
// and the GPS line at /dev/ttyS4, drives the accelerometer and touch models,
// plays the scenario (a file, or ACC on at 12.4 V when none is given) and
// records every frame the program sends in "$DASHREC_HOST_DIR/mcu.log". It
// prints "[boardsim] ready" once the program may start (the events of time 0
// are in place by then), logs each event to standard error as it plays it,
// and ends when the program asks the MCU for power-off, or on SIGINT or
// SIGTERM. A "kill" event cuts off the pid in "$DASHREC_HOST_DIR/dashrec.pid".

#include "host/board/Board.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

const char* const DEFAULT_SCENARIO = "0s acc on 12.4V\n";

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int)
{
    gStop = 1;
}

bool ReadScenario(int argc, char* argv[], std::string& text)
{
    if (argc < 2) {
        text = DEFAULT_SCENARIO;
        return true;
    }
    std::ifstream in(argv[1]);
    std::stringstream all;
    all << in.rdbuf();
    text = all.str();
    return static_cast<bool>(in);
}

} // namespace

int main(int argc, char* argv[])
{
    std::string text;
    if (!ReadScenario(argc, argv, text)) {
        std::fprintf(stderr, "[boardsim] cannot read %s\n", argv[1]);
        return 1;
    }
    board::Scenario scenario;
    std::string error;
    if (!scenario.Parse(text, error)) {
        std::fprintf(stderr, "[boardsim] %s: %s\n", argc < 2 ? "scenario" : argv[1], error.c_str());
        return 1;
    }
    board::Board sim(scenario);
    const char* hostDir = std::getenv("DASHREC_HOST_DIR");
    if (hostDir != nullptr)
        sim.RecordTo(std::string(hostDir) + "/mcu.log");
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!sim.Start())
        return 1;
    std::printf("[boardsim] ready\n");
    std::fflush(stdout);
    while (!gStop && !sim.PoweredOff())
        usleep(100 * 1000);
    sim.Stop();
    return 0;
}

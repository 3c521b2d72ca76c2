#pragma once
// The far end of one of the board's serial lines: a pty pair whose slave is
// bound over the device node ("/dev/ttyS1"), so the program opens it as its
// serial line while the simulator or a test reads and writes the master.
// Needs the sandbox (a mount namespace of its own and its own devpts).

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace board {

class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // False (with the reason on stderr) when the pair cannot be made or bound.
    bool Bind(const std::string& devicePath);
    void Unbind();

    // -1 when the line is full: nobody has read it for a while.
    ssize_t Write(const void* bytes, size_t length);
    // Waits up to timeoutMs for bytes; 0 when none came, -1 on error.
    ssize_t Read(void* bytes, size_t size, int timeoutMs);

private:
    int _master = -1;
    // Kept open so the master never sees a hang-up while the program reopens the line.
    int _slave = -1;
    std::string _bound;
};

} // namespace board

#pragma once
// A chip on a host I2C bus. Its registers (or memory) live in a file of the
// sandbox, "$DASHREC_HOST_DIR/i2c/<name>.bin", read before and written after
// every transfer, so a test or the board simulator can read, corrupt and
// inject them between two transfers of the program.
//
// Which chips sit on which bus is the board file "$DASHREC_HOST_DIR/i2c/board":
// one line "<bus node> <model name>" per chip; without the file the board is
// DEFAULT_BOARD. A chip can be made to refuse its next transfers (a NAK) by
// writing a count into "<name>.nak"; -1 refuses them all. A memory chip's
// worn cells, one address a line in "<name>.worn", acknowledge a write but
// read erased after it.
//
// A new chip model is a file with a class derived from ChipModel and a row
// in the table of ChipModels.cpp.

#include <cstddef>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace vk::host {

extern const char* const DEFAULT_BOARD;

std::string I2cStateDir();
std::string BoardPath();
std::string ChipStatePath(const std::string& name);

// The state file of one chip; a missing or short file reads as `blank` bytes.
class ChipState {
public:
    ChipState(std::string name, size_t size, unsigned char blank);
    std::vector<unsigned char> Load() const;
    // The time of the last change: from this write, or from whoever edited the file.
    timespec Changed() const;
    // Writes the bytes; `changed` back-dates the file's time (for a clock that keeps its phase).
    void Save(const std::vector<unsigned char>& bytes, const timespec* changed = nullptr) const;
    // True when an injected NAK refuses this transfer.
    bool Refuses() const;
    // The addresses of the injected worn cells.
    std::set<size_t> WornCells() const;

private:
    std::string _name;
    size_t _size;
    unsigned char _blank;
};

class ChipModel {
public:
    ChipModel(const std::string& name, size_t size, unsigned char blank)
        : _state(name, size, blank)
    {
    }
    virtual ~ChipModel() = default;
    virtual bool Answers(int address) const = 0;
    // One message of a transfer addressed to the chip; false is a NAK.
    virtual bool Write(int address, const unsigned char* data, size_t size) = 0;
    virtual bool Read(int address, unsigned char* data, size_t size) = 0;
    bool Refuses() const { return _state.Refuses(); }

protected:
    const ChipState _state;
};

} // namespace vk::host

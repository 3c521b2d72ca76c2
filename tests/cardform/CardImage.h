#pragma once
// A sparse image file standing in for a card, in a folder of its own that is
// removed with it, and the few raw reads and writes the tests look at.

#include <cstdint>
#include <string>
#include <vector>

class CardImage {
public:
    static constexpr uint64_t SMALLEST_CARD = 966656; // sectors

    explicit CardImage(uint64_t sectors);
    ~CardImage();
    CardImage(const CardImage&) = delete;
    CardImage& operator=(const CardImage&) = delete;

    const std::string& Path() const { return _path; }
    std::vector<uint8_t> Read(uint64_t offset, size_t bytes) const;
    void Write(uint64_t offset, const std::vector<uint8_t>& bytes) const;
    uint32_t ReadLe32(uint64_t offset) const;
    void WriteLe32(uint64_t offset, uint32_t value) const;

private:
    std::string _folder;
    std::string _path;
};

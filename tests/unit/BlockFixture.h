// Images built in memory for the engine's tests: filler bytes, a block at a
// chosen offset, stray markers where a case needs them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fixture {

// Tests may spell the marker out; shipped programs hold it only in their block.
inline const std::string kMarker = "xgrwd[ut095noosernf34985y9237yrjnlms84thzcne9hwjoelkm8u59843";

inline std::string TemplateDataArea()
{
    std::string cell;
    for (int i = 0; i < 99; ++i)
        cell += static_cast<char>('0' + (i + 1) % 10);
    cell += '\0';
    std::string area;
    for (int i = 0; i < 10; ++i)
        area += cell;
    return area;
}

// size bytes of filler that never forms the marker.
inline std::vector<uint8_t> Filler(size_t size)
{
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i)
        v[i] = static_cast<uint8_t>("MZ.pe-section."[i % 14]);
    return v;
}

inline void PutMarker(std::vector<uint8_t>& image, size_t at)
{
    std::memcpy(image.data() + at, kMarker.data(), kMarker.size());
}

// A whole unbranded block at offset at.
inline void PutBlock(std::vector<uint8_t>& image, size_t at)
{
    PutMarker(image, at);
    const std::string area = TemplateDataArea();
    std::memcpy(image.data() + at + 60, area.data(), area.size());
    PutMarker(image, at + 1060);
}

inline std::vector<uint8_t> ImageWithBlock(size_t size, size_t at)
{
    auto image = Filler(size);
    PutBlock(image, at);
    return image;
}

}  // namespace fixture

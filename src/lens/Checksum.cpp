#include <array>

#include "Frames.h"

namespace lens {

namespace {

// One table per CRC, a byte at a time: the frame decoder checks every frame it meets.
template <typename T, bool Reflected> constexpr std::array<T, 256> crcTable(T poly) {
    std::array<T, 256> table{};
    constexpr int kBits = sizeof(T) * 8;
    for (unsigned i = 0; i < 256; ++i) {
        T crc = Reflected ? T(i) : T(T(i) << (kBits - 8));
        for (int bit = 0; bit < 8; ++bit)
            if constexpr (Reflected)
                crc = crc & 1 ? T((crc >> 1) ^ poly) : T(crc >> 1);
            else
                crc = crc >> (kBits - 1) ? T((crc << 1) ^ poly) : T(crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kCrc8 = crcTable<uint8_t, false>(0x07);
constexpr auto kCrc16Modbus = crcTable<uint16_t, true>(0xA001);
constexpr auto kCrc16Ccitt = crcTable<uint16_t, false>(0x1021);
constexpr auto kCrc32 = crcTable<uint32_t, true>(0xEDB88320u);

} // namespace

std::size_t checksumBytes(Checksum kind) {
    switch (kind) {
    case Checksum::None:
        return 0;
    case Checksum::Sum8:
    case Checksum::Xor8:
    case Checksum::Crc8:
        return 1;
    case Checksum::Crc16Modbus:
    case Checksum::Crc16CcittFalse:
        return 2;
    case Checksum::Crc32:
        return 4;
    }
    return 0;
}

uint32_t checksum(Checksum kind, const uint8_t* data, std::size_t n) {
    uint32_t value = 0;
    switch (kind) {
    case Checksum::None:
        break;
    case Checksum::Sum8:
        for (std::size_t i = 0; i < n; ++i)
            value += data[i];
        value &= 0xFF;
        break;
    case Checksum::Xor8:
        for (std::size_t i = 0; i < n; ++i)
            value ^= data[i];
        break;
    case Checksum::Crc8:
        for (std::size_t i = 0; i < n; ++i)
            value = kCrc8[value ^ data[i]];
        break;
    case Checksum::Crc16Modbus:
        value = 0xFFFF;
        for (std::size_t i = 0; i < n; ++i)
            value = (value >> 8) ^ kCrc16Modbus[(value ^ data[i]) & 0xFF];
        break;
    case Checksum::Crc16CcittFalse:
        value = 0xFFFF;
        for (std::size_t i = 0; i < n; ++i)
            value = ((value << 8) & 0xFFFF) ^ kCrc16Ccitt[((value >> 8) ^ data[i]) & 0xFF];
        break;
    case Checksum::Crc32:
        value = 0xFFFFFFFFu;
        for (std::size_t i = 0; i < n; ++i)
            value = (value >> 8) ^ kCrc32[(value ^ data[i]) & 0xFF];
        value ^= 0xFFFFFFFFu;
        break;
    }
    return value;
}

} // namespace lens

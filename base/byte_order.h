// Little-endian reads and writes of the integers in the store image.
#ifndef LINTARO_BASE_BYTE_ORDER_H
#define LINTARO_BASE_BYTE_ORDER_H

#include <cstdint>

inline std::uint16_t ReadUint16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline std::int16_t ReadInt16(const std::uint8_t* bytes) {
    return static_cast<std::int16_t>(ReadUint16(bytes));
}

inline std::uint32_t ReadUint32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

inline void WriteUint16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void WriteInt16(std::uint8_t* bytes, std::int16_t value) {
    WriteUint16(bytes, static_cast<std::uint16_t>(value));
}

inline void WriteUint32(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

#endif

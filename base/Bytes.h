// Little- and big-endian access to byte buffers. Every fixed-layout record and
// command block in the program reads and writes its fields through these, so no
// code depends on the host's byte order or on packed-struct alignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace sv {

template <typename T>
constexpr T LoadLE(const std::uint8_t* p) {
    static_assert(std::is_integral_v<T>);
    using U = std::make_unsigned_t<T>;
    U v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<U>(static_cast<U>(p[i]) << (8 * i));
    return static_cast<T>(v);
}

template <typename T>
constexpr void StoreLE(std::uint8_t* p, T value) {
    static_assert(std::is_integral_v<T>);
    using U = std::make_unsigned_t<T>;
    U v = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

template <typename T>
constexpr T LoadBE(const std::uint8_t* p) {
    static_assert(std::is_integral_v<T>);
    using U = std::make_unsigned_t<T>;
    U v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v = static_cast<U>((v << 8) | p[i]);
    return static_cast<T>(v);
}

template <typename T>
constexpr void StoreBE(std::uint8_t* p, T value) {
    static_assert(std::is_integral_v<T>);
    using U = std::make_unsigned_t<T>;
    U v = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        p[sizeof(T) - 1 - i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint16_t LoadLE16(const std::uint8_t* p) { return LoadLE<std::uint16_t>(p); }
inline std::uint32_t LoadLE32(const std::uint8_t* p) { return LoadLE<std::uint32_t>(p); }
inline std::uint16_t LoadBE16(const std::uint8_t* p) { return LoadBE<std::uint16_t>(p); }
inline std::uint32_t LoadBE32(const std::uint8_t* p) { return LoadBE<std::uint32_t>(p); }
inline void StoreLE16(std::uint8_t* p, std::uint16_t v) { StoreLE(p, v); }
inline void StoreLE32(std::uint8_t* p, std::uint32_t v) { StoreLE(p, v); }
inline void StoreBE16(std::uint8_t* p, std::uint16_t v) { StoreBE(p, v); }
inline void StoreBE32(std::uint8_t* p, std::uint32_t v) { StoreBE(p, v); }

}  // namespace sv

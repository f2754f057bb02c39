// Fixed-layout byte records.
//
// A record is kept as its bytes; every field is read and written through a
// typed accessor at a named offset, checked at compile time against the
// record's size. Reserved and unknown bytes therefore survive a load and save
// untouched, and no access depends on packing or alignment.
//
// A record class derives from one of the storage types below and declares its
// fields with the SV_* macros. The storage is either owned (a value record) or
// a view into a larger record (a track entry inside the disc record).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/Bytes.h"
#include "base/Text.h"

namespace sv {

template <std::size_t N>
class OwnedBytes {
public:
    static constexpr std::size_t kSize = N;
    std::uint8_t* Data() { return bytes_.data(); }
    const std::uint8_t* Data() const { return bytes_.data(); }
    std::span<std::uint8_t, N> Bytes() { return bytes_; }
    std::span<const std::uint8_t, N> Bytes() const { return bytes_; }
    void Clear() { bytes_.fill(0); }
    friend bool operator==(const OwnedBytes&, const OwnedBytes&) = default;

private:
    std::array<std::uint8_t, N> bytes_{};
};

template <std::size_t N>
class ViewBytes {
public:
    static constexpr std::size_t kSize = N;
    explicit ViewBytes(std::uint8_t* p) : p_(p) {}
    std::uint8_t* Data() const { return p_; }
    std::span<std::uint8_t, N> Bytes() const { return std::span<std::uint8_t, N>(p_, N); }
    void Clear() const { std::fill(p_, p_ + N, std::uint8_t{0}); }

private:
    std::uint8_t* p_;
};

}  // namespace sv

// An integer field of type T (little-endian) at byte offset Offset.
#define SV_INT(T, Name, Offset)                                                         \
    static constexpr std::size_t k##Name = (Offset);                                   \
    static_assert((Offset) + sizeof(T) <= kSize, #Name " lies outside the record");    \
    T Name() const { return ::sv::LoadLE<T>(this->Data() + (Offset)); }                \
    void Set##Name(T v) { ::sv::StoreLE<T>(this->Data() + (Offset), v); }

// A one-byte boolean: any non-zero byte reads as true, writes store 0 or 1.
#define SV_BOOL(Name, Offset)                                                           \
    static constexpr std::size_t k##Name = (Offset);                                   \
    static_assert((Offset) + 1 <= kSize, #Name " lies outside the record");            \
    bool Name() const { return this->Data()[(Offset)] != 0; }                          \
    void Set##Name(bool v) { this->Data()[(Offset)] = v ? 1 : 0; }

// A NUL-terminated text field of Width bytes (UTF-8, cp1251 read fallback).
#define SV_TEXT(Name, Offset, Width)                                                    \
    static constexpr std::size_t k##Name = (Offset);                                   \
    static constexpr std::size_t k##Name##Size = (Width);                              \
    static_assert((Offset) + (Width) <= kSize, #Name " lies outside the record");      \
    std::string Name() const { return ::sv::ReadFixedText(this->Data() + (Offset), (Width)); } \
    void Set##Name(std::string_view v) { ::sv::WriteFixedText(this->Data() + (Offset), (Width), v); }

// Three bytes M, S, F.
#define SV_MSF(Name, Offset)                                                            \
    static constexpr std::size_t k##Name = (Offset);                                   \
    static_assert((Offset) + 3 <= kSize, #Name " lies outside the record");            \
    ::sv::Msf Name() const {                                                            \
        const std::uint8_t* p = this->Data() + (Offset);                               \
        return ::sv::Msf{p[0], p[1], p[2]};                                            \
    }                                                                                   \
    void Set##Name(::sv::Msf v) {                                                       \
        std::uint8_t* p = this->Data() + (Offset);                                     \
        p[0] = v.m; p[1] = v.s; p[2] = v.f;                                             \
    }

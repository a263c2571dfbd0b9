// SHA-256, so that a backup can say what it holds and a restore can tell a whole backup from a
// cut or altered one. Fed in pieces; a copy of the state gives the digest of what it has seen so
// far while the original goes on.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class Sha256 {
public:
    Sha256();
    void add(std::string_view bytes);
    // The digest of everything added, as 64 lower-case hex digits; the state is left as it was.
    std::string hex_digest() const;

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pending_size_ = 0;
    std::uint64_t total_size_ = 0;
};

// The digest of bytes, as 64 lower-case hex digits.
std::string sha256_hex(std::string_view bytes);

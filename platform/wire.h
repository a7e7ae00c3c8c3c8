// Bounded byte cursors: the one way records are read from and written to bytes.
//
// Every value is built from single bytes, so the code reads the same on a
// little-endian host and on the big-endian target. "be" variants are network
// order (packet records, roaming records); "h" variants are host order (kernel
// request records, event bodies, the apsim socket protocol). A read past the
// end never happens: the reader latches a failure and returns zeros.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wire {

inline std::uint16_t load_be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t load_be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}
inline void store_be16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void store_be32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
// Host order: memcpy is the portable way to reinterpret bytes as an integer.
template <typename T>
inline T load_h(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T>
inline void store_h(std::uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

class Reader {
   public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

    bool ok() const { return ok_; }
    std::size_t left() const { return ok_ ? data_.size() - pos_ : 0; }
    std::size_t pos() const { return pos_; }

    std::uint8_t u8() {
        const std::uint8_t* p = take(1);
        return p ? p[0] : 0;
    }
    std::uint16_t be16() {
        const std::uint8_t* p = take(2);
        return p ? load_be16(p) : 0;
    }
    std::uint32_t be32() {
        const std::uint8_t* p = take(4);
        return p ? load_be32(p) : 0;
    }
    std::uint16_t h16() { return h<std::uint16_t>(); }
    std::uint32_t h32() { return h<std::uint32_t>(); }
    std::int32_t hi32() { return h<std::int32_t>(); }
    std::uint64_t h64() { return h<std::uint64_t>(); }

    // Copies n bytes out; on a short read the destination is zero-filled.
    void bytes(void* dst, std::size_t n) {
        const std::uint8_t* p = take(n);
        if (p)
            std::memcpy(dst, p, n);
        else
            std::memset(dst, 0, n);
    }
    std::span<const std::uint8_t> view(std::size_t n) {
        const std::uint8_t* p = take(n);
        return p ? std::span<const std::uint8_t>(p, n) : std::span<const std::uint8_t>();
    }
    void skip(std::size_t n) { take(n); }

    // Length-prefixed (host u32) blob and string, as the apsim protocol uses.
    std::span<const std::uint8_t> blob() { return view(h32()); }
    std::string str() {
        auto v = blob();
        return std::string(reinterpret_cast<const char*>(v.data()), v.size());
    }

   private:
    template <typename T>
    T h() {
        const std::uint8_t* p = take(sizeof(T));
        return p ? load_h<T>(p) : T{};
    }
    const std::uint8_t* take(std::size_t n) {
        if (!ok_ || n > data_.size() - pos_) {
            ok_ = false;
            return nullptr;
        }
        const std::uint8_t* p = data_.data() + pos_;
        pos_ += n;
        return p;
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// Random-access reads of one fixed-layout record, each field by its offset
// (host order). A field that does not lie wholly inside the record reads as
// zeros, so a short record can never be read past its end.
class Fields {
   public:
    explicit Fields(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t size() const { return data_.size(); }
    std::uint8_t u8(std::size_t off) const { return at(off).u8(); }
    std::uint16_t h16(std::size_t off) const { return at(off).h16(); }
    std::uint32_t h32(std::size_t off) const { return at(off).h32(); }
    std::int32_t hi32(std::size_t off) const { return at(off).hi32(); }
    // The n bytes at off, or an empty span when they are not all there.
    std::span<const std::uint8_t> view(std::size_t off, std::size_t n) const {
        return at(off).view(n);
    }
    // The record nested at off (n bytes, or fewer where the record ends).
    Fields sub(std::size_t off, std::size_t n) const {
        if (off >= data_.size()) return Fields({});
        return Fields(data_.subspan(off, std::min(n, data_.size() - off)));
    }

   private:
    Reader at(std::size_t off) const {
        Reader r(data_);
        r.skip(off);
        return r;
    }
    std::span<const std::uint8_t> data_;
};

// The value encoders both writers share: each value as its bytes, handed to
// Out::bytes, which decides what a value that does not fit means.
template <typename Out>
class Encoder {
   public:
    Out& u8(std::uint8_t v) { return out().bytes(&v, 1); }
    Out& be16(std::uint16_t v) {
        std::uint8_t b[2];
        store_be16(b, v);
        return out().bytes(b, sizeof b);
    }
    Out& be32(std::uint32_t v) {
        std::uint8_t b[4];
        store_be32(b, v);
        return out().bytes(b, sizeof b);
    }
    Out& h16(std::uint16_t v) { return h(v); }
    Out& h32(std::uint32_t v) { return h(v); }
    Out& hi32(std::int32_t v) { return h(v); }
    Out& h64(std::uint64_t v) { return h(v); }

   private:
    Out& out() { return static_cast<Out&>(*this); }
    template <typename T>
    Out& h(T v) {
        std::uint8_t b[sizeof(T)];
        store_h(b, v);
        return out().bytes(b, sizeof b);
    }
};

// Growable writer for protocol messages.
class Writer : public Encoder<Writer> {
   public:
    std::vector<std::uint8_t>& buf() { return buf_; }
    const std::vector<std::uint8_t>& buf() const { return buf_; }
    std::span<const std::uint8_t> span() const { return buf_; }

    Writer& bytes(const void* p, std::size_t n) {
        // resize + memcpy rather than insert, and an explicit size bound:
        // GCC 12 reports false -Wstringop-overflow warnings otherwise at -O2.
        std::size_t at = buf_.size();
        if (n == 0 || n > buf_.max_size() - at) return *this;
        buf_.resize(at + n);
        std::memcpy(buf_.data() + at, p, n);
        return *this;
    }
    Writer& blob(std::span<const std::uint8_t> v) {
        h32(static_cast<std::uint32_t>(v.size()));
        return bytes(v.data(), v.size());
    }
    Writer& str(std::string_view s) {
        h32(static_cast<std::uint32_t>(s.size()));
        return bytes(s.data(), s.size());
    }

   private:
    std::vector<std::uint8_t> buf_;
};

// Fixed-size record writer over caller memory; latches failure instead of overrunning.
class Span : public Encoder<Span> {
   public:
    explicit Span(std::span<std::uint8_t> data) : data_(data) {}
    bool ok() const { return ok_; }
    std::size_t pos() const { return pos_; }
    void seek(std::size_t pos) {
        if (pos > data_.size())
            ok_ = false;
        else
            pos_ = pos;
    }
    Span& bytes(const void* p, std::size_t n) {
        if (!ok_ || n > data_.size() - pos_) {
            ok_ = false;
            return *this;
        }
        if (n) std::memcpy(data_.data() + pos_, p, n);
        pos_ += n;
        return *this;
    }

   private:
    std::span<std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace wire

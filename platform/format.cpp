// printf formats with two extra conversions: %i (IPv4 address held in
// network order) and %m (pointer to a 6-byte MAC address).
//
// Every standard conversion is handed to vsnprintf-family calls one at a time
// with exactly the flags, width, precision and length it was written with, so
// the output matches the C library's byte for byte.
#include <sys/types.h>

#include <cinttypes>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/qz.h"

namespace {

// Accumulates output into the caller's buffer, counting what would have been written.
struct Out {
    char* buf;
    std::size_t size;
    std::size_t len = 0;

    char* at() const { return len < size ? buf + len : nullptr; }
    std::size_t room() const { return len < size ? size - len : 0; }
    void put(const char* s, std::size_t n) {
        if (len < size) {
            std::size_t k = n < size - len ? n : size - len;
            std::memcpy(buf + len, s, k);
        }
        len += n;
    }
    // Formats one conversion straight into the remaining room.
    template <typename T>
    void conv(const char* cs, T value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        int n = std::snprintf(at(), room(), cs, value);
#pragma GCC diagnostic pop
        if (n > 0) len += static_cast<std::size_t>(n);
    }
    void terminate() {
        if (size == 0) return;
        buf[len < size ? len : size - 1] = '\0';
    }
};

enum class Len { none, hh, h, l, ll, j, z, t, L };

struct ConvSpec {
    char text[64];  // "%" flags width precision length conversion, '*' resolved
    bool left = false;
    int width = -1;
};

// Writes text padded to the conversion's width, honouring '-'.
void put_padded(Out& out, const ConvSpec& cs, const char* text) {
    std::size_t n = std::strlen(text);
    std::size_t w = cs.width > 0 ? static_cast<std::size_t>(cs.width) : 0;
    std::string pad(w > n ? w - n : 0, ' ');
    if (!cs.left) out.put(pad.data(), pad.size());
    out.put(text, n);
    if (cs.left) out.put(pad.data(), pad.size());
}

void put_ipv4(Out& out, const ConvSpec& cs, std::uint32_t addr) {
    // The value's bytes in memory are already network order on any host.
    unsigned char b[4];
    std::memcpy(b, &addr, 4);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    put_padded(out, cs, text);
}

void put_mac(Out& out, const ConvSpec& cs, const unsigned char* m) {
    char text[18];
    if (m)
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3],
                      m[4], m[5]);
    else
        std::snprintf(text, sizeof text, "(null)");
    put_padded(out, cs, text);
}

void conv_signed(Out& out, const char* s, Len len, va_list* ap) {
    switch (len) {
        case Len::l:
            return out.conv(s, va_arg(*ap, long));
        case Len::ll:
            return out.conv(s, va_arg(*ap, long long));
        case Len::j:
            return out.conv(s, va_arg(*ap, intmax_t));
        case Len::z:
            return out.conv(s, va_arg(*ap, ssize_t));
        case Len::t:
            return out.conv(s, va_arg(*ap, ptrdiff_t));
        default:
            return out.conv(s, va_arg(*ap, int));  // hh and h arrive promoted
    }
}

void conv_unsigned(Out& out, const char* s, Len len, va_list* ap) {
    switch (len) {
        case Len::l:
            return out.conv(s, va_arg(*ap, unsigned long));
        case Len::ll:
            return out.conv(s, va_arg(*ap, unsigned long long));
        case Len::j:
            return out.conv(s, va_arg(*ap, uintmax_t));
        case Len::z:
            return out.conv(s, va_arg(*ap, size_t));
        case Len::t:
            return out.conv(s, va_arg(*ap, ptrdiff_t));
        default:
            return out.conv(s, va_arg(*ap, unsigned int));
    }
}

// Parses the conversion that starts after the '%' before p and emits it; text
// that is no conversion is emitted as it stands.
void one_conversion(Out& out, const char*& p, va_list* ap) {
    const char* start = p - 1;  // the '%'
    ConvSpec cs;
    std::size_t k = 0;
    auto add = [&](char c) {
        if (k + 1 < sizeof cs.text) cs.text[k++] = c;
    };
    auto add_int = [&](int v) {
        char num[16];
        int n = std::snprintf(num, sizeof num, "%d", v);
        for (int i = 0; i < n; ++i) add(num[i]);
    };
    add('%');
    while (*p && std::strchr("-+ #0'", *p)) {
        if (*p == '-') cs.left = true;
        add(*p++);
    }
    if (*p == '*') {
        ++p;
        int w = va_arg(*ap, int);
        if (w < 0) {
            cs.left = true;
            add('-');
            w = w == INT_MIN ? INT_MAX : -w;
        }
        cs.width = w;
        add_int(w);
    } else {
        int w = 0;
        bool any = false;
        while (*p >= '0' && *p <= '9') {
            if (w < 100000) w = w * 10 + (*p - '0');
            any = true;
            add(*p++);
        }
        if (any) cs.width = w;
    }
    if (*p == '.') {
        add(*p++);
        if (*p == '*') {
            ++p;
            int prec = va_arg(*ap, int);
            if (prec >= 0)
                add_int(prec);
            else
                k -= 1;  // a negative precision counts as none
        } else {
            while (*p >= '0' && *p <= '9') add(*p++);
        }
    }
    Len len = Len::none;
    switch (*p) {
        case 'h':
            add(*p++);
            len = Len::h;
            if (*p == 'h') add(*p++), len = Len::hh;
            break;
        case 'l':
            add(*p++);
            len = Len::l;
            if (*p == 'l') add(*p++), len = Len::ll;
            break;
        case 'j':
            add(*p++), len = Len::j;
            break;
        case 'z':
            add(*p++), len = Len::z;
            break;
        case 't':
            add(*p++), len = Len::t;
            break;
        case 'L':
            add(*p++), len = Len::L;
            break;
        case 'q':
            add(*p++), len = Len::ll;
            break;
        default:
            break;
    }
    char c = *p;
    if (c == '\0') {
        out.put(start, static_cast<std::size_t>(p - start));
        return;
    }
    ++p;
    add(c);
    cs.text[k] = '\0';
    switch (c) {
        case '%':
            out.put("%", 1);
            return;
        case 'i':
            return put_ipv4(out, cs, va_arg(*ap, unsigned int));
        case 'm':
            return put_mac(out, cs, va_arg(*ap, const unsigned char*));
        case 'd':
            return conv_signed(out, cs.text, len, ap);
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            return conv_unsigned(out, cs.text, len, ap);
        case 'c':
            if (len == Len::l) return out.conv(cs.text, va_arg(*ap, wint_t));
            return out.conv(cs.text, va_arg(*ap, int));
        case 's':
            if (len == Len::l) return out.conv(cs.text, va_arg(*ap, const wchar_t*));
            return out.conv(cs.text, va_arg(*ap, const char*));
        case 'p':
            return out.conv(cs.text, va_arg(*ap, void*));
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (len == Len::L) return out.conv(cs.text, va_arg(*ap, long double));
            return out.conv(cs.text, va_arg(*ap, double));
        case 'n':
            // Writing through a pointer from a format is never wanted; skip it.
            (void)va_arg(*ap, void*);
            return;
        default:
            // Not a conversion: print it as written.
            out.put(start, static_cast<std::size_t>(p - start));
            return;
    }
}

}  // namespace

int qz_vsnprintf(char* buf, std::size_t size, const char* fmt, va_list ap) {
    Out out{buf, buf ? size : 0};
    if (!fmt) {
        out.terminate();
        return -1;
    }
    va_list aq;
    va_copy(aq, ap);
    const char* p = fmt;
    while (*p) {
        const char* pct = std::strchr(p, '%');
        if (!pct) {
            out.put(p, std::strlen(p));
            break;
        }
        out.put(p, static_cast<std::size_t>(pct - p));
        p = pct + 1;
        one_conversion(out, p, &aq);
    }
    va_end(aq);
    out.terminate();
    return out.len > INT_MAX ? INT_MAX : static_cast<int>(out.len);
}

int qz_snprintf(char* buf, std::size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = qz_vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    return n;
}

std::string qz_vformat(const char* fmt, va_list ap) {
    char small[256];
    va_list aq;
    va_copy(aq, ap);
    int n = qz_vsnprintf(small, sizeof small, fmt, aq);
    va_end(aq);
    if (n < 0) return std::string();
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, n);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    va_copy(aq, ap);
    qz_vsnprintf(s.data(), s.size(), fmt, aq);
    va_end(aq);
    s.resize(static_cast<std::size_t>(n));
    return s;
}

std::string qz_format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = qz_vformat(fmt, ap);
    va_end(ap);
    return s;
}

int qz_sprintf(char* buf, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = qz_vformat(fmt, ap);
    va_end(ap);
    if (buf) std::memcpy(buf, s.c_str(), s.size() + 1);
    return static_cast<int>(s.size());
}

int qz_printf(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = qz_vformat(fmt, ap);
    va_end(ap);
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
    return static_cast<int>(s.size());
}

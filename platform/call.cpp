#include "platform/call.h"

#include <algorithm>
#include <cstring>

#include "platform/backend.h"

namespace plat {

namespace {

Reply blob_call(proto::Op op, const wire::Writer& req) {
    Reply reply;
    std::vector<std::uint8_t> rest;
    reply.rc = call_rc(op, req, &rest);
    wire::Reader r(rest);
    auto blob = r.blob();
    if (r.ok())
        reply.out.assign(blob.begin(), blob.end());
    else if (reply.rc >= 0)
        reply.rc = -1;
    return reply;
}

// n records of `size` bytes filling `data` exactly, n no more than max.
bool take_records(std::span<const std::uint8_t> data, std::uint32_t n, std::uint32_t max,
                  std::size_t size, void* buf) {
    if (n > max || data.size() / size != n || data.size() % size != 0) return false;
    if (n == 0) return true;
    if (!buf) return false;
    std::memcpy(buf, data.data(), data.size());
    return true;
}

}  // namespace

Reply fe_call(proto::FeFn fn, const wire::Writer& args) {
    wire::Writer req;
    req.h32(static_cast<std::uint32_t>(fn)).blob(args.span());
    return blob_call(proto::Op::Fe, req);
}

Reply named_call(proto::Op op, std::string_view fn, const wire::Writer& args) {
    wire::Writer req;
    req.str(fn).blob(args.span());
    return blob_call(op, req);
}

int reply_words(const Reply& r, std::initializer_list<std::uint32_t*> to) {
    if (r.rc < 0) return r.rc;
    if (r.out.size() != to.size() * 4) return -1;
    wire::Reader in(r.out);
    for (std::uint32_t* p : to) *p = in.h32();
    return r.rc;
}

int reply_record(const Reply& r, void* buf, std::size_t size) {
    if (r.rc != 0) return r.rc;
    return take_records(r.out, 1, 1, size, buf) ? 0 : -1;
}

int reply_batch(const Reply& r, void* buf, std::uint32_t* count, std::size_t size) {
    if (r.rc < 0) return r.rc;
    wire::Reader in(r.out);
    std::uint32_t n = in.h32();
    if (!in.ok() || !take_records(in.view(in.left()), n, *count, size, buf)) return -1;
    *count = n;
    return r.rc;
}

int reply_entries(const Reply& r, void* buf, std::uint32_t max, std::size_t size) {
    if (r.rc < 0) return r.rc;
    return take_records(r.out, static_cast<std::uint32_t>(r.rc), max, size, buf) ? r.rc : -1;
}

int reply_name(const Reply& r, char* dst, std::size_t size) {
    if (r.rc != 0) return r.rc;
    wire::Reader in(r.out);
    auto name = in.blob();
    if (!in.ok() || size == 0) return -1;
    std::size_t n = std::min(name.size(), size - 1);
    if (n) std::memcpy(dst, name.data(), n);
    dst[n] = '\0';
    return 0;
}

}  // namespace plat

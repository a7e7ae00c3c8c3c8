#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kcodes.h"
#include "platform/qz.h"
#include "tests/support/local_ap.h"

namespace {

constexpr std::size_t kReplyArea = 1500;

// fed's way of filling the 20-byte message (host order).
void fill_msg(std::uint8_t* m, std::uint16_t code, std::uint32_t reply_ref,
              std::uint32_t reply_size, std::uint32_t record_ref) {
    wire::store_h<std::uint8_t>(m + 0, 2);
    wire::store_h<std::uint8_t>(m + 1, 0);
    wire::store_h<std::uint16_t>(m + 2, code);
    wire::store_h<std::uint32_t>(m + 8, reply_ref);
    wire::store_h<std::uint32_t>(m + 12, reply_size);
    wire::store_h<std::uint32_t>(m + 16, record_ref);
}

// The kernel side: checks what arrives, answers the result word and a value.
struct Kernel {
    std::atomic<int> sends{0};
    std::atomic<int> bad{0};
    std::size_t record_back = 0;  // bytes of record returned (0: as received)

    void serve(wire::Reader& r, wire::Writer& reply) {
        ++sends;
        std::int32_t handle = r.hi32();
        auto header = r.blob();
        std::uint16_t code = r.h16();
        auto record = r.blob();
        auto area = r.blob();
        if (!r.ok() || handle != 7 || header.size() != 20 || header[0] != 2 || header[1] != 0 ||
            wire::load_h<std::uint16_t>(header.data() + 2) != code ||
            record.size() != kcode_record_size(code) ||
            wire::load_h<std::uint32_t>(header.data() + 12) != kReplyArea ||
            area.size() != kReplyArea ||
            !std::all_of(area.begin(), area.end(), [](std::uint8_t b) { return b == 0; })) {
            ++bad;
            reply.hi32(-1);
            return;
        }
        // Result 0; the record's second word comes back as code * 1000 + its old value.
        std::vector<std::uint8_t> out(record.begin(), record.end());
        std::uint32_t v = wire::load_h<std::uint32_t>(out.data() + 4);
        wire::store_h<std::int32_t>(out.data(), 0);
        wire::store_h<std::uint32_t>(out.data() + 4, code * 1000u + v);
        if (record_back) out.resize(record_back, 0xEE);
        std::vector<std::uint8_t> back(area.size() + 64, 0xAB);  // more than was lent
        reply.hi32(0).blob(out).blob(back);
    }
};

class Mpi : public ::testing::Test {
   protected:
    void SetUp() override {
        s_.answer(proto::Op::MpiSend,
                  [this](wire::Reader& r, wire::Writer& w) { kernel_.serve(r, w); });
        s_.answer(proto::Op::MpiOpen,
                  [](wire::Reader& r, wire::Writer& w) { w.hi32(r.h32() == 2 ? 7 : -1); });
    }
    testap::LocalAp s_;
    Kernel kernel_;
};

// A request record with guard bytes after it, to catch writes past its size.
struct Guarded {
    std::uint8_t bytes[8 + 8];
};

int send(int handle, std::uint8_t* msg, std::uint16_t code, Guarded& rec,
         std::vector<std::uint8_t>& area) {
    std::fill(area.begin(), area.begin() + kReplyArea, 0);
    fill_msg(msg, code, qz_mpi_ref(area.data(), kReplyArea), kReplyArea,
             qz_mpi_ref(rec.bytes, kcode_record_size(code)));
    return qz_mpi_sendto_kernel(handle, msg, 20, 0);
}

TEST_F(Mpi, RequestCarriesHeaderRecordAndZeroedReplyAndCopiesBackWithinBounds) {
    int h = qz_mpi_open(2);
    ASSERT_EQ(h, 7);
    auto* msg = static_cast<std::uint8_t*>(qz_mpi_malloc(256));
    ASSERT_NE(msg, nullptr);
    std::vector<std::uint8_t> area(kReplyArea + 16, 0);
    area[kReplyArea] = 0x5A;  // past the lent area
    Guarded rec;
    std::memset(rec.bytes, 0x77, sizeof rec.bytes);
    wire::store_h<std::int32_t>(rec.bytes, -99);
    wire::store_h<std::uint32_t>(rec.bytes + 4, 5);
    kernel_.record_back = 16;  // the kernel answers more than the record holds
    ASSERT_EQ(send(h, msg, 141, rec, area), 0);
    EXPECT_EQ(kernel_.bad, 0);
    EXPECT_EQ(wire::load_h<std::int32_t>(rec.bytes), 0);
    EXPECT_EQ(wire::load_h<std::uint32_t>(rec.bytes + 4), 141005u);
    for (std::size_t i = 8; i < sizeof rec.bytes; ++i) EXPECT_EQ(rec.bytes[i], 0x77) << i;
    EXPECT_EQ(area[0], 0xAB);
    EXPECT_EQ(area[kReplyArea - 1], 0xAB);
    EXPECT_EQ(area[kReplyArea], 0x5A);
    qz_mpi_free(msg);
}

TEST_F(Mpi, RefusesBadMessagesWithoutSending) {
    std::uint8_t msg[20] = {};
    Guarded rec{};
    std::vector<std::uint8_t> area(kReplyArea);
    fill_msg(msg, 140, qz_mpi_ref(area.data(), kReplyArea), kReplyArea, 12345);  // unknown ref
    EXPECT_EQ(qz_mpi_sendto_kernel(7, msg, 20, 0), -1);
    fill_msg(msg, 140, 0, 0, qz_mpi_ref(rec.bytes, 8));
    EXPECT_EQ(qz_mpi_sendto_kernel(7, msg, 19, 0), -1);
    EXPECT_EQ(qz_mpi_sendto_kernel(7, msg, MPI_MSG_SIZE_MAX, 0), -1);
    EXPECT_EQ(qz_mpi_sendto_kernel(7, nullptr, 20, 0), -1);
    EXPECT_EQ(kernel_.sends, 0);
    // A reference serves one send only.
    std::uint32_t ref = qz_mpi_ref(rec.bytes, 8);
    fill_msg(msg, 140, qz_mpi_ref(area.data(), kReplyArea), kReplyArea, ref);
    EXPECT_EQ(qz_mpi_sendto_kernel(7, msg, 20, 0), 0);
    fill_msg(msg, 140, qz_mpi_ref(area.data(), kReplyArea), kReplyArea, ref);
    EXPECT_EQ(qz_mpi_sendto_kernel(7, msg, 20, 0), -1);
    EXPECT_EQ(kernel_.sends, 1);
}

TEST_F(Mpi, TwoThreadsSendWholeRequests) {
    constexpr int kRounds = 300;
    // fed registers a request's memory and sends it under its channel lock, so
    // a reference is never pushed out of the ring before its send.
    static std::mutex channel;
    auto worker = [](std::uint16_t code, std::atomic<int>* wrong) {
        std::uint8_t msg[20];
        std::vector<std::uint8_t> area(kReplyArea);
        for (int i = 0; i < kRounds; ++i) {
            Guarded rec{};
            wire::store_h<std::uint32_t>(rec.bytes + 4, static_cast<std::uint32_t>(i));
            std::unique_lock lock(channel);
            if (send(7, msg, code, rec, area) != 0 ||
                wire::load_h<std::uint32_t>(rec.bytes + 4) != code * 1000u + i)
                ++*wrong;
        }
    };
    std::atomic<int> wrong{0};
    std::thread a(worker, 140, &wrong), b(worker, 141, &wrong);
    a.join();
    b.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(kernel_.bad, 0);
    EXPECT_EQ(kernel_.sends, 2 * kRounds);
}

TEST_F(Mpi, MallocFaultGivesNoBuffer) {
    s_.fault("qz_mpi_malloc", -1);
    EXPECT_EQ(qz_mpi_malloc(256), nullptr);
    s_.fault_clear();
    void* p = qz_mpi_malloc(256);
    EXPECT_NE(p, nullptr);
    qz_mpi_free(p);
}

}  // namespace

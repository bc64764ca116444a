// Set 60 through the module's two double-byte table resources: every entry
// as the sources under resources/dbcs give it, and one load of each table
// when many threads convert at once.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "dbcs/convert.h"
#include "dbcs/dbcs_test_util.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace {

using namespace kxtest::dbcs;

struct Source {
    uint16_t defaultValue = 0;
    std::map<uint16_t, uint16_t> entries;
};

Source ReadSource(const std::string &file) {
    Source source;
    std::ifstream in(std::string(KXFILES_SOURCE_DIR) + "/resources/dbcs/" + file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("# default: ", 0) == 0) source.defaultValue = Hex(line.substr(11));
        if (line.rfind("0x", 0) == 0)
            source.entries[Hex(line.substr(0, 6))] = Hex(line.substr(7, 6));
    }
    return source;
}

TEST(DbcsTables, ResourcesHaveTheStatedFormat) {
    struct {
        uint16_t id;
        uint32_t count;
    } tables[] = {{83, 40320}, {84, 42112}};
    for (auto t : tables) {
        auto module = kx::os::ThisModule();
        auto resource = kx::os::FindResourceA(module, kx::os::MAKEINTRESOURCEA(t.id),
                                              kx::os::MAKEINTRESOURCEA(264));
        ASSERT_NE(resource, nullptr) << t.id;
        EXPECT_EQ(kx::os::SizeofResource(module, resource), t.count + 2) << t.id;
        auto *bytes = static_cast<const uint8_t *>(
            kx::os::LockResource(kx::os::LoadResource(module, resource)));
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(static_cast<uint32_t>(bytes[0] | bytes[1] << 8), t.count) << t.id;
    }
}

// Every code of set 60 both ways: the entry its source lists, the source's
// default for an entry it does not list, 0x2020 outside the tables.
TEST(DbcsTables, EveryCodeAsTheSourcesSay) {
    Source pcToHost = ReadSource("83-pc-to-host.txt"), hostToPc = ReadSource("84-host-to-pc.txt");
    ASSERT_EQ(pcToHost.entries.at(0xA440), 0xA1A2);
    ASSERT_EQ(hostToPc.entries.at(0xA1A1), 0x8E40);
    auto lookUp = [](const Source &source, uint16_t code, bool inTable) -> uint16_t {
        if (!inTable) return 0x2020;
        auto found = source.entries.find(code);
        return found != source.entries.end() ? found->second : source.defaultValue;
    };
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
            bool pcColumn = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA0 && trail <= 0xFE);
            bool hostColumn = lead >= 0xA1 && trail >= 0x20 && trail <= 0xFE;
            Converted up = ToHost(code, 60), down = ToPc(code, 60);
            ASSERT_TRUE(up.ok && down.ok) << std::hex << code;
            ASSERT_EQ(up.out, lookUp(pcToHost, code, pcColumn)) << std::hex << code;
            ASSERT_EQ(down.out, lookUp(hostToPc, code, hostColumn)) << std::hex << code;
        }
    }
}

TEST(DbcsTables, RacingThreadsLoadEachTableOnce) {
    kx::dbcs::testing::ForgetDbcsTables();
    ASSERT_EQ(kx::dbcs::testing::DbcsTableLoads(83), 0);
    ASSERT_EQ(kx::dbcs::testing::DbcsTableLoads(84), 0);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    std::atomic<bool> go{false};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            for (int k = 0; k < 200; ++k) {
                if (ToHost(0xA440, 60).out != 0xA1A2) ++wrong;
                if (ToPc(0xA121, 60).out != 0x91FE) ++wrong;
            }
        });
    }
    go = true;
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(kx::dbcs::testing::DbcsTableLoads(83), 1);
    EXPECT_EQ(kx::dbcs::testing::DbcsTableLoads(84), 1);
}

TEST(DbcsTables, AFailedLoadFailsTheCallAndIsTriedAgain) {
    kx::dbcs::testing::ForgetDbcsTables();
    kx::os::testing::FailAllocation(1);  // the table's copy
    Converted failed = ToHost(0xA440, 60);
    kx::os::testing::FailAllocation(0);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.out, (kUntouched & 0xFF00) | 0x20);
    Converted loaded = ToHost(0xA440, 60);
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.out, 0xA1A2);
    EXPECT_EQ(kx::dbcs::testing::DbcsTableLoads(83), 2);
}

}  // namespace

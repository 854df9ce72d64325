// Random inputs under random schedules of short, interrupted and would-block
// calls: both outputs equal the input every time.
#include "harness.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

namespace
{

std::string random_actions(std::mt19937 &random, bool is_read)
{
    std::string actions;
    int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
        switch (random() % 5) {
        case 0:
            actions += "EINTR ";
            break;
        case 1:
            actions += "EAGAIN ";
            break;
        case 2:
            actions += "- ";
            break;
        default:
            // Reads may come up short as well: a pipe hands over what it has.
            actions.append("<").append(std::to_string(1 + random() % (is_read ? 70000 : 9000)));
            actions += " ";
        }
    }
    return actions;
}

TEST(Random, SchedulesOfFaultsLoseNothing)
{
    SKIP_UNLESS_RECORDED();
    unsigned seed =
        static_cast<unsigned>(std::getenv("PIPETAP_SEED") != nullptr
                                  ? std::strtoul(std::getenv("PIPETAP_SEED"), nullptr, 10)
                                  : std::chrono::steady_clock::now().time_since_epoch().count());
    std::mt19937 random(seed);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("PIPETAP_SEED=" + std::to_string(seed) + ", round " + std::to_string(round));
        size_t size = random() % 4 == 0 ? random() % 10 : random() % 400000;
        std::string input = every_byte(size, static_cast<unsigned>(random()));
        Script script{.read0 = random_actions(random, true),
                      .write1 = random_actions(random, false),
                      .write2 = random_actions(random, false)};
        Outcome result = run(input, script);
        ASSERT_EQ(result.ended, "exit 0");
        ASSERT_BYTES(result.out, input) << "standard output differs";
        ASSERT_BYTES(result.err, input) << "standard error differs";
        ASSERT_EQ(check_calls(result.calls), "");
    }
}

} // namespace

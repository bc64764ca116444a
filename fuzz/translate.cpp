// kxFileTranslateBufferExt and kxFileTranslateFileNameExt on arbitrary bytes,
// sets (unknown ones too), options and variants: the call writes inside its
// destination only, ends what it stores with a zero, stores the same bytes
// each time, and a smaller destination holds a beginning of the full result.
// Input: from, to, options (2 bytes), a switch (odd: one more byte sets an
// option bit beyond the known ones), variant, a destination size, a length
// choice (odd: up to the source's first zero), then the source bytes.
#include <cstring>

#include "fuzz_support.h"

using namespace kxfuzz;

namespace {

constexpr size_t kGuard = 16;
constexpr char kGuardByte = '\xA5';

struct Call {
    std::string source;
    int32_t length;  // as passed: the source's length, or -1 for up to its zero
    uint16_t from, to;
    uint32_t options, variant;
};

// The destination, filled with `fill` beforehand, after one call.
std::string Translate(const Call &call, int32_t size, char fill) {
    std::string source = call.source + '\0';  // the source may be changed in place
    std::string room(static_cast<size_t>(size), fill);
    room.append(kGuard, kGuardByte);
    kxFileTranslateBufferExt(reinterpret_cast<uint8_t *>(&source[0]), call.length,
                             reinterpret_cast<uint8_t *>(&room[0]), size, call.from, call.to,
                             call.options, call.variant);
    CheckGuard(room, static_cast<size_t>(size), kGuardByte,
               "nothing written behind the destination");
    room.resize(static_cast<size_t>(size));
    return room;
}

// How many bytes a call with `room` stores before its zero: the last place two
// calls with different fills agree on, which must hold the zero; both calls
// store the same bytes before it, left in `stored`.
size_t Stored(const Call &call, int32_t room, std::string &stored) {
    stored = Translate(call, room, '\0');
    const std::string other = Translate(call, room, '\xFF');
    size_t last = std::string::npos;
    for (size_t i = 0; i < stored.size(); ++i)
        if (stored[i] == other[i]) last = i;
    Check(last != std::string::npos && stored[last] == 0, "the result ends with a zero");
    stored.resize(last);
    Check(other.compare(0, last, stored) == 0, "the same bytes every time",
          Versus(stored, other.substr(0, last)));
    return last;
}

// A single byte chooses a set: the known ones and a few that are not.
uint16_t PickSet(uint8_t byte) {
    static constexpr uint16_t kOther[] = {0, 1, 47, 65001, 0xFFFF, 300};
    return byte < 90 ? byte : kOther[byte % 6];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input input(data, size);
    Call call;
    call.from = PickSet(input.Byte());
    call.to = PickSet(input.Byte());
    call.options = input.Word();
    if (input.Byte() & 1)
        call.options |= 0x10000u << (input.Byte() % 16);  // bits beyond the known ones
    call.variant = input.Byte() % 20;
    const uint8_t sizeChoice = input.Byte();
    const bool toZero = input.Byte() & 1;
    call.source = input.Rest();
    call.length = toZero ? -1 : static_cast<int32_t>(call.source.size());

    // A name ends at its zero; the result has room for 260 bytes.
    std::string name = call.source.substr(0, 600) + '\0';
    std::string result(260 + kGuard, kGuardByte);
    kxFileTranslateFileNameExt(&name[0], &result[0], call.from, call.to, call.options);
    CheckGuard(result, 260, kGuardByte, "a name result stays in 260 bytes");
    Check(std::memchr(result.data(), 0, 260) != nullptr, "a name result ends with a zero");

    // The full result, in room enough for any expansion (a shift sequence
    // around every byte); the same bytes with either fill.
    std::string all;
    const size_t full = Stored(call, static_cast<int32_t>(call.source.size() * 8 + 64), all);
    // Exactly the room the full result needs, one byte less, and a size from
    // the input: a beginning of the full result each time.
    const int32_t sizes[] = {static_cast<int32_t>(full) + 1, static_cast<int32_t>(full),
                             1 + sizeChoice % (static_cast<int32_t>(full) + 2)};
    for (int32_t room : sizes) {
        if (room < 1) continue;
        std::string part;
        const size_t stored = Stored(call, room, part);
        Check(all.compare(0, stored, part) == 0, "a smaller result begins the full one",
              Versus(part, all));
        if (room == static_cast<int32_t>(full) + 1)
            Check(stored == full, "exactly enough room holds all");
    }
    return 0;
}

// Transfers between two sets that the library converts only through
// Shift-JIS: a host double-byte set and another host set or UTF-8. The host
// side's double-byte text is converted from and to Shift-JIS alone, so the
// transfer runs in two steps through a temporary Shift-JIS file, each step a
// transfer of its own (records cross the middle as CR LF lines). Chaining
// here keeps the library's layers single steps, each with one state record.
#include <string>

#include "charset_names.h"
#include "interrupt.h"
#include "kxfiles.h"
#include "staged_output.h"
#include "transfer.h"

namespace kxcli {
namespace {

constexpr uint16_t kShiftJis = 51;
constexpr uint32_t kRecordEnds = TXT_READ_CR_ENDS_RECORD | TXT_READ_LF_ENDS_RECORD | TXT_READ_CRLF_ENDS_RECORD;

}  // namespace

bool NeedsShiftJisBetween(uint16_t from, uint16_t to) {
    const bool fromHost = IsHostDoubleByteSet(from), toHost = IsHostDoubleByteSet(to);
    return (fromHost && toHost) || (fromHost && to == KXCHARSET_UTF8) || (from == KXCHARSET_UTF8 && toHost);
}

int RunChainedTransfer(TransferPlan plan) {
    HandleLayers &translating = plan.reader.charset ? plan.reader : plan.writer;
    const HandleLayers charset = translating;
    translating.charset = false;

    std::string middle = MakeTemporaryFile(TemporaryDirectory());
    if (middle.empty()) return 1;
    Undo undo;
    undo.path = middle;  // removed
    const int slot = Remember(undo);

    // The layers of the middle file's side in one step: its line ends (CR
    // LF when the input has records), the step's conversion, and the
    // compression of the other handle's side, which stays with that side.
    auto middleSide = [&](uint32_t text, uint16_t from, uint16_t to, uint32_t dropped, uint32_t compression) {
        HandleLayers side;
        if (plan.reader.text & kRecordEnds) side.text = text;
        side.charset = true;
        side.from = from;
        side.to = to;
        side.charsetOptions = charset.charsetOptions & ~dropped;
        side.compression = compression;
        return side;
    };

    // Each step counts what its own conversion loses; the transfer loses both.
    uint64_t lost[2] = {0, 0};

    // Step one: the input's layers and the first conversion, into Shift-JIS.
    // Host text becomes Shift-JIS on a writing side.
    TransferPlan first = plan;
    first.lossCount = &lost[0];
    first.output = middle;
    first.append = false;
    first.keepPartial = false;
    first.reader.compression = 0;
    first.writer = middleSide(TXT_WRITE_RECORD_CRLF, charset.from, kShiftJis, CSF_WRITE_BOM, plan.writer.compression);
    int status = RunTransfer(first);

    // Step two: Shift-JIS, which becomes host text on a reading side, into
    // the output with its layers.
    if (status == 0) {
        TransferPlan second = plan;
        second.input = middle;
        second.detect = false;
        second.progress = false;
        second.writer.compression = 0;
        second.reader = middleSide(TXT_READ_CRLF_ENDS_RECORD, kShiftJis, charset.to, CSF_KEEP_BOM, plan.reader.compression);
        second.lossCount = &lost[1];
        status = RunTransfer(second);
    }
    RunUndo(slot);
    if (plan.lossCount != nullptr) *plan.lossCount = lost[0] + lost[1];
    return status;
}

int RunPlannedTransfer(const TransferPlan &plan) {
    return plan.throughShiftJis ? RunChainedTransfer(plan) : RunTransfer(plan);
}

}  // namespace kxcli

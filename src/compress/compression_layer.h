// The compression layer, the topmost layer of a stream: reading a file through
// it yields the compressed form (or, in record mode, length-prefixed records),
// writing the compressed form through it stores the expanded file. Methods 1
// (spaces), 2 (repeat prefix), 4 and 8 (adaptive rank coding).
#pragma once

#include <cstdint>

#include "core/handle.h"

namespace kx {

// One entry of the rank table, kept in rank order.
struct RankEntry {
    uint8_t count;   // uses since the last halving
    uint8_t symbol;  // the symbol at this rank
};

// Allocated zero-filled from the local heap by kxFileSetCompression and owned
// by the handle until kxFileClose or the next kxFileSetCompression. A handle
// compresses or expands, not both, so the two sides share fields.
struct CompressionState {
    uint32_t method;          // the method number given to kxFileSetCompression
    uint32_t expandedCount;   // values the expanders have passed down
    uint32_t spaceKind;       // method 1: a SpaceKind
    int32_t spaceValue;       // method 1: the held look-ahead or the low 7 bits of an escaped byte
    uint32_t repeatState;     // method 2: a RepeatState
    uint32_t repeatNextState; // method 2 compressor: the state after the run's byte is sent
    uint32_t repeatCount;     // method 2: the run length being sent or expanded
    int32_t repeatByte;       // method 2 compressor: the value being repeated
    int32_t repeatAhead1;     // method 2 compressor: first value read ahead
    int32_t repeatAhead2;     // method 2 compressor: second value read ahead
    uint32_t bitAccumulator;  // methods 4, 8 compressor: code bits not yet sent, in the low bits
    uint16_t pendingBits;     // methods 4, 8 compressor: how many bits the accumulator holds
    uint32_t bitWindow;       // methods 4, 8 expander: the bits of the code part assembled so far
    uint8_t codeClass;        // methods 4, 8 expander: the 3-bit class of the code being read
    uint8_t bitsNeeded;       // methods 4, 8 expander: bits still missing from the code part
    int32_t runLast;          // methods 4, 8: the last symbol of the run stage
    uint32_t runState;        // methods 4, 8: a RunState
    uint32_t decodeStep;      // methods 4, 8 expander: a DecodeStep
    RankEntry ranks[256];     // methods 4, 8: the entries in rank order
};

// The layer's entries from kxFileRead and kxFileWrite, for a handle in record
// mode or with a compression method on: 1 with `count` set, or 0 after
// recording the cause (a few failures of the record framing record nothing).
int CompressionRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count);
int CompressionWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count);

// Before the stream moves (or takes data back): record mode and the method
// start afresh, as when they were switched on (nothing held, the rank table
// in its first order); the expanded count goes on.
void CompressionReposition(FileHandle *handle);

// The values the expanders have passed down; 0 without a CompressionState.
uint32_t CompressionExpandedCount(const FileHandle *handle);

}  // namespace kx

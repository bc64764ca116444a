#include "interrupt.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kxcli {
namespace {

// A record as the signal handler reads it: fixed storage, no allocation,
// `active` set last and cleared first.
struct Slot {
    volatile std::sig_atomic_t active;
    Undo::Kind kind;
    char path[4096];
    char target[4096];
    uint64_t size;
    FileAttributes attributes;
};

constexpr int kSlots = 4;
Slot slots[kSlots];

// The undo of one slot, with calls that are safe in a signal handler.
bool Perform(const Slot &slot) {
    switch (slot.kind) {
    case Undo::kRemove:
#ifdef _WIN32
        return _unlink(slot.path) == 0 || errno == ENOENT;
#else
        return ::unlink(slot.path) == 0 || errno == ENOENT;
#endif
    case Undo::kKeep:
        GiveAttributes(slot.path, slot.attributes);
        return RenameOver(slot.path, slot.target);
    case Undo::kCutBack: {
#ifdef _WIN32
        int fd = _open(slot.path, _O_WRONLY | _O_BINARY);
        if (fd < 0) return false;
        bool done = _chsize_s(fd, static_cast<long long>(slot.size)) == 0;
        _close(fd);
        return done;
#else
        return ::truncate(slot.path, static_cast<off_t>(slot.size)) == 0;
#endif
    }
    }
    return false;
}

extern "C" void OnSignal(int number) {
    for (Slot &slot : slots)
        if (slot.active) {
            slot.active = 0;
            Perform(slot);
        }
    std::_Exit(128 + number);
}

#ifndef _WIN32
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

sigset_t HandledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kSignals) sigaddset(&set, number);
    return set;
}
#endif

}  // namespace

void InstallInterruptHandlers() {
#ifdef _WIN32
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_mask = HandledSignals();  // one handler at a time
    for (int number : kSignals) {
        // A signal ignored by whoever started the command (nohup) stays ignored.
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
#endif
}

int Remember(const Undo &undo) {
    if (undo.path.size() >= sizeof slots[0].path || undo.target.size() >= sizeof slots[0].target) return -1;
    for (int i = 0; i < kSlots; ++i) {
        Slot &slot = slots[i];
        if (slot.active) continue;
        slot.kind = undo.kind;
        std::memcpy(slot.path, undo.path.c_str(), undo.path.size() + 1);
        std::memcpy(slot.target, undo.target.c_str(), undo.target.size() + 1);
        slot.size = undo.size;
        slot.attributes = undo.attributes;
        slot.active = 1;
        return i;
    }
    return -1;
}

void Forget(int slot) {
    if (slot >= 0 && slot < kSlots) slots[slot].active = 0;
}

bool RunUndo(int slot) {
    if (slot < 0 || slot >= kSlots || !slots[slot].active) return true;
    SignalsHeld held;
    slots[slot].active = 0;
    return Perform(slots[slot]);
}

bool RenameOver(const char *from, const char *to) {
#ifdef _WIN32
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
#else
    return std::rename(from, to) == 0;
#endif
}

bool GiveAttributes(const char *path, const FileAttributes &attributes) {
    if (!attributes.set) return true;
#ifdef _WIN32
    // Windows files take their permissions from the directory; only the
    // read-only bit is a mode.
    return _chmod(path, (attributes.mode & 0200) != 0 ? (_S_IREAD | _S_IWRITE) : _S_IREAD) == 0;
#else
    auto mode = static_cast<mode_t>(attributes.mode & 07777);
    if (attributes.owner) {
        // The owner first (which clears set-user-ID and set-group-ID bits);
        // where the process may not give the owner, the group alone, and no
        // set-ID bit for a file that changed hands.
        if (::chown(path, attributes.user, attributes.group) != 0) {
            mode &= ~static_cast<mode_t>(S_ISUID);
            if (::chown(path, static_cast<uid_t>(-1), attributes.group) != 0) mode &= ~static_cast<mode_t>(S_ISGID);
        }
    }
    return ::chmod(path, mode) == 0;
#endif
}

SignalsHeld::SignalsHeld() {
#ifndef _WIN32
    sigset_t set = HandledSignals();
    sigprocmask(SIG_BLOCK, &set, &saved_);
#endif
}

SignalsHeld::~SignalsHeld() {
#ifndef _WIN32
    sigprocmask(SIG_SETMASK, &saved_, nullptr);
#endif
}

}  // namespace kxcli

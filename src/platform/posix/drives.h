// The drive table of the POSIX side: drive letters and UNC shares, each shown
// by a directory of the POSIX file system, and each drive's current directory.
//
// KXFILES_DRIVES (or testing::ConfigureDrives) describes the table, one entry a
// volume, entries separated by ';':
//   D:=/srv/data                      a drive letter and the directory it shows
//   A:=/srv/floppy,83                 a volume of 8.3 names (components of at most 12)
//   X:=/srv/pub,remote=\\host\pub     a remote drive, connected to a share
//   \\host\docs=/srv/docs             a share reached by its UNC name
//   E:=/media/cd,label=INSTALL        a volume label
// C: is "/" unless an entry names it; no other drive exists by default.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kx::os::posix {

struct Volume {
    char letter = 0;          // 'A'-'Z'; 0 for a share reached by its UNC name
    std::string share;        // "\\server\share" of a share or a remote drive
    std::string root;         // canonical POSIX directory; "" stands for "/"
    bool shortNames = false;  // a volume of 8.3 names
    std::string label;        // volume label
};

struct DriveTable {
    std::vector<Volume> volumes;

    const Volume *FindLetter(char letter) const;
    const Volume *FindShare(const std::string &share) const;  // without regard to case
    // The volume whose directory holds `posixPath` most closely (drive letters
    // before shares on a tie); null when none does.
    const Volume *Containing(const std::string &posixPath) const;
};

// The table in force (read from KXFILES_DRIVES on first use).
std::shared_ptr<const DriveTable> Drives();

// Parses a description; false when it is malformed.
bool ParseDrives(const std::string &text, DriveTable &table);

// Each drive's current directory, as on-disk components below its root; only
// drives that have been entered have one (the root otherwise).
std::vector<std::string> DriveCurrentDirectory(char letter);
void SetDriveCurrentDirectory(char letter, const std::vector<std::string> &components);

}  // namespace kx::os::posix

#pragma once

#include "platform/Error.h"

#include <QString>

#include <memory>

namespace platform {

// A claim on an existing file, held while the object lives, that no other open
// file (in this process, another one, or on another machine sharing the folder)
// can take at the same time. Made for work that must run once whatever shares its
// folder: the claimant takes the claim, then works.
//
// The claim is an open-file-description lock (F_OFD_SETLK): it belongs to the
// open file, not to the process, so closing some other descriptor of the same
// file leaves it in place, and it ends with the claimant's process, however that
// ends, so a dead claimant's file can be claimed again at once. Over NFS and SMB
// the lock goes to the server, so it holds across machines; a dead machine's
// claim ends when the server lets its lease or session go. It covers one byte far
// past the end of the file, so servers that enforce byte-range locks still let
// others read the file.
//
// A file claimed by its path may have been moved or replaced between opening and
// locking: the claim counts only while the path still names the very file locked.
class FileClaim {
public:
    enum class Outcome {
        Claimed,
        HeldElsewhere, // another open file holds the claim
        Gone, // the path names no file, or another file than the one locked
        Failed, // the file cannot be opened for claiming (no write access, not a regular file)
    };

    // Tries once, without waiting. `outcome` tells why there is no claim; `error`
    // names the path and the reason when it failed.
    static std::unique_ptr<FileClaim> tryClaim(const QString& path, Outcome* outcome, Error* error = nullptr);

    ~FileClaim();
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;

private:
    explicit FileClaim(int descriptor);

    int m_descriptor;
};

} // namespace platform

#pragma once

#include <QString>

#include <memory>

#include <sys/types.h>

// Lets one process at a time write a settings folder. The single-instance lock lives in the runtime
// folder, which is the login's own, so two logins of one user (or two machines sharing the home folder)
// would otherwise both write the same store and each replace what the other wrote.
//
// An flock(2) on "Quillora.lock" in the folder: the kernel holds it for the open file and lets it go
// when the process ends however it ends, so a lock of a dead process blocks nothing; on NFS the server
// holds it, for every machine. The file is never removed: a process holding the lock on a removed file
// would not keep a second from locking a new one. Stores of one process on one folder share the lock.
class SettingsFolderLock {
public:
    // The lock on `folder` for this process, taken now or shared with one this process holds. Null when
    // another process holds it (`heldElsewhere`), or when no lock can be had there (a read-only folder, a
    // file system without locks): nobody else is kept out then either.
    static std::shared_ptr<SettingsFolderLock> take(const QString& folder, bool* heldElsewhere);

    static QString fileName();

    ~SettingsFolderLock();
    SettingsFolderLock(const SettingsFolderLock&) = delete;
    SettingsFolderLock& operator=(const SettingsFolderLock&) = delete;

private:
    SettingsFolderLock(dev_t device, ino_t inode)
        : m_device(device)
        , m_inode(inode) {}

    dev_t m_device;
    ino_t m_inode;
};

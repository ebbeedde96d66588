#include "RenameOp.h"

#include <sys/stat.h>
#include <utime.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Assert.h"
#include "DirNode.h"

RenameOp::RenameOp(DirNode* dn_, std::shared_ptr<std::list<RenameEl>> renameList_)
    : dn(dn_), renameList(std::move(renameList_)), last(renameList->begin()) {}

RenameOp::~RenameOp() {
    for (RenameEl& el : *renameList) {
        el.oldPName.assign(el.oldPName.size(), ' ');
        el.newPName.assign(el.newPName.size(), ' ');
    }
}

bool RenameOp::apply() {
    try {
        while (last != renameList->end()) {
            rDebug("renaming %s -> %s", last->oldCName.c_str(), last->newCName.c_str());
            struct stat st;
            bool preserveTimes = lstat(last->oldCName.c_str(), &st) == 0;
            dn->renameNode(last->oldPName.c_str(), last->newPName.c_str(), true);
            if (::rename(last->oldCName.c_str(), last->newCName.c_str()) == -1) {
                rWarning("Error renaming %s: %s", last->oldCName.c_str(), strerror(errno));
                dn->renameNode(last->newPName.c_str(), last->oldPName.c_str(), false);
                return false;
            }
            if (preserveTimes) {
                struct utimbuf times;
                times.actime = st.st_atime;
                times.modtime = st.st_mtime;
                ::utime(last->newCName.c_str(), &times);
            }
            ++last;
        }
        return true;
    } catch (const rlog::Error& err) {
        rWarning("%s", err.message());
        return false;
    }
}

void RenameOp::undo() {
    rDebug("in undoRename");
    if (last == renameList->begin()) {
        rDebug("nothing to undo");
        return;
    }
    int undoCount = 0;
    auto it = last;
    while (it != renameList->begin()) {
        --it;
        rDebug("undo: renaming %s -> %s", it->newCName.c_str(), it->oldCName.c_str());
        ::rename(it->newCName.c_str(), it->oldCName.c_str());
        try {
            dn->renameNode(it->newPName.c_str(), it->oldPName.c_str(), false);
        } catch (const rlog::Error& err) {
            rWarning("%s", err.message());
        }
        ++undoCount;
    }
    rWarning("Undo rename count: %i", undoCount);
}

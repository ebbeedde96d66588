#pragma once

#include <list>
#include <memory>
#include <string>

class DirNode;

// One planned rename of a stored entry and its plain name.
struct RenameEl {
    std::string oldCName;
    std::string newCName;
    std::string oldPName;
    std::string newPName;
    bool isDirectory = false;
};

// An undoable batch of renames, needed only when name IVs chain through directories.
class RenameOp {
public:
    RenameOp(DirNode* dn, std::shared_ptr<std::list<RenameEl>> renameList);
    ~RenameOp();
    RenameOp(const RenameOp&) = delete;
    RenameOp& operator=(const RenameOp&) = delete;

    bool apply();
    void undo();

private:
    DirNode* dn;
    std::shared_ptr<std::list<RenameEl>> renameList;
    std::list<RenameEl>::iterator last;
};

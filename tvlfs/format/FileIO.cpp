#include "FileIO.h"

FileIO::~FileIO() = default;

int FileIO::blockSize() const { return 1; }

bool FileIO::setIV(uint64_t) { return true; }

CipherKey FileIO::getFek() { return nullptr; }

bool FileIO::updateCipherHeader(bool) { return true; }

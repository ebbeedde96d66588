#include "CipherKey.h"

AbstractCipherKey::~AbstractCipherKey() = default;
